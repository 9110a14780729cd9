// The best score and the settings kept between runs, in real files in
// folders of the tests' own: what the files say, broken files set aside,
// a read-only folder, and several games keeping their best at once.
#include "app/keep.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
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

// A home of the test's own, whose XDG folders the game keeps its files in.
struct KeptFolders : ::testing::Test {
    void SetUp() override {
        char folderTemplate[] = "/tmp/tubechain-kept-XXXXXX";
        root = mkdtemp(folderTemplate);
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        best = root / "data/tubechain/best.txt";
        settings = root / "config/tubechain/settings.ini";
    }
    void TearDown() override {
        fs::permissions(root, fs::perms::owner_all);
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_directory()) fs::permissions(entry.path(), fs::perms::owner_all);
        fs::remove_all(root);
    }
    void put(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    fs::path root, best, settings;
};

TEST(KeptText, WhatTheGameWritesItReadsBackAndWhatMakesNoSenseItRefuses) {
    std::int32_t best = -1;
    for (const std::int32_t value : {0, 1, 366, INT32_MAX}) {
        ASSERT_TRUE(readBestText(bestText(value), best));
        EXPECT_EQ(best, value);
    }
    // Edited by hand: comments, blank lines, Windows line ends, spaces and
    // names the game does not know.
    ASSERT_TRUE(readBestText("\r\n# mine\r\n  best = 42 \r\nplayer=Ann\r\n", best));
    EXPECT_EQ(best, 42);
    const std::string nonsense[] = {"",
                                    "\n",
                                    "# a comment only\n",
                                    "best=\n",
                                    "best=-1\n",
                                    "best=+5\n",
                                    "best=12x\n",
                                    "best=2147483648\n",
                                    "best 12\n",
                                    "\x89PNG\r\n",
                                    "best=0x10\n",
                                    "best=12\nwhat\n",
                                    std::string(largestKeptFile, '#') + "\nbest=1\n"};
    for (const std::string& text : nonsense) {
        best = 7;
        EXPECT_FALSE(readBestText(text, best)) << text.substr(0, 40);
        EXPECT_EQ(best, 7) << "changed by a text that makes no sense";
    }

    Settings written;
    written.fullScreen = false;
    written.muted = true;
    written.window = {-1280, 24, 900, 675, true};
    Settings read;
    ASSERT_TRUE(readSettingsText(settingsText(written), read));
    EXPECT_EQ(settingsText(read), settingsText(written));
    EXPECT_TRUE(read.window.positioned);
    EXPECT_EQ(read.window.x, -1280);
    written.window.positioned = false;  // Wayland tells no position
    ASSERT_TRUE(readSettingsText(settingsText(written), read));
    EXPECT_FALSE(read.window.positioned);
    EXPECT_EQ(read.window.width, 900);
    Settings fresh;
    ASSERT_TRUE(readSettingsText("muted=yes\n", fresh)) << "what is not said keeps its default";
    EXPECT_TRUE(fresh.fullScreen && fresh.muted && fresh.window.width == 0);
    for (const char* text :
         {"full-screen=maybe\n", "muted=1\n", "window-width=800\n", "window-width=0\nwindow-height=0\n",
          "window-x=left\n", "window-width=99999999\nwindow-height=600\n", "full-screen\n"}) {
        Settings untouched;
        EXPECT_FALSE(readSettingsText(text, untouched)) << text;
        EXPECT_EQ(settingsText(untouched), settingsText(Settings())) << text;
    }
}

TEST_F(KeptFolders, TheBestAndTheSettingsSurviveARestartAndNothingIsWrittenUntilThereIsSomethingToKeep) {
    Keeping keeping;
    std::int32_t kept = 0;
    Settings chosen;
    loadKept(keeping, kept, chosen);
    EXPECT_EQ(keeping.bestPath, best.string());
    EXPECT_EQ(keeping.settingsPath, settings.string());
    keepBest(keeping, 0);
    keepSettings(keeping, chosen);
    EXPECT_FALSE(fs::exists(root / "data")) << "a best of 0 and the settings as they were are nothing to keep";

    keepBest(keeping, 12);
    chosen.muted = true;
    keepSettings(keeping, chosen);
    Keeping again;
    std::int32_t restored = 0;
    Settings restoredSettings;
    loadKept(again, restored, restoredSettings);
    EXPECT_EQ(restored, 12);
    EXPECT_TRUE(restoredSettings.muted);
    EXPECT_EQ(fs::status(best.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    for (const auto& entry : fs::directory_iterator(best.parent_path())) EXPECT_EQ(entry.path(), best) << "left behind";
}

TEST_F(KeptFolders, AFileThatCannotBeReadOrMakesNoSenseIsSetAsideAndTheGameStartsWithoutIt) {
    struct Broken {
        const char* what;
        std::function<void(const fs::path&)> make;
    };
    const Broken cases[] = {
        {"nonsense", [&](const fs::path& path) { put(path, "best=eleven\n"); }},
        {"empty", [&](const fs::path& path) { put(path, ""); }},
        {"huge", [&](const fs::path& path) { put(path, std::string(1 << 20, '7')); }},
        {"a folder", [&](const fs::path& path) { fs::create_directories(path / "inside"); }},
        {"a pipe",
         [&](const fs::path& path) {
             fs::create_directories(path.parent_path());
             ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
         }},
    };
    int n = 0;
    for (const Broken& broken : cases) {
        SCOPED_TRACE(broken.what);
        broken.make(best);
        const bool folder = fs::is_directory(best), file = fs::is_regular_file(best);
        const std::string before = file ? contents(best) : "";
        Keeping keeping;
        std::int32_t kept = 0;
        Settings chosen;
        ::testing::internal::CaptureStdout();
        loadKept(keeping, kept, chosen);
        const std::string said = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(kept, 0);
        // Aside under the next free name, never over an earlier one.
        const fs::path aside = best.string() + (++n == 1 ? ".bad" : ".bad-" + std::to_string(n));
        EXPECT_FALSE(fs::exists(fs::symlink_status(best)));
        ASSERT_TRUE(fs::exists(aside));
        if (folder) {
            EXPECT_TRUE(fs::exists(aside / "inside"));
        }
        if (file) {
            EXPECT_EQ(contents(aside), before);
        }
        EXPECT_NE(said.find(best.string()), std::string::npos) << said;
        EXPECT_NE(said.find(aside.string()), std::string::npos) << said;
        keepBest(keeping, 3);
        EXPECT_EQ(contents(best), bestText(3));
        fs::remove(best);
    }

    // Broken settings go the same way.
    put(settings, "full-screen=perhaps\n");
    Keeping keeping;
    std::int32_t kept = 0;
    Settings chosen;
    ::testing::internal::CaptureStdout();
    loadKept(keeping, kept, chosen);
    ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(chosen.fullScreen);
    EXPECT_EQ(contents(settings.string() + ".bad"), "full-screen=perhaps\n");
}

// A child process sees the kept folders read-only (a read-only bind mount
// of its own when it may make one, which holds even for root; else the
// folders' permissions), starts the game's keeping and keeps a higher best
// and other settings. It ends with the best it read.
int keepInReadOnlyFolders(const fs::path& root) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0) {
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount(root.c_str(), root.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0 ||
                mount(nullptr, root.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
                _exit(200);
        } else {
            for (const char* folder : {"data/tubechain", "config/tubechain", "data", "config", ""})
                chmod((root / folder).c_str(), 0555);
        }
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
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(KeptFolders, AReadOnlyFolderCostsNothingButTheKeeping) {
    put(best, bestText(42));
    put(settings, settingsText(Settings()));
    ::testing::internal::CaptureStdout();
    const int read = keepInReadOnlyFolders(root);
    const std::string said = ::testing::internal::GetCapturedStdout();
    ASSERT_NE(read, 200) << "no read-only mount could be made";
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
    EXPECT_EQ(keepInReadOnlyFolders(root), 0);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("cannot be renamed"), std::string::npos);
    EXPECT_EQ(contents(best), "not a best\n");
}

TEST_F(KeptFolders, GamesKeepingTheirBestAtOnceNeverLoseAHigherOneNorLeaveAHalfWrittenFile) {
    // Four games, each banking a best every so often, the highest last in
    // none of them in particular: whatever the order, the highest stays.
    constexpr int games = 4, bests = 100;
    std::vector<pid_t> children;
    for (int game = 0; game < games; ++game) {
        const pid_t child = fork();
        if (child == 0) {
            Keeping keeping;
            std::int32_t kept = 0;
            Settings chosen;
            loadKept(keeping, kept, chosen);
            // Game g banks g + 1, g + 5, ...; each reads the others' files as it starts and as it keeps.
            for (int n = 0; n < bests; ++n) keepBest(keeping, 1 + game + games * n);
            std::fflush(stdout);
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
