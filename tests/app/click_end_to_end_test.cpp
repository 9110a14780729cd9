// The real executable, its sound recorded by the wave writer: a click on a
// tube that sets off a chain is heard at once, then the chain's sparks, and
// Escape ends the game while they run; M silences it all; the keys play as
// the mouse does, and the best score outlives the game.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/game_run.h"
#include "support/tube_pointer.h"

namespace fs = std::filesystem;

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

// The frame's top-right corner, 48 pixels a side, where the sign for no
// sound stands; and the rest of the picture, with that corner blacked out.
std::string signCorner(const std::string& picture) {
    std::string corner;
    for (std::size_t row = 0; row < 48 && picture.size() == 1024 * 768 * 3; ++row)
        corner += picture.substr((row * 1024 + 1024 - 48) * 3, 48 * 3);
    return corner;
}
std::string withoutSignCorner(std::string picture) {
    for (std::size_t row = 0; row < 48 && picture.size() == 1024 * 768 * 3; ++row)
        picture.replace((row * 1024 + 1024 - 48) * 3, 48 * 3, 48 * 3, '\0');
    return picture;
}

// Presses a key and waits until the picture shows something else.
bool pressAndSee(const GameRun& run, const std::string& key) {
    const std::string before = screenPicture(run);
    xdotool(run, "key " + key);
    return waitUntil(60, [&] { return screenPicture(run) != before; });
}

// Seconds of sound recorded so far.
double recordedSeconds(const GameRun& run) {
    const HeardSound heard = heardSoFar(run);
    return heard.rate > 0 ? static_cast<double>(heard.samples.size()) / heard.rate : 0;
}

// M takes the listener's gain away and gives it back: every sound stops at
// once and comes back, while the game plays on as ever. The sign that says
// so stands in the frame's top-right corner, where the stage leaves black,
// and nowhere else; and the silence comes back with the next start.
TEST(ClickEndToEnd, MSilencesEverythingFromThatFrameOnUntilItIsPressedAgainAndTheNextStartIsSilentToo) {
    const FramePixel target = framePixelOverTube(chainTube);
    GameRun run(sourceDir());
    ASSERT_FALSE(run.window.empty()) << "no window appeared";
    const std::string heard = parkPointer(run);
    ASSERT_FALSE(heard.empty()) << "the start-up lightning never ended";
    ASSERT_TRUE(pressAndSee(run, "m")) << "M showed nothing";
    const std::string muted = waitForStillPicture(run, 60);
    EXPECT_TRUE(signCorner(muted) != signCorner(heard) && withoutSignCorner(muted) == withoutSignCorner(heard))
        << "the sign is not in its corner alone";

    // The chain, unheard: its lightning runs on for seconds in silence.
    ASSERT_TRUE(
        movePointerBy(run, static_cast<int>(std::lround(target.x)) - 1, static_cast<int>(std::lround(target.y)) - 1));
    ASSERT_FALSE(waitForStillPicture(run, 60).empty());
    xdotool(run, "click 1");
    ASSERT_TRUE(waitUntil(60, [&] { return lightningPixels(screenPicture(run)) > 0; })) << "the click did nothing";
    const std::size_t clicked = heardSoFar(run).samples.size();
    ASSERT_TRUE(waitUntil(120, [&] { return recordedSeconds(run) > clicked / 44100.0 + 3; }));
    EXPECT_GT(lightningPixels(screenPicture(run)), 0) << "the chain ended within three seconds";
    EXPECT_EQ(loudSeconds(heardSoFar(run), clicked, std::string::npos), 0) << "heard while silenced";

    // M again: the sparks are heard, and the sign is gone; M once more
    // cuts them off at once.
    const std::size_t unmuted = heardSoFar(run).samples.size();
    xdotool(run, "key m");
    ASSERT_TRUE(waitUntil(60, [&] { return firstOnset(heardSoFar(run), unmuted) != std::string::npos; }))
        << "the chain's sparks did not come back";
    EXPECT_TRUE(waitUntil(60, [&] { return signCorner(screenPicture(run)) == signCorner(heard); }))
        << "the sign stayed";
    ASSERT_TRUE(pressAndSee(run, "m"));
    const std::size_t mutedAgain = heardSoFar(run).samples.size();
    ASSERT_TRUE(waitUntil(60, [&] { return recordedSeconds(run) > mutedAgain / 44100.0 + 1.5; }));
    // What was already mixed when the key came may still sound.
    EXPECT_EQ(loudSeconds(heardSoFar(run), mutedAgain + 44100 / 4, std::string::npos), 0);
    ASSERT_EQ(endWithEscape(run, 30).exitStatus, 0);

    GameRun again(sourceDir(), executablePath(), "1024x768x24", Desktop::xvfb, homeEnvironment(run.home));
    const std::string start = waitForStillPicture(again, 60);
    ASSERT_FALSE(start.empty());
    ASSERT_GT(recordedSeconds(again), 0.5);
    EXPECT_EQ(loudSeconds(heardSoFar(again), 0, std::string::npos), 0) << "the start-up sparks were heard";
    EXPECT_TRUE(signCorner(start) == signCorner(muted)) << "no sign at the start";
    EXPECT_EQ(endWithEscape(again, 30).exitStatus, 0);
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A click has turned a tube (its lightning shows) and all has come to rest.
bool turnedAndStill(const GameRun& run) {
    return waitUntil(120, [&] { return lightningPixels(screenPicture(run)) > 0; }) &&
           !waitForStillPicture(run, 120).empty();
}

// The rows of the stage where the score and the best are written.
std::string scoreBand(const std::string& picture) { return picture.substr(0, 125 * 1024 * 3); }

// A chain set off and banked with the mouse, then the same with the keys:
// the arrows walk the pointer from tube to tube as the player sees them,
// Space clicks. The best is kept as the first game banks it, and is there
// when the second game starts.
TEST(ClickEndToEnd, TheKeysPlayAsTheMouseDoesAndTheBestOutlivesTheGame) {
    const ChainPlan plan = planChainAndQuietClick(4, 40);
    ASSERT_NE(plan.quietTube, 0) << "no short chain on the start-up board";
    char homeTemplate[] = "/tmp/tubechain-home-XXXXXX";
    const fs::path home = mkdtemp(homeTemplate);
    const fs::path best = home / ".local/share/tubechain/best.txt";
    const std::vector<std::string> environment = homeEnvironment(home);

    std::string played;
    {
        GameRun run(sourceDir(), executablePath(), "1024x768x24", Desktop::xvfb, environment);
        ASSERT_FALSE(parkPointer(run).empty());
        const FramePixel chain = framePixelOverTube(plan.chainTube), quiet = framePixelOverTube(plan.quietTube);
        ASSERT_TRUE(
            movePointerBy(run, static_cast<int>(std::lround(chain.x)) - 1, static_cast<int>(std::lround(chain.y)) - 1));
        for (const int click : {0, 1}) {
            ASSERT_FALSE(waitForStillPicture(run, 120).empty());
            xdotool(run, "click 1");
            ASSERT_TRUE(turnedAndStill(run));
            if (click == 0) {
                ASSERT_TRUE(movePointerBy(run, static_cast<int>(std::lround(quiet.x) - std::lround(chain.x)),
                                          static_cast<int>(std::lround(quiet.y) - std::lround(chain.y))));
            }
        }
        played = parkPointer(run);
        EXPECT_EQ(endWithEscape(run, 30).exitStatus, 0);
    }
    ASSERT_FALSE(played.empty());
    EXPECT_NE(fileText(best).find("\nbest=" + std::to_string(plan.chainScore) + "\n"), std::string::npos);

    GameRun run(sourceDir(), executablePath(), "1024x768x24", Desktop::xvfb, environment);
    const std::string start = parkPointer(run);
    ASSERT_FALSE(start.empty());
    EXPECT_TRUE(scoreBand(start) == scoreBand(played)) << "the best did not come back";
    // From the pointer parked in the corner the first arrow starts at the
    // board's far left corner, row 15, column 1.
    const auto walk = [&](int fromRow, int fromColumn, int row, int column) {
        for (; fromColumn < column; ++fromColumn) ASSERT_TRUE(pressAndSee(run, "Right"));
        for (; fromColumn > column; --fromColumn) ASSERT_TRUE(pressAndSee(run, "Left"));
        for (; fromRow < row; ++fromRow) ASSERT_TRUE(pressAndSee(run, "w"));
        for (; fromRow > row; --fromRow) ASSERT_TRUE(pressAndSee(run, "Down"));
    };
    const auto row = [](int tube) { return (tube - 1) / boardSide + 1; };
    const auto column = [](int tube) { return (tube - 1) % boardSide + 1; };
    walk(boardSide, 1, row(plan.chainTube), column(plan.chainTube));
    xdotool(run, "key space");
    ASSERT_TRUE(turnedAndStill(run));
    walk(row(plan.chainTube), column(plan.chainTube), row(plan.quietTube), column(plan.quietTube));
    xdotool(run, "key space");
    ASSERT_TRUE(turnedAndStill(run));
    EXPECT_TRUE(parkPointer(run) == played) << "the keys played another game than the mouse";
    EXPECT_EQ(endWithEscape(run, 30).exitStatus, 0);
    fs::remove_all(home);
}

}  // namespace
