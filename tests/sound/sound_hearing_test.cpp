// Listening to the bank through OpenAL Soft's wave driver: the recorded stereo
// output checks the voices' positions and the listener's orientation together.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "game/board.h"
#include "sound/sound_bank.h"
#include "sound/sound_files.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using soundtest::Recording;
using soundtest::rootMeanSquare;
using soundtest::SoundFolder;

// OpenAL Soft reads its configuration at its first call in the process:
// every test points it at the wave driver before it touches OpenAL. Each
// device opened truncates the file and starts recording anew.
char configPath[128];
const fs::path& recordingFile() {
    static const fs::path path = [] {
        const std::string stem = "/tmp/tubechain-hearing-" + std::to_string(getpid());
        std::snprintf(configPath, sizeof configPath, "%s.conf", stem.c_str());
        std::atexit([] { unlink(configPath); });
        const fs::path config = configPath;
        const fs::path recording = stem + ".wav";
        std::ofstream(config) << "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\nfrequency=44100\n"
                                 "hrtf=false\ndither=false\n[wave]\nfile="
                              << recording.string() << "\n";
        setenv("ALSOFT_CONF", config.c_str(), 1);
        setenv("ALSOFT_DRIVERS", "wave", 1);
        return recording;
    }();
    return path;
}

// The device writes its mix as it goes: waits until the recording holds at
// least that many samples, and returns how many it holds.
size_t waitForSamples(size_t count) {
    size_t written = 0;
    waitUntil(30, [&] { return (written = soundtest::readRecording(recordingFile()).left.size()) >= count; });
    return written;
}

class HearingTest : public testing::Test {
protected:
    void SetUp() override {
        recordingFile();
        createBoard(board);
    }
    void TearDown() override {
        freeBoard(board);
        std::error_code ignored;
        fs::remove(recordingFile(), ignored);
    }

    // Sets the bank up, lets the device write a quarter of a second of
    // silence, plays the voice at the position (unless null) and lets 0.7 s
    // more be written. Every sample written before the voice was played
    // (quietSamples) was mixed before it.
    Recording record(int slot, const float* position) {
        SoundBank bank;
        EXPECT_EQ(setUpSoundBank(bank), SoundSetUpFailure::none);
        updateListener();
        quietSamples = waitForSamples(rate / 4);
        if (position) playVoiceAt(bank, slot, position);
        waitForSamples(quietSamples + rate * 7 / 10);
        releaseSoundBank(bank);
        return soundtest::readRecording(recordingFile());
    }

    // The recording's loudness on each side from the first sound on.
    static void sideLoudness(const Recording& recording, double& left, double& right) {
        size_t start = 0;
        while (start < recording.left.size() && std::abs(recording.left[start]) < 1e-4f &&
               std::abs(recording.right[start]) < 1e-4f)
            ++start;
        left = rootMeanSquare(recording.left, start, recording.left.size());
        right = rootMeanSquare(recording.right, start, recording.right.size());
    }

    static constexpr size_t rate = 44100;  // the recording's samples per second
    size_t quietSamples = 0;
    SoundFolder folder;
    Board board;
};

TEST_F(HearingTest, NothingIsHeardBeforeAVoiceIsPlayed) {
    const Recording idle = record(clickVoice, nullptr);
    ASSERT_EQ(idle.channels, 2);
    ASSERT_EQ(size_t(idle.rate), rate);
    ASSERT_GE(idle.left.size(), rate * 7 / 10);
    EXPECT_EQ(rootMeanSquare(idle.left, 0, idle.left.size()), 0);
    EXPECT_EQ(rootMeanSquare(idle.right, 0, idle.right.size()), 0);

    // Played: silent up to the moment of the play, sounding after it.
    const Recording played = record(clickVoice, board[113].position);
    ASSERT_EQ(played.channels, 2);
    ASSERT_GT(quietSamples, 0u);
    EXPECT_EQ(rootMeanSquare(played.left, 0, quietSamples), 0);
    EXPECT_EQ(rootMeanSquare(played.right, 0, quietSamples), 0);
    EXPECT_GT(rootMeanSquare(played.left, quietSamples, played.left.size()), 0.01);
    EXPECT_GT(rootMeanSquare(played.right, quietSamples, played.right.size()), 0.01);
}

TEST_F(HearingTest, TheClickAtTheLeftEndOfTheFrontRowIsHeardOnTheLeftAtTheRightEndOnTheRight) {
    ASSERT_EQ(board[1].position[0], -7);
    ASSERT_EQ(board[15].position[0], 7);
    for (int tube : {1, 15}) {
        SCOPED_TRACE(tube);
        const Recording recording = record(clickVoice, board[tube].position);
        ASSERT_EQ(recording.channels, 2);
        double left = 0, right = 0;
        sideLoudness(recording, left, right);
        const double near = tube == 1 ? left : right, far = tube == 1 ? right : left;
        EXPECT_GT(near, 0.01);
        EXPECT_GT(near, 1.5 * far) << "left " << left << " right " << right;
    }
}

TEST_F(HearingTest, TheFirstCervoVoiceIsHeardOnTheListenersRight) {
    SoundBank bank;
    ASSERT_EQ(setUpSoundBank(bank), SoundSetUpFailure::none);
    updateListener();
    playCervoVoice(bank);
    waitForSamples(rate * 7 / 10);
    releaseSoundBank(bank);
    const Recording recording = soundtest::readRecording(recordingFile());
    ASSERT_EQ(recording.channels, 2);
    double left = 0, right = 0;
    sideLoudness(recording, left, right);
    EXPECT_GT(right, 0.01);
    EXPECT_GT(right, 1.5 * left) << "left " << left << " right " << right;
}

}  // namespace
