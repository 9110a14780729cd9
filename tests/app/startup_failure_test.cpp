// Every data file the game opens, missing or broken in turn, and a missing
// sound device: the real executable stops at start-up with the one-line
// message, exactly once, ends with status 1 and leaves nothing running.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

struct DataFile {
    const char* path;
    const char* message;
};

constexpr DataFile dataFiles[] = {
    {"Texture/Font.tga", "Failed to load image!!!"},
    {"Texture/Tube.tga", "Failed to load image!!!"},
    {"Texture/Ends.tga", "Failed to load image!!!"},
    {"Texture/Background.tga", "Failed to load image!!!"},
    {"Texture/Cursor.tga", "Failed to load image!!!"},
    {"Texture/Lightning.tga", "Failed to load image!!!"},
    {"Model/Tube.OBJ", "Failed to load model!"},
    {"Model/Tube2.OBJ", "Failed to load model!"},
    {"Model/Stage.OBJ", "Failed to load model!"},
    {"SFX/Electricity.wav", "Error: Failed to load WAV data!"},
    {"SFX/Electricity2.wav", "Error: Failed to load WAV data!"},
    {"SFX/Click.wav", "Error: Failed to load WAV data!"},
    {"SFX/Cervo.wav", "Error: Failed to load WAV data!"},
    {"SFX/Activate.wav", "Error: Failed to load WAV data!"},
};

enum class Spoil { missing, text, halved };

void spoil(const fs::path& file, Spoil how) {
    if (how == Spoil::missing) {
        fs::remove(file);
    } else if (how == Spoil::text) {
        std::ofstream(file, std::ios::trunc) << "This is not what the game expects here.\n";
    } else {
        fs::resize_file(file, fs::file_size(file) / 2);
    }
}

void expectStartUpStops(const fs::path& folder, const std::string& soundDriver, const std::string& message) {
    SpawnedProcess game = spawnProcess({executablePath().string()}, folder, {"ALSOFT_DRIVERS=" + soundDriver});
    const ProcessResult result = finishProcess(game, 30);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1) << result.output;
    EXPECT_EQ(occurrences(result.output, message + "\n"), 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed"), 1) << "one failure message only:\n" << result.output;
    // Nothing of the game's process group is left behind.
    EXPECT_EQ(kill(-game.pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

void expectStartUpStops(const DataFile& data, Spoil how) {
    DataCopy copy;
    spoil(copy.folder / data.path, how);
    expectStartUpStops(copy.folder, "null", data.message);
}

TEST(StartUpFailure, EachDataFileMissingStopsTheGameWithItsMessage) {
    for (const DataFile& data : dataFiles) {
        SCOPED_TRACE(data.path);
        expectStartUpStops(data, Spoil::missing);
    }
}

TEST(StartUpFailure, EachDataFileReplacedByTextStopsTheGameWithItsMessage) {
    for (const DataFile& data : dataFiles) {
        SCOPED_TRACE(data.path);
        expectStartUpStops(data, Spoil::text);
    }
}

TEST(StartUpFailure, EachModelOrImageCutInHalfStopsTheGameWithItsMessage) {
    for (const DataFile& data : dataFiles) {
        if (std::string(data.path).starts_with("SFX/")) continue;
        SCOPED_TRACE(data.path);
        expectStartUpStops(data, Spoil::halved);
    }
}

TEST(StartUpFailure, WithNoSoundDeviceTheBuffersCannotBeMade) {
    DataCopy copy;
    expectStartUpStops(copy.folder, "no-such-driver", "Failed to generate buffers!");
}

}  // namespace
