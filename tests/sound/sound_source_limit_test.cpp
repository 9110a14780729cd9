// A device that allows fewer sources than the bank's fourteen: set-up fails
// at the sources, after deleting the buffers it made, and closes the device.
#include <AL/alc.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "sound/sound_bank.h"
#include "sound/sound_files.h"

namespace {

TEST(SoundWithTooFewSources, SetUpFailsAtTheSourcesAndLeavesNoBufferBehind) {
    // Read at OpenAL's first call in the process: a silent device with room
    // for 13 sources, and warnings on standard error, which is caught in a
    // file for the length of the set-up.
    char configPath[64];
    std::snprintf(configPath, sizeof configPath, "/tmp/tubechain-sources-%d.conf", int(getpid()));
    std::ofstream(configPath) << "[general]\ndrivers=null\nsources=13\n";
    setenv("ALSOFT_CONF", configPath, 1);
    setenv("ALSOFT_LOGLEVEL", "2", 1);
    soundtest::SoundFolder folder;

    std::fflush(stderr);
    const int savedError = dup(STDERR_FILENO);
    std::FILE* caught = std::tmpfile();
    dup2(fileno(caught), STDERR_FILENO);
    SoundBank bank;
    const SoundSetUpFailure failure = setUpSoundBank(bank);
    dup2(savedError, STDERR_FILENO);
    close(savedError);
    unlink(configPath);

    EXPECT_EQ(failure, SoundSetUpFailure::sources);
    EXPECT_STREQ(soundFailureMessage(failure), "Failed to generate sources!");
    EXPECT_EQ(bank.buffers, nullptr);
    EXPECT_EQ(bank.sources, nullptr);
    EXPECT_EQ(alcGetCurrentContext(), nullptr);

    std::string warnings;
    std::rewind(caught);
    char chunk[512];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, caught)) > 0) warnings.append(chunk, count);
    std::fclose(caught);
    // OpenAL names the limit it refused, and had no buffer left to delete.
    EXPECT_NE(warnings.find("Exceeding 13 source limit"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("Deleted"), std::string::npos) << warnings;
}

}  // namespace
