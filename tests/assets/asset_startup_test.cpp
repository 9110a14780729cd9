// The real executable, started in a copy of the game's data with one file
// missing or broken: start-up stops with its one-line message and status 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

ProcessResult runGameIn(const DataCopy& data) {
    return runProcess({executablePath().string()}, data.folder, {"ALSOFT_DRIVERS=null"}, 30);
}

TEST(AssetStartUp, WithTheCursorImageMissingItSaysSoOnceAndEndsWithStatus1) {
    DataCopy data;
    fs::remove(data.folder / "Texture/Cursor.tga");
    const ProcessResult result = runGameIn(data);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed to load image!!!\n"), 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed to load model!"), 0) << result.output;
}

TEST(AssetStartUp, WithABrokenTubeModelItSaysSoAndEndsWithStatus1) {
    DataCopy data;
    const fs::path tube = data.folder / "Model/Tube.OBJ";
    std::stringstream whole;
    whole << std::ifstream(tube, std::ios::binary).rdbuf();
    // Cut off in the middle: fewer vertex or face lines than the counts say.
    const std::string text = whole.str();
    ASSERT_GT(text.size(), 1000u);
    std::ofstream(tube, std::ios::binary | std::ios::trunc) << text.substr(0, text.size() / 2);
    const ProcessResult result = runGameIn(data);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed to load model!\n"), 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed to load image!!!"), 0) << result.output;
}

TEST(AssetStartUp, WithTheStageModelMissingItSaysSoAndEndsWithStatus1) {
    DataCopy data;
    fs::remove(data.folder / "Model/Stage.OBJ");
    const ProcessResult result = runGameIn(data);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed to load model!\n"), 1) << result.output;
}

}  // namespace
