#include "game/board.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Board freshShuffledBoard() {
    resetRandomUnit();
    Board board;
    createBoard(board);
    shuffleBoard(board);
    return board;
}

TEST(RandomUnit, StartsFromTheSameFixedSequenceEveryRun) {
    resetRandomUnit();
    const int expected[] = {16838, 5758, 10113, 17515, 31051, 5627, 23010, 7419};
    for (int value : expected) EXPECT_EQ(randomUnit(), value / 32768.0);
}

TEST(RandomUnit, DrawsLieInTheUnitIntervalInSteps) {
    resetRandomUnit();
    double lowest = 1, highest = 0;
    for (int i = 0; i < 100000; ++i) {
        const double draw = randomUnit();
        ASSERT_GE(draw, 0.0);
        ASSERT_LT(draw, 1.0);
        ASSERT_EQ(draw * 32768, std::floor(draw * 32768)) << "not a multiple of 1/32768: " << draw;
        lowest = std::min(lowest, draw);
        highest = std::max(highest, draw);
    }
    // The whole range is reached, both ends.
    EXPECT_LT(lowest, 1.0 / 1000);
    EXPECT_GT(highest, 1.0 - 1.0 / 1000);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(0.25 * 10 + 15), 18);  // 17.5
    EXPECT_EQ(roundHalfEven(0.75 * 10 + 15), 22);  // 22.5
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(17.4999), 17);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(315 / 90.0), 4);  // 3.5
    EXPECT_EQ(roundHalfEven(225 / 90.0), 2);  // 2.5
}

TEST(Board, TubesStandRowByRowOnTheUnitGrid) {
    Board board;
    createBoard(board);
    struct Expected {
        int index;
        float x, z;
    };
    for (const Expected& e : {Expected{1, -7, -1}, Expected{15, 7, -1}, Expected{16, -7, -2}, Expected{113, 0, -8},
                              Expected{225, 7, -15}}) {
        SCOPED_TRACE(e.index);
        EXPECT_EQ(board[e.index].position[0], e.x);
        EXPECT_EQ(board[e.index].position[1], 0.0f);
        EXPECT_EQ(board[e.index].position[2], e.z);
    }
    for (int i = 1; i <= tubeCount; ++i) {
        EXPECT_EQ(board[i].angleY, 0);
        EXPECT_EQ(board[i].turning, 0);
        EXPECT_EQ(board[i].lightningFrame, 0);
    }
    freeBoard(board);
    EXPECT_EQ(board.tubes[1], nullptr);
    EXPECT_EQ(board.tubes[225], nullptr);
}

TEST(Board, EveryShuffleLeavesQuarterTurnsAndAFreshLightning) {
    Board board = freshShuffledBoard();
    int seenAngles[4] = {0, 0, 0, 0};
    for (int round = 0; round < 20; ++round) {
        // Leave some state behind that a shuffle must clear.
        board[7].turning = flagTrue;
        board[8].activated = flagTrue;
        board[9].angleY = 45;
        shuffleBoard(board);
        for (int i = 1; i <= tubeCount; ++i) {
            const Tube& tube = board[i];
            ASSERT_TRUE(tube.angleY == 0 || tube.angleY == 90 || tube.angleY == 180 || tube.angleY == 270)
                << tube.angleY;
            ++seenAngles[tube.angleY / 90];
            ASSERT_GE(tube.lightningFrame, 15);
            ASSERT_LE(tube.lightningFrame, 25);
            ASSERT_EQ(tube.sparkFrame, tube.lightningFrame + 1);
            ASSERT_EQ(tube.turning, 0);
            ASSERT_EQ(tube.activated, 0);
            ASSERT_EQ(tube.angleX, 0);
            ASSERT_EQ(tube.angleZ, 0);
        }
    }
    // Each orientation comes up about a quarter of the time.
    for (int count : seenAngles) EXPECT_NEAR(count, 20 * 225 / 4, 20 * 225 / 4 / 5);
}

}  // namespace
