// The best score and the settings kept between runs, in real files in
// folders of the test's own: what the files say, broken files set aside, a
// read-only folder, and several games keeping their best at once.
#include "app/keep.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(KeptText, WhatTheGameWritesItReadsBackAndWhatMakesNoSenseItRefuses) {
    std::int32_t best = -1;
    for (const std::int32_t value : {0, 366, INT32_MAX})
        EXPECT_TRUE(readBestText(bestText(value), best) && best == value);
    // Edited by hand: comments, blank lines, Windows line ends, spaces, names the game does not know.
    EXPECT_TRUE(readBestText("\r\n# mine\r\n  best = 42 \r\nplayer=Ann\r\n", best) && best == 42);
    for (const std::string& text : std::vector<std::string>{
             "", "# a comment only\n", "best=\n", "best=-1\n", "best=+5\n", "best=12x\n", "best=2147483648\n",
             "best 12\n", "best=0x10\n", "best=12\nwhat\n", std::string(largestKeptFile, '#') + "\nbest=1\n"}) {
        EXPECT_FALSE(readBestText(text, best)) << text.substr(0, 40);
        EXPECT_EQ(best, 42) << "changed by a text that makes no sense";
    }

    // A window on Wayland, which tells no position; what a file does not say keeps its default.
    Settings written{false, true, {0, 0, 900, 675, false}}, read, fresh;
    EXPECT_TRUE(readSettingsText(settingsText(written), read) && settingsText(read) == settingsText(written));
    EXPECT_TRUE(readSettingsText("muted=yes\n", fresh) && fresh.fullScreen && fresh.muted && fresh.window.width == 0);
    for (const char* text : {"full-screen=maybe\n", "muted=1\n", "window-width=800\n", "window-x=left\n",
                             "window-width=99999999\nwindow-height=600\n", "full-screen\n"}) {
        Settings untouched;
        EXPECT_FALSE(readSettingsText(text, untouched)) << text;
        EXPECT_EQ(settingsText(untouched), settingsText(Settings())) << text;
    }
}

// XDG folders of the test's own.
struct KeptFolders : ::testing::Test {
    void SetUp() override {
        char folderTemplate[] = "/tmp/tubechain-kept-XXXXXX";
        root = mkdtemp(folderTemplate);
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        best = root / "data/tubechain/best.txt";
        settings = root / "config/tubechain/settings.ini";
    }
    void TearDown() override { fs::remove_all(root); }
    static void put(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    // A game's start: the best it reads.
    static std::int32_t start(Keeping& keeping) {
        std::int32_t kept = 0;
        Settings chosen;
        loadKept(keeping, kept, chosen);
        return kept;
    }
    fs::path root, best, settings;
};

TEST_F(KeptFolders, NothingIsWrittenUntilThereIsSomethingToKeepAndABrokenFileIsSetAsideNeverOverwritten) {
    Keeping keeping;
    EXPECT_EQ(start(keeping), 0);
    keepBest(keeping, 0);
    keepSettings(keeping, Settings());
    EXPECT_FALSE(fs::exists(root / "data") || fs::exists(root / "config")) << "nothing to keep was kept";
    keepBest(keeping, 12);
    EXPECT_EQ(contents(best), bestText(12));
    EXPECT_EQ(fs::status(best.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);

    // Each kind of broken file goes aside under the next free name, and the game starts without it.
    const std::function<void()> broken[] = {
        [&] { put(best, "best=eleven\n"); }, [&] { put(best, ""); }, [&] { put(best, std::string(1 << 20, '7')); },
        [&] { fs::create_directories(best / "inside"); }, [&] { ASSERT_EQ(mkfifo(best.c_str(), 0600), 0); }};
    for (int n = 1; n <= 5; ++n) {
        fs::remove(best);
        broken[n - 1]();
        const std::string before = fs::is_regular_file(best) ? contents(best) : "";
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(start(keeping), 0) << n;
        const std::string said = ::testing::internal::GetCapturedStdout();
        const fs::path aside = best.string() + (n == 1 ? ".bad" : ".bad-" + std::to_string(n));
        EXPECT_FALSE(fs::exists(fs::symlink_status(best))) << n;
        EXPECT_TRUE(fs::exists(fs::symlink_status(aside))) << n;
        if (fs::is_regular_file(aside)) {
            EXPECT_EQ(contents(aside), before) << n;
        }
        EXPECT_NE(said.find(best.string()), std::string::npos) << said;
        EXPECT_NE(said.find("it is kept as " + aside.string()), std::string::npos) << said;
        keepBest(keeping, 3);
        EXPECT_EQ(contents(best), bestText(3)) << n;
    }
    put(settings, "full-screen=perhaps\n");
    ::testing::internal::CaptureStdout();
    start(keeping);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(contents(settings.string() + ".bad"), "full-screen=perhaps\n");
}

// A game whose kept folders it may not write starts, and keeps a higher
// best and other settings. Root writes anywhere, so there the game runs as
// nobody (a read-only mount cannot be made in every container or chroot).
// Ends with the best it read.
int playInReadOnlyFolders(const fs::path& root) {
    for (const char* folder : {"", "data", "config"}) chmod((root / folder).c_str(), 0755);
    for (const char* folder : {"data/tubechain", "config/tubechain"}) chmod((root / folder).c_str(), 0555);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0 || access(root.c_str(), X_OK) != 0))
            _exit(200);
        Keeping keeping;
        std::int32_t kept = 0;
        Settings chosen;
        loadKept(keeping, kept, chosen);
        keepBest(keeping, kept + 100);
        keepBest(keeping, kept + 200);
        chosen.muted = !chosen.muted;
        keepSettings(keeping, chosen);
        std::fflush(stdout);
        _exit(kept);
    }
    int status = 0;
    waitpid(child, &status, 0);
    for (const char* folder : {"data/tubechain", "config/tubechain"}) chmod((root / folder).c_str(), 0700);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(KeptFolders, AReadOnlyFolderCostsNothingButTheKeeping) {
    put(best, bestText(42));
    put(settings, settingsText(Settings()));
    ::testing::internal::CaptureStdout();
    const int read = playInReadOnlyFolders(root);
    const std::string said = ::testing::internal::GetCapturedStdout();
    ASSERT_NE(read, 200) << "the game could not be run as nobody, or nobody cannot reach " << root;
    EXPECT_EQ(read, 42) << "the best was not read";
    EXPECT_EQ(contents(best), bestText(42));
    EXPECT_EQ(contents(settings), settingsText(Settings()));
    // Said once for each file, not at every higher best.
    EXPECT_EQ(said, "Tubechain: the best score cannot be written to " + best.string() +
                        ": it is not kept.\nTubechain: the settings cannot be written to " + settings.string() +
                        ": they are not kept.\n");
    // A broken file that cannot even be renamed is left as it is.
    put(best, "not a best\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(playInReadOnlyFolders(root), 0);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("cannot be renamed"), std::string::npos);
    EXPECT_EQ(contents(best), "not a best\n");
}

TEST_F(KeptFolders, GamesKeepingTheirBestAtOnceNeverLoseAHigherOneNorLeaveAHalfWrittenFile) {
    // Four games bank bests in turn, game g banking g + 1, g + 5, ...,
    // each reading the others' files as it starts and as it keeps.
    constexpr int games = 4, bests = 100;
    std::vector<pid_t> children;
    for (int game = 0; game < games; ++game) {
        const pid_t child = fork();
        if (child == 0) {
            Keeping keeping;
            start(keeping);
            for (int n = 0; n < bests; ++n) keepBest(keeping, 1 + game + games * n);
            _exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(contents(best), bestText(games * bests));
    for (const auto& entry : fs::directory_iterator(best.parent_path()))
        EXPECT_EQ(entry.path(), best) << "a file set aside or left half written";
}

}  // namespace
