// The game's own frame after the real start-up (window on Xvfb, the real
// data, the sound bank on the null driver): when picking runs and a click is
// taken, counted frame by frame.
#include <AL/al.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/frame.h"
#include "game/rules.h"
#include "support/test_support.h"
#include "support/tube_pointer.h"

namespace {

std::vector<float> voicePosition(const Game& game, int slot) {
    std::vector<float> position(3);
    alGetSourcefv(game.sound.sources[slot], AL_POSITION, position.data());
    return position;
}
std::vector<float> positionOf(const Tube& tube) { return {tube.position[0], tube.position[1], tube.position[2]}; }

// The pointer over the middle of a tube's upper surface.
FrameInput pointerOver(Game& game, int index) {
    const WindowPoint point =
        projectOnTube(game.state.board[index], tubeAimPoint(*game.models[tubeModelEntry]), game.view);
    FrameInput input;
    input.mouseX = static_cast<int>(std::lround(point.x));
    input.mouseY = game.view.height - static_cast<int>(std::lround(point.y));
    return input;
}

TEST(Frame, TheFirstFramePicksAndTakesAClickAlthoughTheStartUpLightningRuns) {
    Game& game = startedGame();
    GameState& state = game.state;
    for (int i = 1; i <= tubeCount; ++i) ASSERT_NE(state.board[i].lightningFrame, 0) << "start-up lightning";
    const int tube = tubeWithoutChain(state.board);
    const int angle = state.board[tube].angleY;

    FrameInput input = pointerOver(game, tube);
    input.leftButton = true;
    playFrame(game, input);
    EXPECT_EQ(state.hoveredTube, tube);
    EXPECT_EQ(state.board[tube].turning, flagTrue);
    EXPECT_EQ(state.board[tube].angleY, angle + 5);
    EXPECT_EQ(state.board[tube].targetAngle, static_cast<float>((angle + 90) % 360));
    EXPECT_EQ(state.board[tube].lightningFrame, 2) << "restarted by the turn, stepped by the tube pass";
    EXPECT_EQ(voicePosition(game, clickVoice), positionOf(state.board[tube])) << "the pointer came onto it";
    EXPECT_EQ(state.anyLightning, flagTrue);

    // From the second frame on picking waits for every lightning to end.
    playFrame(game, input);
    EXPECT_EQ(state.hoveredTube, 0);
    EXPECT_EQ(state.board[tube].angleY, angle + 10);
    EXPECT_EQ(state.board[tube].targetAngle, static_cast<float>((angle + 90) % 360));
}

TEST(Frame, AHeldButtonTurnsTheTubeAgainAsSoonAsTheBoardIsIdle) {
    Game& game = startedGame();
    GameState& state = game.state;
    // Wait out the start-up lightning (and whatever an earlier test left running).
    FrameInput input;
    int waited = 0;
    do {
        playFrame(game, input);
        ASSERT_LT(++waited, 80);
    } while (state.anyLightning || state.anyTubeTurning);

    const int tube = tubeWithoutChain(state.board);
    const int angle = state.board[tube].angleY;
    input = pointerOver(game, tube);
    input.leftButton = true;
    playFrame(game, input);  // frame N
    EXPECT_EQ(state.hoveredTube, tube);
    EXPECT_EQ(state.clickedTube, tube);
    EXPECT_EQ(voicePosition(game, turnVoice), positionOf(state.board[tube])) << "the turn voice at the tube";
    EXPECT_EQ(state.board[tube].angleY, (angle + 5) % 360);

    // The clicked tube started turning after that frame's flag update, so
    // the next frame still picks; the held button does not start it again.
    playFrame(game, input);  // N + 1
    EXPECT_EQ(state.hoveredTube, tube);
    EXPECT_EQ(state.clickedTube, tube);
    EXPECT_EQ(state.board[tube].angleY, (angle + 10) % 360);
    EXPECT_EQ(state.board[tube].lightningFrame, 3);

    // Busy while it turns (rest in N + 17) and while its lightning runs
    // (ended in N + 33, seen by that frame's flag update).
    for (int frame = 2; frame <= 34; ++frame) {
        playFrame(game, input);
        ASSERT_EQ(state.hoveredTube, 0) << "frame N + " << frame;
        if (frame == 17) {
            EXPECT_EQ(state.board[tube].angleY, (angle + 90) % 360);
        }
    }
    EXPECT_EQ(state.board[tube].lightningFrame, 0);
    EXPECT_EQ(state.score, 0);

    // The elbow has turned under the pointer: point at it where it now is,
    // the button still down.
    input = pointerOver(game, tube);
    input.leftButton = true;
    playFrame(game, input);  // N + 35: idle at the last flag update
    EXPECT_EQ(state.hoveredTube, tube);
    EXPECT_EQ(state.board[tube].turning, flagTrue);
    EXPECT_EQ(state.board[tube].angleY, (angle + 95) % 360);
    EXPECT_EQ(state.board[tube].targetAngle, static_cast<float>((angle + 180) % 360));
}

TEST(PointerHold, HoldsThePointerInsideTheWindowLowerBoundFirst) {
    ViewSettings view;
    view.width = 1024;
    view.height = 768;
    const struct {
        int x, y, heldX, heldY;
    } cases[] = {{-20, 900, 1, 768}, {0, 0, 1, 1}, {1024, 1, 1024, 1}, {5000, -5000, 1024, 1}};
    for (const auto& c : cases) {
        const PointerHold held = holdPointer(c.x, c.y, view);
        EXPECT_EQ(held.x, c.heldX) << c.x << ", " << c.y;
        EXPECT_EQ(held.y, c.heldY) << c.x << ", " << c.y;
    }
}

}  // namespace
