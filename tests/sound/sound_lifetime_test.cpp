// The bank's life: set up, used and released twice in one process, and failed
// set-ups that clean up after themselves, judged by OpenAL Soft's warning log.
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "game/board.h"
#include "sound/sound_bank.h"
#include "sound/sound_files.h"

namespace {

namespace fs = std::filesystem;
using soundtest::SoundFolder;

// OpenAL Soft reads its log level at its first call in the process, so
// every test asks for warnings before it touches OpenAL. They are written
// to standard error, unbuffered.
void askForWarnings() { setenv("ALSOFT_LOGLEVEL", "2", 1); }

// Catches what OpenAL writes on standard error while it lives; leftOvers
// gives the lines about sources or buffers that were still there when their
// context or device went away, and that OpenAL deleted itself. OpenAL Soft
// 1.19 says "Deleted 1 Buffer", 1.24 "1 Buffer not deleted".
struct WarningCatcher {
    WarningCatcher() {
        std::fflush(stderr);
        savedError = dup(STDERR_FILENO);
        file = std::tmpfile();
        dup2(fileno(file), STDERR_FILENO);
    }
    ~WarningCatcher() { leftOvers(); }
    std::string leftOvers() {
        if (file) {
            std::fflush(stderr);
            dup2(savedError, STDERR_FILENO);
            close(savedError);
            std::rewind(file);
            char chunk[512];
            size_t count;
            while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) caught.append(chunk, count);
            std::fclose(file);
            file = nullptr;
        }
        std::string found;
        std::istringstream lines(caught);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("Deleted ") != std::string::npos || line.find(" not deleted") != std::string::npos)
                found += line + "\n";
        }
        return found;
    }
    int savedError = -1;
    std::FILE* file = nullptr;
    std::string caught;
};

// A set-up that failed this way left no bank, no context and nothing that
// OpenAL had to delete itself.
void expectCleanFailure(SoundBank& bank, SoundSetUpFailure failure, const char* message, WarningCatcher& warnings) {
    EXPECT_EQ(setUpSoundBank(bank), failure);
    EXPECT_STREQ(soundFailureMessage(failure), message);
    EXPECT_EQ(bank.sources, nullptr);
    EXPECT_EQ(bank.buffers, nullptr);
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
    EXPECT_EQ(warnings.leftOvers(), "");
}

class SoundLifetimeTest : public testing::Test {
protected:
    void SetUp() override { askForWarnings(); }
};

TEST_F(SoundLifetimeTest, TheLogCatchesASourceAndABufferLeftBehind) {
    WarningCatcher warnings;
    alutInit(nullptr, nullptr);
    ALuint buffer = 0, source = 0;
    alGenBuffers(1, &buffer);
    alGenSources(1, &source);
    ASSERT_EQ(alGetError(), AL_NO_ERROR);
    alutExit();
    const std::string found = warnings.leftOvers();
    EXPECT_NE(found.find("1 Source"), std::string::npos) << found;
    EXPECT_NE(found.find("1 Buffer"), std::string::npos) << found;
}

// Another user of OpenAL has left 13 of the context's sources: the bank's own
// alutInit is refused and it works on that context, fails at the sources and
// deletes its buffers; only the other user's sources are left behind.
TEST_F(SoundLifetimeTest, TooFewSourcesLeftFailsAtTheSourcesAndLeavesNoBufferBehind) {
    WarningCatcher warnings;
    alutInit(nullptr, nullptr);
    std::vector<ALuint> taken;
    for (ALuint source = 0; taken.size() < 100000; taken.push_back(source)) {
        alGenSources(1, &source);
        if (alGetError() != AL_NO_ERROR) break;
    }
    ASSERT_GE(taken.size(), 16u) << "OpenAL offers fewer sources than the bank needs";
    alDeleteSources(13, taken.data() + taken.size() - 13);
    const std::size_t kept = taken.size() - 13;

    SoundBank bank;
    const SoundSetUpFailure failure = setUpSoundBank(bank);
    EXPECT_EQ(failure, SoundSetUpFailure::sources);
    EXPECT_STREQ(soundFailureMessage(failure), "Failed to generate sources!");
    EXPECT_EQ(bank.buffers, nullptr);
    EXPECT_EQ(bank.sources, nullptr);
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
    const std::string found = warnings.leftOvers();
    EXPECT_NE(found.find(std::to_string(kept) + " Source"), std::string::npos) << found;
    EXPECT_EQ(found.find("Buffer"), std::string::npos) << found;
}

TEST_F(SoundLifetimeTest, SetUpUseAndReleaseTwiceInOneProcessLeavesNothingBehind) {
    SoundFolder folder;
    Board board;
    createBoard(board);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        WarningCatcher warnings;
        SoundBank bank;
        ASSERT_EQ(setUpSoundBank(bank), SoundSetUpFailure::none);
        // The second bank starts afresh: a new device with the whole bank.
        EXPECT_EQ(bank.electricityPairCursor, 0);
        EXPECT_EQ(bank.cervoPan, 0);
        for (int slot = 0; slot <= lastSoundSlot; ++slot) {
            EXPECT_TRUE(alIsSource(bank.sources[slot])) << slot;
            EXPECT_TRUE(alIsBuffer(bank.buffers[slot])) << slot;
        }
        updateListener();
        playVoiceAt(bank, clickVoice, board[1].position);
        playNextElectricityPair(bank, board[2].position);
        playCervoVoice(bank);
        ALint state = 0;
        alGetSourcei(bank.sources[clickVoice], AL_SOURCE_STATE, &state);
        EXPECT_EQ(state, AL_PLAYING);
        EXPECT_EQ(alGetError(), AL_NO_ERROR);

        // Released while voices still sound, and with an OpenAL error
        // pending that nobody asked about.
        alSourcef(0, AL_GAIN, 1);
        releaseSoundBank(bank);
        EXPECT_EQ(bank.sources, nullptr);
        EXPECT_EQ(bank.buffers, nullptr);
        EXPECT_EQ(warnings.leftOvers(), "");
        // The device is closed: there is no context any more.
        EXPECT_EQ(alcGetCurrentContext(), nullptr);
    }
    freeBoard(board);
}

// A load failure part-way through the slots, with the earlier slots'
// buffers attached to their sources: nothing of the bank is left, and the
// next set-up works.
TEST_F(SoundLifetimeTest, AMissingEmptyOrUnreadableFileIsALoadFailureThatCleansUpAfterItself) {
    SoundFolder folder;
    const fs::path click = folder.folder / "SFX" / "Click.wav";
    const fs::path cervo = folder.folder / "SFX" / "Cervo.wav";
    const fs::path saved = folder.folder / "saved.wav";
    fs::copy_file(click, saved);
    struct Case {
        const char* what;
        void (*spoil)(const fs::path& file);
    };
    const Case cases[] = {
        {"missing", [](const fs::path& file) { fs::remove(file); }},
        {"text", [](const fs::path& file) { std::ofstream(file) << "This is not a sound at all, only text.\n"; }},
        {"no samples", [](const fs::path& file) { soundtest::writeMonoWav(file, soundtest::voiceRate, {}); }},
        {"cut off after the header", [](const fs::path& file) { std::ofstream(file) << "RIFF\x24"; }},
    };
    for (const Case& spoiled : cases) {
        for (const fs::path& file : {click, cervo}) {
            SCOPED_TRACE(std::string(spoiled.what) + " " + file.filename().string());
            spoiled.spoil(file);
            WarningCatcher warnings;
            SoundBank bank;
            expectCleanFailure(bank, SoundSetUpFailure::load, "Error: Failed to load WAV data!", warnings);
            releaseSoundBank(bank);  // nothing left to release: harmless
            fs::remove(file);
            fs::copy_file(saved, file);
        }
    }
    SoundBank bank;
    EXPECT_EQ(setUpSoundBank(bank), SoundSetUpFailure::none);
    releaseSoundBank(bank);
}

// Samples that OpenAL will not take (half a 16-bit sample at the end) are a
// bind failure, cleaned up like a load failure.
TEST_F(SoundLifetimeTest, SamplesThatOpenALRefusesAreABindFailureThatCleansUpAfterItself) {
    SoundFolder folder;
    {
        // One sample and one byte more, counted in both sizes.
        const fs::path cervo = folder.folder / "SFX" / "Cervo.wav";
        soundtest::writeMonoWav(cervo, soundtest::voiceRate, {1000});
        std::string bytes;
        {
            std::ifstream in(cervo, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        bytes.push_back(7);
        bytes[4] = static_cast<char>(bytes[4] + 1);
        bytes[40] = static_cast<char>(bytes[40] + 1);
        std::ofstream(cervo, std::ios::binary) << bytes;
    }
    WarningCatcher warnings;
    SoundBank bank;
    expectCleanFailure(bank, SoundSetUpFailure::bind, "Error: Failed to bind audio buffer to source!", warnings);
}

}  // namespace
