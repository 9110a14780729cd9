// With no sound device at all (no driver that OpenAL Soft can open), the
// bank cannot make its buffers; it says which failure that was and leaves
// nothing open.
#include <AL/alc.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "sound/sound_bank.h"
#include "sound/sound_files.h"

namespace {

TEST(SoundWithoutADevice, SetUpFailsAtTheBuffersEveryTimeAndLeavesNothingOpen) {
    // Read at OpenAL's first call in the process.
    setenv("ALSOFT_DRIVERS", "no-such-driver", 1);
    soundtest::SoundFolder folder;
    for (int attempt = 0; attempt < 2; ++attempt) {
        SoundBank bank;
        EXPECT_EQ(setUpSoundBank(bank), SoundSetUpFailure::buffers);
        EXPECT_STREQ(soundFailureMessage(SoundSetUpFailure::buffers), "Failed to generate buffers!");
        EXPECT_EQ(bank.buffers, nullptr);
        EXPECT_EQ(bank.sources, nullptr);
        EXPECT_EQ(alcGetCurrentContext(), nullptr);
        releaseSoundBank(bank);
    }
}

}  // namespace
