// Frame-time benchmark: runs the game's real frame on the real data (a
// 1024 x 768 frame, straight on a window of that size or shown scaled on the
// screen's own) and reports, per case, the median and 99th-percentile frame
// time and where the time goes, then the pace the frame loop's pacer keeps.
// Every time stamp follows a glFinish, so the GL work of a stage is counted
// in that stage.

#include <GL/gl.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "game/game.h"
#include "game/pacer.h"
#include "game/rules.h"

namespace {

const auto processStart = std::chrono::steady_clock::now();

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double stamp() {
    glFinish();
    return secondsSince(processStart) * 1000.0;
}

// Milliseconds per frame, and spent in each stage, for the frames of one case.
struct CaseTimes {
    std::vector<double> frame, score, pick, rules, scene, show, swap;
};

// How a case's frames are timed: whole frames, with one time stamp at each
// frame's end as the player sees it; or stage by stage, with a time stamp
// (and so a glFinish) after every stage, which keeps the renderer from
// overlapping one stage's drawing with the next stage's work.
enum class Timing { wholeFrames, stages };

// The input with the window's frame buffer as it stands.
FrameInput onWindow(const Game& game, FrameInput input) {
    glfwGetFramebufferSize(game.window, &input.windowWidth, &input.windowHeight);
    return input;
}

void playFrame(Game& game, const FrameInput& input) {
    const PointerHold hold = runFrame(game, onWindow(game, input));
    glfwSetCursorPos(game.window, hold.x, hold.y);
    glfwSwapBuffers(game.window);
    glfwPollEvents();
}

void timedFrame(Game& game, const FrameInput& input, CaseTimes& times, Timing timing) {
    const double start = stamp();
    if (timing == Timing::wholeFrames) {
        playFrame(game, input);
        times.frame.push_back(stamp() - start);
        return;
    }
    beginGameFrame(game, onWindow(game, input));
    runScorePass(game);
    const double scored = stamp();
    const PointerHold hold = readPointer(game, input);
    pickHoveredTube(game);
    const double picked = stamp();
    runRules(game, input);
    const double ruled = stamp();
    runScenePasses(game);
    const double drawn = stamp();
    showGameFrame(game);
    const double shown = stamp();
    glfwSetCursorPos(game.window, hold.x, hold.y);
    glfwSwapBuffers(game.window);
    glfwPollEvents();
    const double swapped = stamp();
    times.frame.push_back(swapped - start);
    times.score.push_back(scored - start);
    times.pick.push_back(picked - scored);
    times.rules.push_back(ruled - picked);
    times.scene.push_back(drawn - ruled);
    times.show.push_back(shown - drawn);
    times.swap.push_back(swapped - shown);
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * (values.size() - 1) + 0.5));
    return values[index];
}

// Ends every turn and lightning, so that the next frame finds the board idle.
void settleBoard(Board& board) {
    for (int i = 1; i <= tubeCount; ++i) {
        Tube& tube = board[i];
        tube.turning = tube.activated = tube.cameToRest = 0;
        tube.lightningFrame = 0;
    }
}

void copyBoard(const Board& from, Board& to) {
    for (int i = 1; i <= tubeCount; ++i) to[i] = from[i];
}

// Where a point of the scene lands in window pixels (y down).
void windowPixel(const Game& game, const float point[3], int& x, int& y) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(game.view.fov, game.view.aspect, game.view.near, game.view.far);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.eye[0], camera.eye[1], camera.eye[2], camera.centre[0], camera.centre[1], camera.centre[2],
              camera.up[0], camera.up[1], camera.up[2]);
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx, wy, wz;
    gluProject(point[0], point[1], point[2], modelview, projection, viewport, &wx, &wy, &wz);
    x = static_cast<int>(wx);
    y = game.view.height - static_cast<int>(wy);
}

// Runs the rules alone from a click on the tube until the chain has ended;
// returns the chain's score.
int simulateChain(const Board& start, int tube, SoundBank& sound) {
    GameState state;
    createBoard(state.board);
    copyBoard(start, state.board);
    settleBoard(state.board);
    state.hoveredTube = tube;
    applyInputRules(state, sound, true, false);
    for (int frame = 0; frame < 100000; ++frame) {
        if (frame > 0) applyInputRules(state, sound, false, false);
        updateTubeFlags(state);
        if (frame > 0 && !state.anyTubeTurning) break;
        startClickedTurn(state, sound);
        advanceTurns(state);
    }
    freeBoard(state.board);
    return state.score;
}

// The three cases. Each plays the given number of frames, timed as asked.
void playIdle(Game& game, int frames, Timing timing, CaseTimes& times) {
    // The board at rest, the pointer over tube 113: picking runs every frame.
    settleBoard(game.state.board);
    int x, y;
    windowPixel(game, game.state.board[113].position, x, y);
    playFrame(game, FrameInput{x, y, false, false});  // the flags see the idle board
    for (int frame = 0; frame < frames; ++frame) timedFrame(game, FrameInput{x, y, false, false}, times, timing);
}

void playStartUp(Game& game, int frames, Timing timing, CaseTimes& times) {
    // Every tube flashing, as in the frames after a shuffle.
    for (int frame = 0; frame < frames; ++frame) {
        if (frame % 10 == 0) shuffleBoard(game.state.board);
        timedFrame(game, FrameInput{512, 384, false, false}, times, timing);
    }
}

void playChain(Game& game, const Board& startBoard, int chainTube, int frames, Timing timing, CaseTimes& times) {
    // The chain clicked on the start-up board, clicked again each time it
    // ends; only the frames in which tubes turn are counted.
    GameState& state = game.state;
    int x, y;
    windowPixel(game, startBoard[chainTube].position, x, y);
    CaseTimes discarded;
    bool clickNext = true;
    while (times.frame.size() < static_cast<size_t>(frames)) {
        if (clickNext) {
            copyBoard(startBoard, state.board);
            settleBoard(state.board);
            state.anyTubeTurning = state.anyLightning = 0;
        }
        const bool counted = state.anyTubeTurning || clickNext;
        timedFrame(game, FrameInput{x, y, clickNext, false}, counted ? times : discarded, timing);
        clickNext = !state.anyTubeTurning && !clickNext;
    }
}

// Frames a second over the given number of frames played as the game's
// loop plays them: frame, swap, then the pacer's hold on the steady clock.
// The first frame has none before it to be paced against, so the second
// follows it at once: the count starts at the second's end.
template <typename Frame>
double pacedRate(int frames, Frame frame) {
    FramePacer pacer;
    double first = 0, last = 0;
    for (int n = 0; n < frames; ++n) {
        frame();
        last = secondsSince(processStart);
        if (n == 1) first = last;
        const double hold = holdAfterSwap(pacer, last);
        if (hold > 0) std::this_thread::sleep_for(std::chrono::duration<double>(hold));
    }
    return (frames - 2) / (last - first);
}

}  // namespace

int main(int argc, char** argv) {
    const int framesPerCase = argc > 1 ? std::max(1, std::atoi(argv[1])) : 600;
    static Game game;
    if (!startUp(game)) return 1;

    playFrame(game, FrameInput{512, 384, false, false});
    glFinish();
    const double startUpMs = secondsSince(processStart) * 1000.0;

    Board startBoard;
    createBoard(startBoard);
    copyBoard(game.state.board, startBoard);

    // The longest chain on the start-up board.
    int chainTube = 1, chainScore = -1;
    for (int tube = 1; tube <= tubeCount; ++tube) {
        const int score = simulateChain(startBoard, tube, game.sound);
        if (score > chainScore) chainScore = score, chainTube = tube;
    }

    int windowWidth = 0, windowHeight = 0;
    glfwGetFramebufferSize(game.window, &windowWidth, &windowHeight);
    std::printf("Frame times in milliseconds, %d frames a case, the 1024 x 768 frame %s %d x %d window, %s\n",
                framesPerCase, game.frameTarget.offScreen ? "scaled onto a" : "straight on a", windowWidth,
                windowHeight, reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("%-9s %8s %8s %8s | %6s %6s %6s %6s %6s %6s\n", "", "whole", "frames", "", "stage", "by", "stage",
                "(medians)", "", "");
    std::printf("%-9s %8s %8s %8s | %6s %6s %6s %6s %6s %6s\n", "case", "median", "p99", "max", "score", "pick",
                "rules", "scene", "show", "swap");
    for (const char* name : {"idle", "start-up", "chain"}) {
        CaseTimes frames, stages;
        for (Timing timing : {Timing::wholeFrames, Timing::stages}) {
            CaseTimes& times = timing == Timing::wholeFrames ? frames : stages;
            if (name[0] == 'i') playIdle(game, framesPerCase, timing, times);
            if (name[0] == 's') playStartUp(game, framesPerCase, timing, times);
            if (name[0] == 'c') playChain(game, startBoard, chainTube, framesPerCase, timing, times);
        }
        std::printf("%-9s %8.2f %8.2f %8.2f | %6.2f %6.2f %6.2f %6.2f %6.2f %6.2f\n", name,
                    percentile(frames.frame, 0.5), percentile(frames.frame, 0.99), percentile(frames.frame, 1.0),
                    percentile(stages.score, 0.5), percentile(stages.pick, 0.5), percentile(stages.rules, 0.5),
                    percentile(stages.scene, 0.5), percentile(stages.show, 0.5), percentile(stages.swap, 0.5));
    }
    std::printf("chain: tube %d of the start-up board, %d activations a run\n", chainTube, chainScore);

    // The pace the loop keeps: the idle board's frames as they come, and a
    // frame that only clears and swaps, which this renderer, never waiting
    // for the display, would otherwise repeat as fast as it can.
    settleBoard(game.state.board);
    const int pacedFrames = std::max(3, framesPerCase / 2);
    const double idleRate = pacedRate(pacedFrames, [&] { playFrame(game, FrameInput{512, 384, false, false}); });
    const double emptyRate = pacedRate(pacedFrames, [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        glfwSwapBuffers(game.window);
        glfwPollEvents();
    });
    std::printf("paced: idle frames %.1f a second, empty frames %.1f a second (%d frames each)\n", idleRate, emptyRate,
                pacedFrames);

    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("start-up to the end of the first frame: %.0f ms\n", startUpMs);
    std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);

    freeBoard(startBoard);
    shutDown(game);
    return 0;
}
