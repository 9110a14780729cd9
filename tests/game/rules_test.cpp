// The rules, run frame by frame on board situations as the frame runs them:
// picking (a given tube) only while the board was idle, then the rules,
// which leave the sounds the frame is to play.
#include "game/rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

namespace {

constexpr float eye[3] = {0, 14, 5};

// Angles at which a tube opens nowhere, so it neither activates nor is activated.
constexpr int idleAngle = 315;

int tubeAt(float x, float z) { return (static_cast<int>(-z) - 1) * boardSide + static_cast<int>(x) + 8; }
int tubeIndex(int row, int column) { return (row - 1) * boardSide + column; }

// A board on which every tube stands idle at 315 degrees, with no lightning
// and a spark frame that is never reached, played through the real rules.
struct Table {
    std::unique_ptr<GameState> game = std::make_unique<GameState>();
    int frames = 0;                           // frames run so far
    std::vector<std::vector<int>> sparks;     // per frame: the tubes whose electricity sounded
    std::vector<std::set<int>> turningTubes;  // per frame: tubes with turning set after the turns
    struct Rest {
        int frame, tube, angle;  // frame counted from 1
        bool operator==(const Rest&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const Rest& rest) {
            return out << "tube " << rest.tube << " at " << rest.angle << " in frame " << rest.frame;
        }
    };
    std::vector<Rest> rests;    // every turn that ended, in order
    int activations = 0;        // summed over all frames
    std::set<int> sparkFrames;  // the spark frames given at activations

    Table() {
        resetRandomUnit();
        createBoard(game->board);
        for (int i = 1; i <= tubeCount; ++i) {
            Tube& tube = game->board[i];
            tube.angleY = idleAngle;
            tube.sparkFrame = 99;
        }
    }

    GameState& state() { return *game; }
    Tube& tube(int index) { return game->board[index]; }

    // One frame as the game runs it, without the drawing: the pointer stands
    // over pointedTube (0 for none), which picking finds only while the board
    // was idle at the previous flag update; then the rules.
    void frame(int pointedTube = 0, bool left = false, bool right = false) {
        GameState& s = *game;
        s.hoveredTube = pickingAllowed(s) ? pointedTube : 0;
        runRules(s, left, right);
        std::set<int> turning;
        for (int i = 1; i <= tubeCount; ++i) {
            if (s.board[i].turning) turning.insert(i);
            if (s.board[i].cameToRest) rests.push_back({frames + 1, i, s.board[i].angleY});
            if (s.board[i].activated) sparkFrames.insert(s.board[i].sparkFrame);
        }
        activations += s.activationsThisFrame;
        turningTubes.push_back(turning);
        std::vector<int> sparked;
        for (const SoundEvent& event : heard(Voice::electricityPair))
            sparked.push_back(tubeAt(event.position[0], event.position[2]));
        sparks.push_back(sparked);
        ++frames;
    }

    void run(int count) {
        for (int k = 0; k < count; ++k) frame();
    }

    // Runs until the board is idle at a flag update; returns the frames run.
    int runUntilIdle(int limit) {
        const int start = frames;
        do {
            frame();
        } while ((state().anyTubeTurning || state().anyLightning) && frames - start < limit);
        return frames - start;
    }

    // The last frame's sounds of one voice, in order.
    std::vector<SoundEvent> heard(Voice voice) const {
        std::vector<SoundEvent> events;
        for (int k = 0; k < game->sounds.count; ++k) {
            if (game->sounds.events[k].voice == voice) events.push_back(game->sounds.events[k]);
        }
        return events;
    }
    bool played(Voice voice) const { return !heard(voice).empty(); }
    // Heard once in the last frame, at the position.
    bool playedAt(Voice voice, const float position[3]) const {
        const std::vector<SoundEvent> events = heard(voice);
        return events.size() == 1 && events[0].position[0] == position[0] && events[0].position[1] == position[1] &&
               events[0].position[2] == position[2];
    }
};

// Sets a tube turning from angle towards target.
void setTurning(Tube& tube, int angle, float target) {
    tube.angleY = angle;
    tube.targetAngle = target;
    tube.turning = flagTrue;
}

TEST(Quarter, RoundsTheAngleOverNinetyHalvesToEven) {
    const struct {
        int angle, quarter;
    } cases[] = {{0, 0},   {90, 1},  {180, 2}, {270, 3}, {40, 0},  {45, 0},  {50, 1},  {130, 1}, {135, 2},
                 {175, 2}, {225, 2}, {230, 3}, {310, 3}, {315, 4}, {330, 4}, {355, 4}, {85, 1},  {5, 0}};
    Tube tube;
    for (const auto& c : cases) {
        tube.angleY = c.angle;
        EXPECT_EQ(quarter(tube), c.quarter) << "angle " << c.angle;
    }
}

TEST(Neighbours, CornerTubesHaveTwoEdgeTubesThreeInnerTubesFour) {
    Board board;
    createBoard(board);
    for (int i = 1; i <= tubeCount; ++i) {
        const int row = (i - 1) / boardSide + 1, column = (i - 1) % boardSide + 1;
        const int expected = 4 - (row == 1 || row == boardSide) - (column == 1 || column == boardSide);
        int count = 0;
        for (int j = 1; j <= tubeCount; ++j) {
            if (j == i || !tubesAreNeighbours(board[i], board[j])) continue;
            ++count;
            const int otherRow = (j - 1) / boardSide + 1, otherColumn = (j - 1) % boardSide + 1;
            // Only the four tubes one step along a row or a column.
            EXPECT_EQ(std::abs(otherRow - row) + std::abs(otherColumn - column), 1) << i << " and " << j;
        }
        EXPECT_EQ(count, expected) << "tube " << i;
    }
    EXPECT_FALSE(tubesAreNeighbours(board[113], board[97])) << "corner contact";
    EXPECT_FALSE(tubesAreNeighbours(board[113], board[129])) << "corner contact";
    EXPECT_FALSE(tubesAreNeighbours(board[113], board[115])) << "two apart";
    EXPECT_FALSE(tubesAreNeighbours(board[15], board[16])) << "end of one row, start of the next";
}

// Every pair of angles on each of 113's four neighbours, quarter 4 included.
// The quarters open (-x, +z), (+x, +z), (+x, -z), (-x, -z) and nowhere; each
// table says, row by row for 113's quarter 0..4 and column by column for the
// neighbour's, whether the two meet.
TEST(TubesConnect, FollowsTheOpenSidesOfBothTubesInEveryDirection) {
    Board board;
    createBoard(board);
    const struct {
        int index;  // 113's neighbour
        const char* meets[5];
    } neighbours[] = {
        {112, {"01100", "00000", "00000", "01100", "00000"}},  // to -x: 113 open -x, 112 open +x
        {114, {"00000", "10010", "10010", "00000", "00000"}},  // to +x
        {98, {"00110", "00110", "00000", "00000", "00000"}},   // to +z, the row nearer the camera
        {128, {"00000", "00000", "11000", "11000", "00000"}},  // to -z
    };
    // An angle for each quarter, the last one opening nowhere (quarter
    // turns at other angles are the Quarter test's).
    const int angles[5] = {0, 90, 180, 270, 330};
    for (const auto& n : neighbours) {
        for (int qa = 0; qa < 5; ++qa) {
            for (int qb = 0; qb < 5; ++qb) {
                board[113].angleY = angles[qa];
                board[n.index].angleY = angles[qb];
                const bool expected = n.meets[qa][qb] == '1';
                EXPECT_EQ(tubesConnect(board[113], board[n.index]), expected)
                    << "113 at " << angles[qa] << ", " << n.index << " at " << angles[qb];
                EXPECT_EQ(tubesConnect(board[n.index], board[113]), expected) << "not symmetric";
            }
        }
    }
}

TEST(Turn, EveryTubeToTheLastTurnsAQuarterWhenClickedOrReachedAndTheBoardGoesIdleAfter) {
    Table table;
    for (int i = 1; i <= tubeCount; ++i) {
        SCOPED_TRACE(testing::Message() << "clicked tube " << i);
        const int clickFrame = table.frames + 1;
        table.rests.clear();
        table.frame(i, true);
        ASSERT_TRUE(table.playedAt(Voice::turn, table.tube(i).position));
        ASSERT_EQ(table.tube(i).targetAngle, 45.0f);
        for (int step = 1; step <= 18; ++step) {
            if (step > 1) table.frame();
            ASSERT_EQ(table.tube(i).angleY, (idleAngle + 5 * step) % 360) << "step " << step;
            ASSERT_EQ(table.tube(i).cameToRest != 0, step == 18) << "step " << step;
        }
        // The click's lightning runs frames 1..34; the flag update of frame
        // 35 finds the board idle.
        const int framesToIdle = 18 + table.runUntilIdle(100);
        ASSERT_EQ(framesToIdle, 35);
        ASSERT_EQ(table.rests, (std::vector<Table::Rest>{{clickFrame + 17, i, 45}}));
        for (int j = 1; j <= tubeCount; ++j) {
            ASSERT_EQ(table.tube(j).turning, 0) << "tube " << j;
            ASSERT_EQ(table.tube(j).lightningFrame, 0) << "tube " << j;
        }
        ASSERT_EQ(table.state().score, 0);
        table.tube(i).angleY = idleAngle;
    }

    // 224 rests at 90 (open +x) onto 225 at 0 (open -x), which rests at 90
    // facing idle tubes only; their lightning, relit in frame 18, runs out
    // for the flag update of frame 52.
    Table chain;
    chain.tube(tubeCount - 1).angleY = 0;
    chain.tube(tubeCount).angleY = 0;
    chain.frame(tubeCount - 1, true);
    EXPECT_EQ(1 + chain.runUntilIdle(200), 52);
    EXPECT_EQ(chain.rests, (std::vector<Table::Rest>{{18, tubeCount - 1, 90}, {36, tubeCount, 90}}));
    EXPECT_EQ(chain.state().score, 1);
    for (int j = 1; j <= tubeCount; ++j) {
        EXPECT_EQ(chain.tube(j).turning, 0) << "tube " << j;
        EXPECT_EQ(chain.tube(j).lightningFrame, 0) << "tube " << j;
    }
}

TEST(Turn, TheFrameAfterAnAcceptedClickStillPicksButAHeldButtonDoesNotRestartTheTurn) {
    Table table;
    table.tube(113).angleY = 90;
    table.state().score = 6;
    table.frame(113, true);
    EXPECT_EQ(table.state().best, 6);
    EXPECT_EQ(table.tube(113).angleY, 95);
    // The clicked tube started turning after this frame's flag update.
    EXPECT_EQ(table.state().anyTubeTurning, 0);
    table.frame(113, true);
    EXPECT_EQ(table.state().hoveredTube, 113);
    EXPECT_EQ(table.state().clickedTube, 113);
    EXPECT_FALSE(table.played(Voice::turn)) << "no second start";
    EXPECT_EQ(table.tube(113).targetAngle, 180.0f);
    EXPECT_EQ(table.tube(113).angleY, 100);
    EXPECT_EQ(table.tube(113).lightningFrame, 3);
    table.frame(113, true);
    EXPECT_EQ(table.state().hoveredTube, 0) << "busy from then on";
}

TEST(Turn, TubeAtRestAt0ActivatesItsMinusXNeighbourAtQuarter1Or2AndItsPlusZNeighbourAt2Or3) {
    // 113 comes to rest at 0: open on -x (towards 112) and +z (towards 98).
    // The tubes touching it at a corner stand at the same quarter and never turn.
    for (int q = 0; q < 4; ++q) {
        SCOPED_TRACE(testing::Message() << "neighbours at quarter " << q);
        Table table;
        table.tube(113).angleY = 270;
        for (int other : {112, 114, 98, 128, 97, 99, 127, 129}) table.tube(other).angleY = 90 * q;
        table.frame(113, true);
        table.run(17);
        ASSERT_EQ(table.tube(113).cameToRest, flagTrue);

        const bool left = q == 1 || q == 2, nearer = q == 2 || q == 3;
        EXPECT_EQ(table.tube(112).activated != 0, left);
        EXPECT_EQ(table.tube(98).activated != 0, nearer);
        for (int other : {114, 128, 97, 99, 127, 129}) EXPECT_EQ(table.tube(other).activated, 0) << other;
        EXPECT_EQ(table.state().score, left + nearer);
        EXPECT_EQ(table.state().activationsThisFrame, left + nearer);
        const float nextQuarter = (90 * q + 90) % 360;
        if (left) {
            EXPECT_EQ(table.tube(112).targetAngle, nextQuarter);
        }
        if (nearer) {
            EXPECT_EQ(table.tube(98).targetAngle, nextQuarter);
        }
        // An activation relights the tube at rest (1, stepped to 2 in the
        // tube pass); without one its lightning from the click runs on.
        EXPECT_EQ(table.tube(113).lightningFrame, left || nearer ? 2 : 19);

        // The activated tubes start turning in the next frame, not before.
        EXPECT_EQ(table.tube(112).angleY, 90 * q);
        table.frame();
        EXPECT_EQ(table.tube(112).angleY, left ? 90 * q + 5 : 90 * q);
        EXPECT_EQ(table.tube(98).angleY, nearer ? 90 * q + 5 : 90 * q);
        EXPECT_EQ(table.tube(113).turning, 0);
    }
}

// A turning tube activated by a neighbour that rests in the same frame turns
// on without a pause to a quarter beyond the angle it stood at when tested.
TEST(Turn, ATubeActivatedWhileTurningGoesOnAQuarterBeyondWhereItStood) {
    const struct {
        const char* what;
        int resting, restingFrom, restingTo;  // comes to rest in the first frame
        int turning, turningFrom, turningTo;  // turning, and activated by it
        float newTarget;
        int angleAfter;  // after the first frame
    } cases[] = {
        // 112 rests at 90 (open +x); 113, later in the scan, has stepped to
        // 45 (quarter 0, open -x) when tested.
        {"activated after its own step", 112, 85, 90, 113, 45, 90, 135, 50},
        // 98 rests at 180 (open -z); 113, later in the scan, is still at 85
        // (quarter 1, open +z) when tested, then steps to 90, no longer its target.
        {"activated before its own step", 98, 175, 180, 113, 85, 90, 175, 90},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Table table;
        Tube& resting = table.tube(c.resting);
        Tube& turning = table.tube(c.turning);
        setTurning(resting, c.restingFrom, c.restingTo);
        setTurning(turning, c.turningFrom, c.turningTo);
        table.frame();
        EXPECT_EQ(resting.cameToRest, flagTrue);
        EXPECT_EQ(turning.activated, flagTrue);
        EXPECT_EQ(turning.targetAngle, c.newTarget);
        EXPECT_EQ(turning.angleY, c.angleAfter);
        EXPECT_EQ(turning.cameToRest, 0);
        EXPECT_EQ(table.state().score, 1);
        const int steps = (static_cast<int>(c.newTarget) - c.angleAfter) / 5;
        ASSERT_EQ(steps, 17);
        for (int step = 1; step <= steps; ++step) {
            table.frame();
            EXPECT_EQ(turning.angleY, c.angleAfter + 5 * step);
            EXPECT_EQ(turning.cameToRest != 0, step == steps) << "step " << step;
        }
        table.frame();
        EXPECT_EQ(turning.angleY, static_cast<int>(c.newTarget));
        EXPECT_EQ(turning.turning, 0);
        EXPECT_EQ(table.state().score, 1) << "at rest it opens onto idle tubes only";
    }
}

TEST(Turn, HigherIndexTubeRestingAt0ActivatesTheLowerOneThatRestedInTheSameFrame) {
    // 98 rests at 180 while 113 stands at 355 (quarter 4: no connection);
    // then 113 rests at 0, opens +z towards 98 and activates it.
    Table table;
    Tube& i = table.tube(98);
    Tube& j = table.tube(113);
    setTurning(i, 175, 180);
    setTurning(j, 355, 0);
    table.frame();
    EXPECT_EQ(j.cameToRest, flagTrue);
    EXPECT_EQ(i.cameToRest, flagTrue);
    EXPECT_EQ(i.activated, flagTrue);
    EXPECT_EQ(i.targetAngle, 270.0f);
    EXPECT_EQ(table.state().score, 1);
    // The rest clears the turning that the activation set: the activation is
    // spent although the score counted it.
    table.frame();
    EXPECT_EQ(i.turning, 0);
    EXPECT_EQ(i.activated, 0);
    EXPECT_EQ(i.angleY, 180);
    EXPECT_EQ(j.turning, 0);
    EXPECT_EQ(table.state().anyTubeTurning, 0);
    table.run(5);
    EXPECT_EQ(i.angleY, 180);
    EXPECT_EQ(table.state().score, 1);
}

// Pairs that activate once each in the next frame: a tube turning from 355
// to 0 (open -x), with its -x neighbour at 90 (open +x).
void setUpRestingPairs(Table& table, int count) {
    for (int k = 0; k < count; ++k) {
        const int row = 2 + 2 * (k % 7), column = 3 + 4 * (k / 7);
        Tube& resting = table.tube(tubeIndex(row, column));
        setTurning(resting, 355, 0);
        table.tube(tubeIndex(row, column - 1)).angleY = 90;
    }
}

TEST(ChainSound, EightActivationsInOneFramePlayTheCervoVoiceOnceSevenNone) {
    for (int count : {7, 8, 9}) {
        SCOPED_TRACE(testing::Message() << count << " activations");
        Table table;
        setUpRestingPairs(table, count);
        table.frame();
        EXPECT_EQ(table.state().activationsThisFrame, count);
        EXPECT_EQ(table.state().score, count);
        EXPECT_EQ(table.heard(Voice::cervo).size(), count >= 8 ? 1u : 0u);
        // The activated tubes turn in the next frame: no activation, no voice.
        table.frame();
        EXPECT_EQ(table.state().activationsThisFrame, 0);
        EXPECT_FALSE(table.played(Voice::cervo));
    }
}

TEST(Sparks, TheFirstActivationSparksInItsFrameTheOthersZeroToNineFramesLater) {
    Table table;
    setUpRestingPairs(table, 3);
    table.frame();
    ASSERT_EQ(table.state().activationsThisFrame, 3);
    // Activated in scan order of the tubes at rest.
    const int activated[3] = {tubeIndex(2, 2), tubeIndex(4, 2), tubeIndex(6, 2)};
    // The three activations take the generator's first three draws (16838,
    // 5758 and 10113 in 32768ths): the first activation's (spark frame 7)
    // is overridden by 2, the others give 2 + 10 * 5758 / 32768 = 3 and
    // 2 + 10 * 10113 / 32768 = 5, rounded down.
    EXPECT_EQ(table.tube(activated[0]).sparkFrame, 2);
    EXPECT_EQ(table.tube(activated[1]).sparkFrame, 3);
    EXPECT_EQ(table.tube(activated[2]).sparkFrame, 5);
    // One draw per activation: the fourth goes to the first lightning the
    // frame's step draws, the lowest lit index.
    EXPECT_EQ(table.tube(activated[0]).lightningJitter[0], 17515 / 32768.0);
    // Up to frame 17 after the activation, before the activated tubes come to rest.
    table.run(16);
    for (int k = 0; k < 3; ++k) {
        const int expectedFrame = table.tube(activated[k]).sparkFrame - 2;  // frames after the activation
        EXPECT_LE(expectedFrame, 9);
        int heard = 0;
        for (int f = 0; f < table.frames; ++f) {
            for (int tube : table.sparks[f]) {
                if (tube != activated[k]) continue;
                ++heard;
                EXPECT_EQ(f, expectedFrame) << "tube " << activated[k];
            }
        }
        EXPECT_EQ(heard, 1) << "tube " << activated[k];
    }
    EXPECT_EQ(table.sparks[0].front(), activated[0]) << "the first activation sparks first, in its own frame";
    // The relit tubes at rest keep their own spark frame (never reached here).
    int total = 0;
    for (const auto& frame : table.sparks) total += static_cast<int>(frame.size());
    EXPECT_EQ(total, 3);
}

TEST(Sparks, ALightningRunsThirtyFourFramesWithTwoDrawsEachAndSparksAtItsSparkFrame) {
    // Started at 1, it is drawn with the stepped frames 2..34 and last 0,
    // then stops; each step draws the two jitters, in order, from the one
    // random sequence.
    Table table;
    Tube& sparking = table.tube(50);
    sparking.lightningFrame = 1;
    sparking.sparkFrame = 5;
    std::vector<double> draws;
    for (int draw = 0; draw < 80; ++draw) draws.push_back(randomUnit());
    resetRandomUnit();
    std::vector<int> shown;
    for (int f = 0; f < 40; ++f) {
        table.frame();
        if (sparking.lightningShown) {
            shown.push_back(sparking.lightningFrame);
            ASSERT_EQ(sparking.lightningJitter[0], draws[2 * f]) << "frame " << f;
            ASSERT_EQ(sparking.lightningJitter[1], draws[2 * f + 1]) << "frame " << f;
        }
        EXPECT_EQ(table.sparks[f], f == 3 ? std::vector<int>{50} : std::vector<int>{}) << "frame " << f;
    }
    ASSERT_EQ(shown.size(), 34u);
    EXPECT_EQ(shown.front(), 2);
    EXPECT_EQ(shown[32], 34);
    EXPECT_EQ(shown.back(), 0);
    for (int i = 1; i <= tubeCount; ++i) {
        if (i != 50) {
            ASSERT_EQ(table.tube(i).lightningShown, 0) << "tube " << i;
        }
    }
}

TEST(Input, AClickOnNoTubeChangesNothing) {
    Table table;
    table.state().score = 4;
    table.state().best = 2;
    table.frame(0, true);
    EXPECT_EQ(table.state().clickedTube, 0);
    EXPECT_EQ(table.state().score, 4);
    EXPECT_EQ(table.state().best, 2);
    EXPECT_EQ(table.state().anyTubeTurning, 0);
    EXPECT_FALSE(table.played(Voice::turn));
    for (int i = 1; i <= tubeCount; ++i) {
        ASSERT_EQ(table.tube(i).angleY, idleAngle);
        ASSERT_EQ(table.tube(i).lightningFrame, 0);
    }
}

TEST(Input, ClicksAndRightClicksDoNothingWhileALightningRuns) {
    Table table;
    table.state().score = 4;
    table.state().best = 2;
    table.tube(50).lightningFrame = 20;
    table.frame();  // the flag update sees the lightning
    ASSERT_EQ(table.state().anyLightning, flagTrue);
    for (int f = 0; f < 14; ++f) {
        table.frame(113, true, true);
        EXPECT_EQ(table.state().hoveredTube, 0);
        EXPECT_EQ(table.state().score, 4);
        EXPECT_EQ(table.state().best, 2);
        EXPECT_FALSE(table.played(Voice::turn));
        EXPECT_FALSE(table.played(Voice::activate));
        EXPECT_FALSE(table.played(Voice::click));
        EXPECT_EQ(table.tube(113).angleY, idleAngle) << "not turned, not shuffled";
    }
    // The lightning ran out in the last frame; its flag update still saw it.
    EXPECT_EQ(table.tube(50).lightningFrame, 0);
    EXPECT_EQ(table.state().anyLightning, flagTrue);
    table.frame(113, true, false);
    EXPECT_EQ(table.state().hoveredTube, 0);
    table.frame(113, true, false);
    EXPECT_EQ(table.state().hoveredTube, 113);
    EXPECT_TRUE(table.played(Voice::turn));
    EXPECT_EQ(table.state().best, 4);
    EXPECT_EQ(table.state().score, 0);
}

TEST(Input, ARightClickOnAnIdleBoardShufflesWhereverThePointerIs) {
    for (int pointed : {0, 113}) {
        SCOPED_TRACE(testing::Message() << "pointer over tube " << pointed);
        Table table;
        table.state().score = 7;
        table.state().best = 9;
        table.frame(pointed, false, true);
        EXPECT_TRUE(table.playedAt(Voice::activate, eye));
        EXPECT_EQ(table.state().score, 7);
        EXPECT_EQ(table.state().best, 9);
        for (int i = 1; i <= tubeCount; ++i) {
            const Tube& tube = table.tube(i);
            ASSERT_EQ(tube.angleY % 90, 0) << "tube " << i;
            ASSERT_GE(tube.lightningFrame, 16) << "tube " << i;
            ASSERT_LE(tube.lightningFrame, 26) << "tube " << i;
            // Every tube sparks in the tube pass right after the shuffle.
            ASSERT_EQ(tube.sparkFrame, tube.lightningFrame) << "tube " << i;
        }
        // Every tube's electricity, in index order, right after the shuffle.
        ASSERT_EQ(table.sparks.back().size(), static_cast<std::size_t>(tubeCount));
        for (int i = 1; i <= tubeCount; ++i) ASSERT_EQ(table.sparks.back()[i - 1], i);
        // Now the board is busy until the last of those lightnings ends.
        table.frame(pointed, false, true);
        EXPECT_FALSE(table.played(Voice::activate));
    }
}

TEST(Input, TheClickVoiceSoundsWhenThePointerComesOntoAnotherTube) {
    Table table;
    table.frame(113);
    EXPECT_TRUE(table.playedAt(Voice::click, table.tube(113).position));
    table.frame(113);
    EXPECT_FALSE(table.played(Voice::click)) << "same tube";
    table.frame(114);
    EXPECT_TRUE(table.playedAt(Voice::click, table.tube(114).position));
    table.frame(0);
    EXPECT_FALSE(table.played(Voice::click)) << "onto no tube";
    EXPECT_EQ(table.state().previousHoveredTube, 0);
    table.frame(114);
    EXPECT_TRUE(table.playedAt(Voice::click, table.tube(114).position)) << "back onto the same tube";
}

TEST(Score, AChainOfTwelveFromZeroIsBankedAtTheNextAcceptedClick) {
    // Row 1, tubes 1..13 at 0: each comes to rest at 90, open +x, onto the
    // next one, still at 0 (open -x). Row 1 has no +z neighbours.
    Table table;
    table.state().best = 5;
    for (int i = 1; i <= 13; ++i) table.tube(i).angleY = 0;
    table.frame(1, true);
    EXPECT_EQ(table.state().score, 0);
    // Tube k comes to rest in frame 18 k and activates tube k + 1.
    for (int k = 1; k <= 13; ++k) {
        table.run(18 * k - table.frames - 1);
        EXPECT_EQ(table.state().score, k - 1) << "before tube " << k << " rests";
        table.frame(200, true);  // held over another tube: refused while busy
        EXPECT_EQ(table.tube(k).cameToRest, flagTrue) << "tube " << k;
        EXPECT_EQ(table.state().score, std::min(k, 12)) << "tube " << k;
        EXPECT_EQ(table.state().best, 5);
    }
    EXPECT_EQ(table.tube(14).activated, 0);
    // The last activation, in frame 216, relit tubes 12 and 13: their
    // lightning ends in frame 249, whose flag update still sees it.
    table.run(249 - table.frames);
    EXPECT_EQ(table.tube(13).lightningFrame, 0);
    table.frame(200, true);  // frame 250: picking still waits
    EXPECT_EQ(table.state().hoveredTube, 0);
    EXPECT_EQ(table.state().score, 12);
    EXPECT_EQ(table.state().best, 5);
    table.frame(200, true);  // frame 251: accepted
    EXPECT_EQ(table.state().best, 12);
    EXPECT_EQ(table.state().score, 0);
    EXPECT_EQ(table.tube(200).turning, flagTrue);
}

TEST(Score, BestDoesNotFallWhenALowerScoreIsBanked) {
    Table table;
    table.state().score = 3;
    table.state().best = 10;
    table.frame(113, true);
    EXPECT_EQ(table.state().best, 10);
    EXPECT_EQ(table.state().score, 0);
}

TEST(Chain, RunsBackAndForthBetweenTwoTubesToItsEnd) {
    // Tube 1 at 0 and tube 2 at 270 (open -x) in row 1, everything else idle.
    // Clicked, 1 rests at 90 (open +x) and activates 2; 2 rests at 0 (open
    // -x) and activates 1 again; 1 rests at 180 (still open +x) and
    // activates 2 once more; 2 rests at 90, open +x and +z, onto idle tubes.
    Table table;
    table.state().best = 1;
    table.tube(1).angleY = 0;
    table.tube(2).angleY = 270;
    table.frame(1, true);
    const int idleFrames = table.runUntilIdle(500);
    const std::vector<Table::Rest> expectedRests = {{18, 1, 90}, {36, 2, 0}, {54, 1, 180}, {72, 2, 90}};
    EXPECT_EQ(table.rests, expectedRests);
    EXPECT_EQ(table.tube(1).angleY, 180);
    EXPECT_EQ(table.tube(2).angleY, 90);
    EXPECT_EQ(table.state().score, 3);
    EXPECT_EQ(table.state().best, 1);
    // Tubes 1 and 2 were relit in frame 54: lightning through frame 87, seen
    // by the flag update of frame 88 for the last time.
    EXPECT_EQ(1 + idleFrames, 88);
    // Nothing else moved.
    for (int i = 3; i <= tubeCount; ++i) ASSERT_EQ(table.tube(i).angleY, idleAngle) << "tube " << i;
    table.frame(50, true);
    EXPECT_EQ(table.state().best, 3);
    EXPECT_EQ(table.state().score, 0);
}

TEST(Chain, TheStartUpBoardRunsTheRecordedLongChainFromTube197) {
    // The board every run starts with; tube 197 (row 14) sets off the longest
    // chain on it, over and over the same tubes. The score of 384 and the
    // last rest in frame 1710 are golden values, recorded from a run of these
    // rules (and what the demo shows), not worked out by hand: they do not
    // depend on the random draws, and a change to them needs a reason.
    Table table;
    resetRandomUnit();
    shuffleBoard(table.state().board);
    for (int i = 1; i <= tubeCount; ++i) table.tube(i).lightningFrame = 0;
    table.frame(197, true);
    table.runUntilIdle(5000);
    EXPECT_EQ(table.state().score, 384);
    EXPECT_EQ(table.activations, table.state().score);
    ASSERT_FALSE(table.rests.empty());
    EXPECT_EQ(table.rests.back().frame, 1710);
    std::vector<int> rests(tubeCount + 1, 0);
    for (const Table::Rest& rest : table.rests) ++rests[rest.tube];
    int most = 0;
    for (int count : rests) most = std::max(most, count);
    EXPECT_GE(most, 4) << "some tube turns again and again";
    // Over hundreds of activations every spark frame from 2 to 11 is given,
    // and no other.
    EXPECT_EQ(table.sparkFrames, (std::set<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

}  // namespace
