// The sound bank on a real OpenAL device (the silent null driver): what
// set-up makes, where each play call puts its voice, and the listener.
#include "sound/sound_bank.h"

#include <AL/al.h>
#include <gtest/gtest.h>

#include <set>

#include "game/board.h"
#include "sound/sound_files.h"
#include "support/test_support.h"

namespace {

using soundtest::SoundFolder;

struct Position {
    float x, y, z;
};

Position sourcePosition(const SoundBank& bank, int slot) {
    Position position{};
    alGetSource3f(bank.sources[slot], AL_POSITION, &position.x, &position.y, &position.z);
    return position;
}

ALint sourceInt(ALuint source, ALenum parameter) {
    ALint value = -1;
    alGetSourcei(source, parameter, &value);
    return value;
}
ALfloat sourceFloat(ALuint source, ALenum parameter) {
    ALfloat value = -1;
    alGetSourcef(source, parameter, &value);
    return value;
}
ALint sourceState(const SoundBank& bank, int slot) { return sourceInt(bank.sources[slot], AL_SOURCE_STATE); }

bool samePosition(Position a, const float b[3]) { return a.x == b[0] && a.y == b[1] && a.z == b[2]; }

// A bank set up from the test's own voice files, and a board for positions;
// both released at the end.
class SoundBankTest : public testing::Test {
protected:
    void SetUp() override {
        createBoard(board);
        ASSERT_EQ(setUpSoundBank(bank), SoundSetUpFailure::none);
        ASSERT_NE(bank.sources, nullptr);
        ASSERT_NE(bank.buffers, nullptr);
    }
    void TearDown() override {
        releaseSoundBank(bank);
        freeBoard(board);
    }
    SoundFolder folder;
    SoundBank bank;
    Board board;
};

TEST_F(SoundBankTest, FourteenSourcesEachWithItsOwnBufferLoadedFromItsFile) {
    std::set<ALuint> sources, buffers;
    for (int slot = 0; slot <= lastSoundSlot; ++slot) {
        SCOPED_TRACE(slot);
        const ALuint source = bank.sources[slot];
        const ALuint buffer = bank.buffers[slot];
        EXPECT_TRUE(alIsSource(source));
        EXPECT_TRUE(alIsBuffer(buffer));
        sources.insert(source);
        buffers.insert(buffer);

        EXPECT_EQ(static_cast<ALuint>(sourceInt(source, AL_BUFFER)), buffer);
        // Heard nearly as loud far off as near, and never looping.
        EXPECT_EQ(sourceFloat(source, AL_ROLLOFF_FACTOR), 0.01f);
        EXPECT_EQ(sourceInt(source, AL_LOOPING), AL_FALSE);

        // The buffer holds its file's samples, as they are in the file.
        ALint size = 0, frequency = 0, channels = 0, bits = 0;
        alGetBufferi(buffer, AL_SIZE, &size);
        alGetBufferi(buffer, AL_FREQUENCY, &frequency);
        alGetBufferi(buffer, AL_CHANNELS, &channels);
        alGetBufferi(buffer, AL_BITS, &bits);
        const std::string file = soundSlotFile(slot);
        EXPECT_EQ(size, 2 * soundtest::voiceSampleCount(file.substr(4).c_str())) << file;
        EXPECT_EQ(frequency, soundtest::voiceRate);
        EXPECT_EQ(channels, 1);
        EXPECT_EQ(bits, 16);

        // Nothing sounds until it is played.
        EXPECT_EQ(sourceState(bank, slot), AL_INITIAL);
    }
    EXPECT_EQ(sources.size(), 14u);
    EXPECT_EQ(buffers.size(), 14u);
    EXPECT_EQ(alGetError(), AL_NO_ERROR);

    EXPECT_STREQ(soundSlotFile(0), "SFX/Electricity.wav");
    EXPECT_STREQ(soundSlotFile(5), "SFX/Electricity.wav");
    EXPECT_STREQ(soundSlotFile(6), "SFX/Electricity2.wav");
    EXPECT_STREQ(soundSlotFile(10), "SFX/Electricity2.wav");
    EXPECT_STREQ(soundSlotFile(clickVoice), "SFX/Click.wav");
    EXPECT_STREQ(soundSlotFile(cervoVoice), "SFX/Cervo.wav");
    EXPECT_STREQ(soundSlotFile(activateVoice), "SFX/Activate.wav");
}

TEST_F(SoundBankTest, ListenerStandsAtTheEyeFacingTheCentrePointAsGivenUpIsY) {
    // Somewhere else first, so that only updateListener can put it right.
    alListener3f(AL_POSITION, 3, 4, 5);
    const float wrongOrientation[6] = {1, 0, 0, 0, 0, 1};
    alListenerfv(AL_ORIENTATION, wrongOrientation);
    alListener3f(AL_VELOCITY, 2, 2, 2);

    updateListener();
    float position[3] = {}, orientation[6] = {}, velocity[3] = {-1, -1, -1};
    alGetListenerfv(AL_POSITION, position);
    alGetListenerfv(AL_ORIENTATION, orientation);
    alGetListenerfv(AL_VELOCITY, velocity);
    const float eye[3] = {0, 14, 5};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(position[i], eye[i]) << i;
    const float expectedOrientation[6] = {0, -3, -10, 0, 1, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(orientation[i], expectedOrientation[i]) << i;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(velocity[i], 0) << i;
}

// The pair cursor and the Cervo pan.

TEST_F(SoundBankTest, PairsRunOneToFiveAndRoundAgainEachOnSlotsRAndRPlus5) {
    EXPECT_EQ(bank.electricityPairCursor, 0);
    const int expectedPairs[7] = {1, 2, 3, 4, 5, 1, 2};
    for (int call = 0; call < 7; ++call) {
        SCOPED_TRACE(call);
        const float position[3] = {float(call) - 3, 0, -float(call)};
        playNextElectricityPair(bank, position);
        const int pair = expectedPairs[call];
        EXPECT_EQ(bank.electricityPairCursor, pair);
        // Exactly the pair's two voices stand at this call's position.
        for (int slot = 0; slot <= lastSoundSlot; ++slot) {
            const bool inPair = slot == pair || slot == pair + electricityPairCount;
            EXPECT_EQ(samePosition(sourcePosition(bank, slot), position), inPair) << "slot " << slot;
        }
        EXPECT_EQ(sourceState(bank, pair), AL_PLAYING);
        EXPECT_EQ(sourceState(bank, pair + electricityPairCount), AL_PLAYING);
    }
    // Slot 0 is never part of a pair, nor are the single voices.
    for (int slot : {0, clickVoice, cervoVoice, activateVoice}) EXPECT_EQ(sourceState(bank, slot), AL_INITIAL);
}

TEST_F(SoundBankTest, AFullBoardOfPairsInOneFrameEndsOnItsStartPairWithTheVoicesOnTheLastFiveTubes) {
    for (int before : {0, 5, 3}) {
        SCOPED_TRACE(before);
        bank.electricityPairCursor = before;
        for (int tube = 1; tube <= tubeCount; ++tube) playNextElectricityPair(bank, board[tube].position);
        // From 0 (before the first pair) the board ends on pair 5.
        EXPECT_EQ(bank.electricityPairCursor, before == 0 ? 5 : before);

        std::set<int> tubesHeard;
        for (int pair = 1; pair <= electricityPairCount; ++pair) {
            const Position first = sourcePosition(bank, pair);
            const Position second = sourcePosition(bank, pair + electricityPairCount);
            int found = 0;
            for (int tube = tubeCount - 4; tube <= tubeCount; ++tube) {
                if (samePosition(first, board[tube].position)) found = tube;
            }
            EXPECT_NE(found, 0) << "pair " << pair << " is not on one of the last five tubes";
            if (found) {
                EXPECT_TRUE(samePosition(second, board[found].position)) << "pair " << pair;
            }
            tubesHeard.insert(found);
        }
        EXPECT_EQ(tubesHeard.size(), 5u);
    }
}

TEST_F(SoundBankTest, CervoVoiceGoesRightLeftCentreAndRightAgainBesideTheEye) {
    const float expectedX[5] = {1, -1, 0, 1, -1};
    for (int call = 0; call < 5; ++call) {
        playCervoVoice(bank);
        const Position position = sourcePosition(bank, cervoVoice);
        EXPECT_EQ(position.x, expectedX[call]) << "call " << call;
        EXPECT_EQ(position.y, 14);
        EXPECT_EQ(position.z, 5);
        EXPECT_EQ(bank.cervoPan, expectedX[call]);
        EXPECT_EQ(sourceState(bank, cervoVoice), AL_PLAYING);
    }
    // The Cervo voice moves no other voice.
    for (int slot = 0; slot <= lastSoundSlot; ++slot) {
        EXPECT_EQ(sourceState(bank, slot), slot == cervoVoice ? AL_PLAYING : AL_INITIAL) << slot;
    }
}

// Positions.

TEST_F(SoundBankTest, AVoicePlayedAtATubeStandsThereAndSounds) {
    for (int tube : {1, 15, 113, 211}) {
        playVoiceAt(bank, clickVoice, board[tube].position);
        EXPECT_TRUE(samePosition(sourcePosition(bank, clickVoice), board[tube].position)) << tube;
        EXPECT_EQ(sourceState(bank, clickVoice), AL_PLAYING);
    }
    const float eye[3] = {0, 14, 5};
    playVoiceAt(bank, activateVoice, eye);
    EXPECT_TRUE(samePosition(sourcePosition(bank, activateVoice), eye));
    // Slot 7 is the turn voice and the second voice of pair 2: the later call wins.
    playNextElectricityPair(bank, board[40].position);
    playNextElectricityPair(bank, board[41].position);
    playVoiceAt(bank, turnVoice, board[100].position);
    EXPECT_TRUE(samePosition(sourcePosition(bank, turnVoice), board[100].position));
    EXPECT_TRUE(samePosition(sourcePosition(bank, 2), board[41].position));
}

TEST_F(SoundBankTest, AVoicePlayedAgainWhileItSoundsRestartsFromItsBeginningAtTheNewPosition) {
    playVoiceAt(bank, cervoVoice, board[1].position);
    // Let the device mix a little of it.
    ALint before = 0;
    const bool advanced =
        waitUntil(30, [&] { return (before = sourceInt(bank.sources[cervoVoice], AL_SAMPLE_OFFSET)) >= 2000; });
    ASSERT_TRUE(advanced) << "the voice did not advance";
    ASSERT_EQ(sourceState(bank, cervoVoice), AL_PLAYING);

    playVoiceAt(bank, cervoVoice, board[225].position);
    EXPECT_LT(sourceInt(bank.sources[cervoVoice], AL_SAMPLE_OFFSET), before / 2);
    EXPECT_EQ(sourceState(bank, cervoVoice), AL_PLAYING);
    EXPECT_TRUE(samePosition(sourcePosition(bank, cervoVoice), board[225].position));
}

}  // namespace
