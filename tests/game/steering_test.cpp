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

// Keys in a frame: went down since the last (pressed) and still down (held).
SteeringInput keys(int direction, bool pressed, bool held) {
    SteeringInput input;
    input.pressed[direction] = pressed;
    input.held[direction] = held;
    return input;
}

TEST_F(Steered, EachDirectionLandsOnTheNeighbourThatWayAsThePlayerSeesItAndStopsAtTheEdge) {
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
            frame({});
            EXPECT_TRUE(frame(keys(direction, true, true)));
            const int toRow = row + rowStep[direction], toColumn = column + columnStep[direction];
            const bool edge = toRow < 1 || toRow > boardSide || toColumn < 1 || toColumn > boardSide;
            EXPECT_EQ(picked(), edge ? tube : (toRow - 1) * boardSide + toColumn) << tube << " way " << direction;
            // Seen on the screen, with the perspective's slant.
            const std::int32_t moved[4] = {fromY - y, y - fromY, fromX - x, x - fromX};
            EXPECT_TRUE(edge || moved[direction] > 10) << tube << " way " << direction;
        }
    }
}

TEST_F(Steered, AHeldKeyGoesOnTapsInFramesInARowAreAMoveEachTheNewestKeyWinsAndTheMouseTakesOver) {
    // From the parked pointer the first press starts at the tube nearest
    // it: the board's far left corner, seen top left.
    ASSERT_TRUE(frame(keys(steerRight, true, true)));
    EXPECT_EQ(picked(), 14 * boardSide + 2);
    for (int n = 0; n < 60; ++n) frame(keys(steerRight, false, true));
    const std::int32_t held = picked();
    EXPECT_GE(held, 14 * boardSide + 5) << "a held key went on no further";
    // Towards pressed while right is held moves at once; right held on
    // alone waits for its repeat again.
    SteeringInput both = keys(steerTowards, true, true);
    both.held[steerRight] = true;
    EXPECT_TRUE(frame(both));
    EXPECT_EQ(picked(), held - boardSide);
    EXPECT_FALSE(frame(keys(steerRight, false, true)));
    // A tap let go before the frame read it still moves, in every frame.
    EXPECT_TRUE(frame(keys(steerLeft, true, false)) && frame(keys(steerLeft, true, false)));
    EXPECT_EQ(picked(), held - boardSide - 2);
    // The mouse moves the pointer onto the middle tube: the next press starts there.
    const ScreenPoint middle = projectToWindow(board[113].position[0], 0, board[113].position[2]);
    x = static_cast<std::int32_t>(middle.x), y = 768 - static_cast<std::int32_t>(middle.y);
    ASSERT_TRUE(frame(keys(steerAway, true, true)));
    EXPECT_EQ(picked(), 113 + boardSide);
}

TEST(Gamepad, DpadStickAndButtonsActAsTheKeys) {
    // GLFW's buttons (A, B, X, Y, bumpers, back, start, guide, thumbs, d-pad
    // up, right, down, left) and left stick (y down), and what they give:
    // away, towards, left, right, click, shuffle, quit.
    const struct {
        std::vector<int> buttons;
        float x, y;
        const char* gives;
    } cases[] = {{{11}, 0, 0, "1000000"},       {{12}, 0, 0, "0001000"},
                 {{13}, 0, 0, "0100000"},       {{14}, 0, 0, "0010000"},
                 {{0}, 0, 0, "0000100"},        {{2}, 0, 0, "0000010"},
                 {{7}, 0, 0, "0000001"},        {{1, 3, 4, 5, 6, 8, 9, 10}, 0, 0, "0000000"},
                 {{}, 0.2f, -0.9f, "1000000"},  {{}, 0.2f, 0.9f, "0100000"},
                 {{}, -0.7f, 0.6f, "0010000"},  {{}, 0.7f, -0.6f, "0001000"},
                 {{}, 0.45f, -0.45f, "0000000"}};
    for (const auto& c : cases) {
        GamepadState pad;
        for (const int button : c.buttons) pad.buttons[button] = 1;
        pad.axes[gamepadAxisLeftX] = c.x;
        pad.axes[gamepadAxisLeftY] = c.y;
        const SteeringInput in = gamepadSteering(pad);
        std::string gives;
        for (const bool level : {in.held[steerAway], in.held[steerTowards], in.held[steerLeft], in.held[steerRight],
                                 in.click, in.shuffle, gamepadQuits(pad)})
            gives += level ? '1' : '0';
        EXPECT_EQ(gives, c.gives) << c.buttons.size() << " buttons, stick " << c.x << " " << c.y;
    }
}

}  // namespace
