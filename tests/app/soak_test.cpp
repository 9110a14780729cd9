// A long run of the real frame, with real GL and sound, driven by a fixed
// pseudo-random stream of pointer moves, clicks, right clicks and long holds;
// after every frame the board must have kept the rules against the board
// before it. A thousand frames play every rule the checks watch (all of them
// by frame 333); the sanitizer build in CI runs many more
// (TUBECHAIN_SOAK_FRAMES).

#include <GLFW/glfw3.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/frame.h"
#include "support/test_support.h"

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
    return frames ? std::atoi(frames) : 1000;
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

// The board as it stood before a frame.
struct Before {
    std::array<Tube, tubeCount + 1> tubes;
    std::int32_t score = 0, best = 0;
    bool busyTurning = false, busyLightning = false;  // the flags of the last update
};
Before snapshot(const GameState& state) {
    Before before;
    for (int i = 1; i <= tubeCount; ++i) before.tubes[i] = state.board[i];
    before.score = state.score;
    before.best = state.best;
    before.busyTurning = state.anyTubeTurning != 0;
    before.busyLightning = state.anyLightning != 0;
    return before;
}

// The tubes one step along a row or a column, by their place on the grid.
std::vector<int> gridNeighbours(int i) {
    const int row = (i - 1) / boardSide, column = (i - 1) % boardSide;
    std::vector<int> around;
    if (column > 0) around.push_back(i - 1);
    if (column < boardSide - 1) around.push_back(i + 1);
    if (row > 0) around.push_back(i - boardSide);
    if (row < boardSide - 1) around.push_back(i + boardSide);
    return around;
}

// What one frame played, for the end of the run to show the stream reached
// every rule.
struct Played {
    int bankedScores = 0;   // accepted clicks that banked a score above 0
    int shuffles = 0;       // right clicks taken
    int refusedClicks = 0;  // left clicks on a board still turning
    int chainFrames = 0;    // frames with activations
};

// Checks the frame that led from before to state, given its input.
void expectFrameKeptTheRules(const Before& before, const GameState& state, const FrameInput& input, int frame,
                             Played& played) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    const bool idleBefore = !before.busyTurning && !before.busyLightning;
    ASSERT_TRUE(state.hoveredTube >= 0 && state.hoveredTube <= tubeCount);
    ASSERT_TRUE(state.hoveredTube == 0 || idleBefore) << "picked on a busy board";
    ASSERT_EQ(state.clickedTube, input.leftButton ? state.hoveredTube : 0);
    const bool accepted = input.leftButton && state.hoveredTube > 0 && !before.busyTurning;
    const bool shuffled = input.rightButton && idleBefore;
    // A turn starts from a click only when no tube turned at this frame's
    // flag update.
    const int started = state.clickedTube > 0 && !state.anyTubeTurning ? state.clickedTube : 0;

    // The score grows by the frame's activations; an accepted click banks it
    // and starts it from 0 (its frame has none: the board was idle).
    if (accepted) {
        ASSERT_EQ(state.score, 0);
        ASSERT_EQ(state.best, std::max(before.best, before.score));
        if (before.score > 0) ++played.bankedScores;
    } else {
        ASSERT_EQ(state.score, before.score + state.activationsThisFrame);
        ASSERT_EQ(state.best, before.best) << "best changed without an accepted click";
    }
    if (input.leftButton && before.busyTurning) ++played.refusedClicks;
    if (shuffled) ++played.shuffles;

    int activatedTubes = 0, restedTubes = 0, firstSparks = 0;
    bool someoneTurns = false, someLightning = shuffled;
    for (int i = 1; i <= tubeCount; ++i) {
        const Tube& was = before.tubes[i];
        const Tube& tube = state.board[i];
        SCOPED_TRACE("tube " + std::to_string(i));
        if (was.lightningFrame != 0) someLightning = true;
        if (shuffled) {
            ASSERT_EQ((tube.angleY - (tube.turning ? 5 : 0)) % 90, 0) << "a shuffle stands tubes on quarters";
        }
        // A tube turns 5 degrees in every frame it is turning, and only then.
        const int from = shuffled ? tube.angleY - (tube.turning ? 5 : 0) : was.angleY;
        ASSERT_EQ(tube.angleY, (from + (tube.turning ? 5 : 0)) % 360);
        // A turn goes on until the tube has come to rest, an activation in
        // the last frame starts one (unless the tube came to rest in that
        // same frame), and so does this frame's click.
        ASSERT_EQ(tube.turning != 0, ((was.turning || was.activated) && !was.cameToRest) || i == started);
        if (tube.turning && i != started) someoneTurns = true;
        if (tube.cameToRest) {
            ASSERT_TRUE(tube.turning) << "came to rest without turning";
            ASSERT_EQ(static_cast<float>(tube.angleY), tube.targetAngle);
            ++restedTubes;
        }
        if (tube.activated) {
            // Activated by a neighbour that came to rest in this frame.
            const std::vector<int> around = gridNeighbours(i);
            ASSERT_TRUE(std::any_of(around.begin(), around.end(), [&](int j) { return state.board[j].cameToRest; }));
            ASSERT_TRUE(tube.sparkFrame >= 2 && tube.sparkFrame <= 11) << tube.sparkFrame;
            if (tube.sparkFrame == 2) ++firstSparks;
            ++activatedTubes;
        }
        // A running lightning steps by one frame per frame, 34 frames long;
        // a click, an activation or coming to rest relit among its
        // activations restarts it at 1 (stepped to 2 by the tube pass), a
        // shuffle at 15..25.
        const int stepped = was.lightningFrame == 0 ? 0 : (was.lightningFrame + 1) % 35;
        if (shuffled) {
            ASSERT_TRUE((tube.lightningFrame >= 16 && tube.lightningFrame <= 26) || tube.lightningFrame == 2);
        } else if (tube.lightningFrame != stepped) {
            ASSERT_EQ(tube.lightningFrame, 2) << "from " << int(was.lightningFrame);
            ASSERT_TRUE(i == started || tube.activated || (tube.cameToRest && state.activationsThisFrame > 0));
        }
    }
    ASSERT_EQ(state.anyTubeTurning != 0, someoneTurns);
    ASSERT_EQ(state.anyLightning != 0, someLightning);
    // Every activation marks a tube, one tube may be activated by two
    // neighbours at once, and a tube at rest reaches four at most.
    ASSERT_LE(activatedTubes, state.activationsThisFrame);
    ASSERT_LE(state.activationsThisFrame, 4 * restedTubes);
    ASSERT_EQ(activatedTubes > 0, state.activationsThisFrame > 0);
    // The frame's first activation sparks first, unless a later one in the
    // same frame reached its tube again and drew it a new spark frame.
    if (state.activationsThisFrame > 0) {
        ASSERT_TRUE(activatedTubes != state.activationsThisFrame || firstSparks >= 1);
        ++played.chainFrames;
    }
}

TEST(Soak, RandomPlayKeepsTheRulesInEveryFrame) {
    static Game game;
    ASSERT_TRUE(startUp(game));
    keepGraphicsDriverLoaded();
    InputStream stream;
    FrameInput input{.mouseX = 512, .mouseY = 384};
    int holdFrames = 0;
    Played played;
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

        const Before before = snapshot(game.state);
        playFrame(game, input);
        const PointerHold hold = givenPlay().hold;
        glfwSwapBuffers(game.window);
        glfwPollEvents();
        expectFrameKeptTheRules(before, game.state, input, frame, played);
        if (testing::Test::HasFatalFailure()) break;
        // The next read starts where the frame held the pointer.
        input.mouseX = hold.x;
        input.mouseY = hold.y;
    }
    shutDown(game);
    // The stream reached every rule that the checks above watch.
    EXPECT_GT(played.bankedScores, 0);
    EXPECT_GT(played.shuffles, 0);
    EXPECT_GT(played.refusedClicks, 0);
    EXPECT_GT(played.chainFrames, 0);
    std::printf("%d frames: %d scores banked, %d shuffles, %d clicks refused, %d frames of chains\n", frames,
                played.bankedScores, played.shuffles, played.refusedClicks, played.chainFrames);
}

}  // namespace
