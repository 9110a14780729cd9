// A long run of the real frame, with real GL and sound, driven by a fixed
// pseudo-random stream of pointer moves, clicks, right clicks and long holds;
// the board's invariants are checked after every frame. The sanitizer build
// runs it with many more frames (TUBECHAIN_SOAK_FRAMES).

#include <GLFW/glfw3.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "game/game.h"

namespace {

// The input stream's own generator, apart from the game's.
struct InputStream {
    std::uint32_t state = 20261207;
    std::uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    int between(int low, int high) {
        return low + static_cast<int>(next() % static_cast<std::uint32_t>(high - low + 1));
    }
};

int soakFrames() {
    const char* frames = std::getenv("TUBECHAIN_SOAK_FRAMES");
    return frames ? std::atoi(frames) : 1500;
}

// The GL driver is unloaded when the window closes, and whatever it kept
// would then show in the leak report as allocations from an unknown module,
// beyond the reach of the suppressions. Keeping the driver's libraries
// loaded to the end lets the report name them.
void keepGraphicsDriverLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> libraries;
    for (std::string line; std::getline(maps, line);) {
        const auto slash = line.find('/');
        if (slash == std::string::npos) continue;
        const std::string path = line.substr(slash);
        if (path.find("/dri/") != std::string::npos || path.find("libgallium") != std::string::npos ||
            path.find("libLLVM") != std::string::npos) {
            libraries.insert(path);
        }
    }
    for (const std::string& path : libraries) dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

void expectBoardInvariants(const GameState& state, int frame) {
    ASSERT_GE(state.hoveredTube, 0) << "frame " << frame;
    ASSERT_LE(state.hoveredTube, tubeCount) << "frame " << frame;
    ASSERT_GE(state.score, 0) << "frame " << frame;
    ASSERT_GE(state.best, 0) << "frame " << frame;
    for (int i = 1; i <= tubeCount; ++i) {
        const Tube& tube = state.board[i];
        ASSERT_EQ(tube.angleY % 5, 0) << "tube " << i << " frame " << frame;
        ASSERT_GE(tube.angleY, 0) << "tube " << i << " frame " << frame;
        ASSERT_LE(tube.angleY, 355) << "tube " << i << " frame " << frame;
        ASSERT_GE(tube.lightningFrame, 0) << "tube " << i << " frame " << frame;
        ASSERT_LE(tube.lightningFrame, 34) << "tube " << i << " frame " << frame;
        // While the flags call the board idle, only this frame's clicked
        // tube may have started turning.
        if (!state.anyTubeTurning && tube.turning) {
            ASSERT_EQ(i, state.clickedTube) << "tube " << i << " turns on an idle board, frame " << frame;
        }
    }
}

TEST(Soak, ThousandsOfFramesOfRandomPlayKeepTheBoardSound) {
    static Game game;
    ASSERT_TRUE(startUp(game));
    keepGraphicsDriverLoaded();
    InputStream stream;
    FrameInput input{512, 384, false, false};
    int holdFrames = 0, chainsSeen = 0, bestSeen = 0;
    const int frames = soakFrames();
    for (int frame = 0; frame < frames; ++frame) {
        // The pointer: small moves, with now and then a jump far outside
        // the window that the frame must clamp.
        const int roll = stream.between(0, 99);
        if (roll < 3) {
            input.mouseX += stream.between(-5000, 5000);
            input.mouseY += stream.between(-5000, 5000);
        } else {
            input.mouseX += stream.between(-40, 40);
            input.mouseY += stream.between(-30, 30);
        }
        // The buttons: short clicks, long holds, and rare right clicks.
        if (holdFrames > 0) {
            --holdFrames;
        } else {
            input.leftButton = false;
            input.rightButton = false;
            const int press = stream.between(0, 199);
            if (press < 6) {
                input.leftButton = true;
                holdFrames = press < 2 ? stream.between(30, 200) : stream.between(1, 4);
            } else if (press == 6) {
                input.rightButton = true;
                holdFrames = stream.between(1, 3);
            }
        }

        const PointerHold hold = runFrame(game, input);
        glfwSwapBuffers(game.window);
        glfwPollEvents();
        // The next read starts where the frame held the pointer.
        input.mouseX = hold.x;
        input.mouseY = hold.y;

        expectBoardInvariants(game.state, frame);
        if (testing::Test::HasFatalFailure()) break;
        if (game.state.anyTubeTurning) ++chainsSeen;
        bestSeen = std::max(bestSeen, game.state.best);
    }
    shutDown(game);
    // The stream really played: tubes turned and a score was banked.
    EXPECT_GT(chainsSeen, 0);
    if (frames >= 1500) {
        EXPECT_GT(bestSeen, 0);
    }
}

}  // namespace
