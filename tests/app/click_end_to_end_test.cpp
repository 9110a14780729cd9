// The real executable, its sound recorded by the wave writer: a click on a
// tube that sets off a chain is heard at once, then the chain's sparks, and
// Escape ends the game while they run.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/game_run.h"

namespace {

// Tube 129 (row 9, column 9) sets off a chain of 366 activations on the
// start-up board: its first activation comes as it rests, 17 frames after the click.
constexpr int chainTube = 129;

TEST(ClickEndToEnd, TheTurnIsHeardAtOnceThenTheChainsSparksAndEscapeEndsItMidChain) {
    const FramePixel target = framePixelOverTube(chainTube);
    ASSERT_GT(target.x, 100);
    ASSERT_LT(target.x, 924);
    ASSERT_GT(target.y, 100);
    ASSERT_LT(target.y, 668);

    GameRun run(sourceDir());
    ASSERT_FALSE(run.window.empty()) << "no window appeared";
    // The start-up shuffle sets every tube's electricity sounding at once.
    ASSERT_TRUE(waitUntil(60, [&] { return firstOnset(heardSoFar(run), 0) != std::string::npos; }))
        << "the start-up sparks were not heard";
    // Once the start-up lightning has ended the picture stands still; the
    // captured pointer follows relative moves only, so it goes first far up
    // and left, where the game holds it at (1, 1), then to the tube.
    ASSERT_FALSE(parkPointer(run).empty()) << "the start-up lightning never ended";
    // The start-up sparks sound on for a while after their lightning: the
    // tube's click voice must come after they have died away to be told apart.
    ASSERT_TRUE(waitUntil(60, [&] { return endsQuiet(heardSoFar(run), 0.3); })) << "the start-up sound never ended";
    // Along the top edge first, above the board, then straight onto the tube.
    ASSERT_TRUE(movePointerBy(run, 300, 0)) << "the pointer did not follow";
    const std::size_t parked = heardSoFar(run).samples.size();
    const int dx = static_cast<int>(std::lround(target.x)) - 301;
    const int dy = static_cast<int>(std::lround(target.y)) - 1;
    ASSERT_TRUE(movePointerBy(run, dx, dy)) << "the pointer did not follow";

    // Coming onto the tube is heard (its click voice); the button goes down
    // once that has died away, released at once: a press between two frames.
    std::size_t hover = std::string::npos;
    ASSERT_TRUE(waitUntil(60, [&] { return (hover = firstOnset(heardSoFar(run), parked)) != std::string::npos; }))
        << "coming onto the tube was not heard";
    ASSERT_TRUE(waitUntil(60, [&] { return endsQuiet(heardSoFar(run), 0.3); })) << "the click voice never ended";
    const std::size_t pressed = heardSoFar(run).samples.size();
    xdotool(run, "click 1");
    std::size_t turn = std::string::npos;
    ASSERT_TRUE(waitUntil(60, [&] { return (turn = firstOnset(heardSoFar(run), pressed)) != std::string::npos; }))
        << "the click was not heard";

    // Then the chain: spark after spark, going on well beyond the turn voice
    // (0.35 s) and one spark of the clicked tube's own lightning.
    std::size_t sparks = 0;
    double heardAfterTurn = 0;
    const bool chainHeard = waitUntil(120, [&] {
        const HeardSound heard = heardSoFar(run);
        sparks = soundOnsets(heard, turn + 1).size();
        heardAfterTurn = loudSeconds(heard, turn, heard.samples.size());
        return sparks >= 6 && heardAfterTurn > 3.0;
    });
    EXPECT_TRUE(chainHeard) << sparks << " onsets and " << heardAfterTurn << " s of sound after the turn";

    // Escape while the chain runs (it has hundreds of turns to go after its
    // first sparks) ends the game at once with status 0; the recording,
    // closed as the game ends, holds every spark heard before. How densely
    // the sparks come in seconds depends on how fast the machine draws.
    xdotool(run, "key Escape");
    const ProcessResult result = finish(run, 30);
    EXPECT_FALSE(result.timedOut) << "Escape was lost";
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    const HeardSound heard = heardSoFar(run);
    ASSERT_GT(heard.rate, 0);
    EXPECT_GE(soundOnsets(heard, turn + 1).size(), sparks);
    // Nothing sounded between coming onto the tube and the turn.
    EXPECT_EQ(soundOnsets(heard, hover + 1).front(), turn);
}

}  // namespace
