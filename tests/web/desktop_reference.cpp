// The desktop's side of the browser tests: the real game on a virtual
// display (Mesa's GL, real selection mode), driven by the input the page's
// frames read, so that its pictures and picks can be set against the
// browser's frame for frame.
//   desktop_reference picks POINTS
//     pickTube on the start-up board at each pointer position that POINTS
//     lists (frame pixels x and y, one position a line), one tube a line.
//   desktop_reference frames INPUT FOLDER N...
//     runs the frames whose input INPUT lists (one frame a line: pointer x
//     and y in frame pixels, left and right button 0 or 1, M pressed 0 or
//     1), writes frame N of them as FOLDER/frame-N.rgba (1024 x 768 RGBA,
//     bottom row first) and prints "N score best hoveredTube" for it.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/frame.h"
#include "game/picking.h"

namespace {

Game game;
// The page's input, handed in frame by frame, unpaced.
FramePlay play = [] {
    FramePlay given;
    given.fromWindow = false;
    given.paced = false;
    return given;
}();

std::vector<unsigned char> readFrame() {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(game.view.width) * game.view.height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, game.view.width, game.view.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

int printPicks(const char* pointsPath) {
    runFrame(game, play);
    std::ifstream points(pointsPath);
    int x = 0, y = 0;
    while (points >> x >> y)
        std::printf("%d\n", pickTube(x, y, game.state.board, *game.models[tubeModelEntry], game.view, camera));
    return 0;
}

int writeFrames(const char* inputPath, const std::string& folder, const std::vector<int>& wanted) {
    std::ifstream lines(inputPath);
    FrameInput& input = play.given;
    int left = 0, right = 0, mute = 0, frame = 0;
    std::size_t written = 0;
    while (written < wanted.size() && lines >> input.mouseX >> input.mouseY >> left >> right >> mute) {
        input.leftButton = left != 0;
        input.rightButton = right != 0;
        input.mutePressed = mute != 0;
        runFrameStages(game, play, FrameStage::input, FrameStage::swap);
        ++frame;
        for (const int n : wanted) {
            if (n != frame) continue;
            // The window has the frame's size: the frame is on its back buffer.
            const std::vector<unsigned char> pixels = readFrame();
            const std::string path = folder + "/frame-" + std::to_string(n) + ".rgba";
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(pixels.data()), pixels.size());
            std::printf("%d %d %d %d\n", n, game.state.score, game.state.best, game.state.hoveredTube);
            ++written;
        }
        runFrameStages(game, play, FrameStage::swap, FrameStage::done);
    }
    if (written == wanted.size()) return 0;
    std::fprintf(stderr, "the input ended after %d frames\n", frame);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!(mode == "picks" && argc == 3) && !(mode == "frames" && argc >= 5)) {
        std::fprintf(stderr, "usage: %s picks POINTS | frames INPUT FOLDER N...\n", argv[0]);
        return 2;
    }
    if (!startUp(game)) return 1;
    int status = 0;
    if (mode == "picks") {
        status = printPicks(argv[2]);
    } else {
        std::vector<int> wanted;
        for (int k = 4; k < argc; ++k) wanted.push_back(std::atoi(argv[k]));
        status = writeFrames(argv[2], argv[3], wanted);
    }
    shutDown(game);
    return status;
}
