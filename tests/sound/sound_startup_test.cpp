// The sound bank inside the real game: what the executable prints and how
// it ends when there is no sound device, and what it plays when all is well.
// Missing and broken sound files are among the start-up failure tests.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "sound/sound_files.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(GameSoundStartUp, WithNoSoundDeviceItSaysTheBuffersFailedAndEndsWithStatus1) {
    DataCopy data;
    const ProcessResult result =
        runProcess({executablePath().string()}, data.folder, {"ALSOFT_DRIVERS=no-such-driver"}, 20);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed to generate buffers!\n"), 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed"), 1) << result.output;
}

// Recorded with the wave driver: the start-up shuffle sets every tube's
// electricity sounding in the first frame, so the game is heard at once.
TEST(GameSoundStartUp, TheGameIsHeardFromItsFirstFramesAndEndsWithStatus0) {
    DataCopy data;
    const fs::path recording = data.folder / "played.wav";
    const fs::path config = data.folder / "alsoft.conf";
    std::ofstream(config) << "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\ndither=false\n"
                             "[wave]\nfile="
                          << recording.string() << "\n";
    SpawnedProcess game = spawnProcess({executablePath().string()}, data.folder,
                                       {"ALSOFT_CONF=" + config.string(), "ALSOFT_DRIVERS=wave"});
    const std::string pid = std::to_string(game.pid);
    const std::string window = shellOutput("timeout 20 xdotool search --sync --pid " + pid + " | head -1");
    ASSERT_FALSE(window.empty()) << "no window appeared";
    shellOutput("xdotool windowfocus --sync " + window);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    shellOutput("xdotool keydown Escape; sleep 0.2; xdotool keyup Escape");
    const ProcessResult result = finishProcess(game, 10);
    ASSERT_FALSE(result.timedOut) << result.output;
    EXPECT_EQ(result.exitStatus, 0) << result.output;

    const soundtest::Recording played = soundtest::readRecording(recording);
    ASSERT_EQ(played.channels, 2);
    ASSERT_GT(played.left.size(), size_t(played.rate));
    EXPECT_GT(soundtest::rootMeanSquare(played.left, 0, played.left.size()), 0.001);
    EXPECT_GT(soundtest::rootMeanSquare(played.right, 0, played.right.size()), 0.001);
}

}  // namespace
