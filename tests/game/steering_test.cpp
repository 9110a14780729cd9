// Keyboard and gamepad steering against the game's own picking in the real
// window: wherever the keys put the pointer, picking finds the tube they
// meant. (No gamepad can be plugged in here: its mapping is tested as a
// function of GLFW's gamepad state.)
#include "game/steering.h"

#include <gtest/gtest.h>

#include "game/picking.h"
#include "support/camera_view.h"
#include "support/loaded_model.h"
#include "support/test_support.h"

namespace {

struct Steered : ::testing::Test {
    void SetUp() override {
        sharedWindow();
        model = loadModelFile("Model/Tube.OBJ", 2);
        ASSERT_TRUE(model);
        resetRandomUnit();
        createBoard(board);
        shuffleBoard(board);
        steering.aim = tubeAimPoint(*model);
    }
    void TearDown() override { freeBoard(board); }

    // One frame with the keys given; true when the pointer moved.
    bool frame(const SteeringInput& keys) { return steerPointer(steering, keys, board, sharedView(), x, y); }
    std::int32_t picked() { return pickTube(x, y, board, *model, sharedView(), camera); }

    LoadedModel model;
    Board board;
    Steering steering;
    std::int32_t x = 1, y = 1;  // the pointer, frame pixels
};

// A key that went down in this frame, or was held down since an earlier one.
SteeringInput pressing(int direction) {
    SteeringInput keys;
    keys.pressed[direction] = keys.held[direction] = true;
    return keys;
}
SteeringInput holding(int direction) {
    SteeringInput keys;
    keys.held[direction] = true;
    return keys;
}

TEST_F(Steered, EachDirectionLandsOnTheNeighbourThatWayAsThePlayerSeesItAndStopsAtTheEdge) {
    const SteeringInput none;
    // Rows run away from the player, columns to the right: away is up the
    // screen, right is right.
    const int rowStep[4] = {1, -1, 0, 0}, columnStep[4] = {0, 0, -1, 1};
    for (int tube = 1; tube <= tubeCount; ++tube) {
        const int row = (tube - 1) / boardSide + 1, column = (tube - 1) % boardSide + 1;
        for (int direction = 0; direction < 4; ++direction) {
            steering.tube = tube;
            aimAtTube(board[tube], steering.aim, sharedView(), steering.pointerX, steering.pointerY);
            x = steering.pointerX, y = steering.pointerY;
            ASSERT_EQ(picked(), tube) << "the aim misses tube " << tube;
            const std::int32_t fromX = x, fromY = y;
            frame(none);
            EXPECT_TRUE(frame(pressing(direction)));
            const int toRow = row + rowStep[direction], toColumn = column + columnStep[direction];
            const bool edge = toRow < 1 || toRow > boardSide || toColumn < 1 || toColumn > boardSide;
            const int expected = edge ? tube : (toRow - 1) * boardSide + toColumn;
            EXPECT_EQ(picked(), expected) << "from tube " << tube << " in direction " << direction;
            if (edge) continue;
            // Seen on the screen, with the perspective's slant.
            const std::int32_t moved[4] = {fromY - y, y - fromY, fromX - x, x - fromX};
            EXPECT_GT(moved[direction], 10) << "from tube " << tube << " in direction " << direction;
        }
    }
}

TEST_F(Steered, AHeldKeyRepeatsAfterAPauseTheNewestKeyWinsAndTheMouseTakesOverAtOnce) {
    // From the parked pointer the first press goes from the tube nearest it:
    // the far left corner of the board, seen top left.
    ASSERT_TRUE(frame(pressing(3)));
    EXPECT_EQ(picked(), 14 * boardSide + 2);
    // Held: the next moves after 20 frames, then every 6.
    std::vector<int> moves;
    for (int n = 1; n <= 40; ++n)
        if (frame(holding(3))) moves.push_back(n);
    EXPECT_EQ(moves, (std::vector<int>{20, 26, 32, 38}));
    EXPECT_EQ(picked(), 14 * boardSide + 6);

    // Towards pressed while right is still held: towards moves at once;
    // letting it go, right waits its repeat again rather than jumping.
    SteeringInput both = pressing(1);
    both.held[3] = true;
    EXPECT_TRUE(frame(both));
    EXPECT_EQ(picked(), 13 * boardSide + 6);
    EXPECT_FALSE(frame(holding(3)));
    // Taps in frame after frame, each let go before the frame read it, are
    // a move each.
    const SteeringInput tap = [] {
        SteeringInput keys;
        keys.pressed[2] = true;
        return keys;
    }();
    EXPECT_TRUE(frame(tap) && frame(tap) && frame(tap));
    EXPECT_EQ(picked(), 13 * boardSide + 3);

    // The mouse moves the pointer onto the middle tube: the next press
    // starts from there.
    frame({});
    const ScreenPoint middle = projectToWindow(board[113].position[0], 0, board[113].position[2]);
    x = static_cast<std::int32_t>(middle.x), y = 768 - static_cast<std::int32_t>(middle.y);
    ASSERT_TRUE(frame(pressing(0)));
    EXPECT_EQ(picked(), 113 + boardSide);
}

TEST(Gamepad, DpadStickAndButtonsActAsTheKeys) {
    const auto steering = [](std::initializer_list<int> buttons, float x = 0, float y = 0) {
        GamepadState pad;
        for (int button : buttons) pad.buttons[button] = 1;
        pad.axes[gamepadAxisLeftX] = x;
        pad.axes[gamepadAxisLeftY] = y;
        const SteeringInput in = gamepadSteering(pad);
        return std::vector<bool>{
            in.held[steerAway], in.held[steerTowards], in.held[steerLeft], in.held[steerRight], in.click,
            in.shuffle,         gamepadQuits(pad)};
    };
    using Levels = std::vector<bool>;
    // GLFW's order: A, B, X, Y, bumpers, back, start, guide, thumbs, then
    // the d-pad up, right, down, left.
    EXPECT_EQ(steering({11}), (Levels{1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(steering({12}), (Levels{0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(steering({13}), (Levels{0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(steering({14}), (Levels{0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(steering({0}), (Levels{0, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(steering({2}), (Levels{0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(steering({7}), (Levels{0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(steering({1, 3, 4, 5, 6, 8, 9, 10}), (Levels{0, 0, 0, 0, 0, 0, 0})) << "the other buttons do nothing";
    // The left stick over half way, along its larger axis; y is down.
    EXPECT_EQ(steering({}, 0.2f, -0.9f), (Levels{1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(steering({}, 0.2f, 0.9f), (Levels{0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(steering({}, -0.7f, 0.6f), (Levels{0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(steering({}, 0.7f, -0.6f), (Levels{0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(steering({}, 0.45f, -0.45f), (Levels{0, 0, 0, 0, 0, 0, 0})) << "a stick at rest drifts a little";
}

}  // namespace
