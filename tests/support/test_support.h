// Shared helpers for the tests: a real GL context on the (virtual) display,
// and running the real executable to see what it prints and how it ends.
#pragma once

#include <GLFW/glfw3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "game/view.h"

struct Game;
struct FrameInput;
struct FramePlay;

// Opens the game's own full-screen window once per test program and keeps it
// (with its GL context current) until the program ends.
GLFWwindow* sharedWindow();
const ViewSettings& sharedView();
// The real game, started once per test program on the virtual display (the
// real data, the sound bank on the null driver) and kept running.
Game& startedGame();

// The frame a player gets, with the input given here instead of the
// window's, and unpaced: its stages up to the buffer swap (the back buffer
// then holds the frame), the rest of it (the swap and the window's events),
// or the whole frame. givenPlay is the run of frames they all belong to.
FramePlay& givenPlay();
void playFrameUpToSwap(Game& game, const FrameInput& input);
void finishFrame(Game& game);
void playFrame(Game& game, const FrameInput& input);

struct ProcessResult {
    int exitStatus = -1;  // -1 when it did not end by itself
    bool timedOut = false;
    std::string output;  // standard output and standard error together
    double seconds = 0;  // wall time until it ended
};

// A program started in the background, in a process group of its own.
struct SpawnedProcess {
    int pid = -1;
    int outputFd = -1;
    std::string outputPath;
    double startSeconds = 0;
};
SpawnedProcess spawnProcess(const std::vector<std::string>& command, const std::filesystem::path& folder,
                            const std::vector<std::string>& environment);
// Waits for it to end, killing its whole group once the time limit (from
// now) has passed.
ProcessResult finishProcess(SpawnedProcess& process, double timeLimitSeconds);
// Runs a shell command and returns what it printed on standard output.
std::string shellOutput(const std::string& command);

// Runs a program in a folder with extra environment settings ("NAME=value",
// or "NAME=" to remove one), killing it after the time limit.
ProcessResult runProcess(const std::vector<std::string>& command, const std::filesystem::path& folder,
                         const std::vector<std::string>& environment, double timeLimitSeconds);

// A fresh temporary folder holding a copy of the game's data (Model/,
// Texture/, SFX/), removed when the value goes out of scope.
struct DataCopy {
    DataCopy();
    ~DataCopy();
    DataCopy(const DataCopy&) = delete;
    DataCopy& operator=(const DataCopy&) = delete;
    std::filesystem::path folder;
};

// How often part occurs in text.
int occurrences(const std::string& text, const std::string& part);

// One integer of GL state (glGetIntegerv).
inline GLint glInteger(GLenum which) {
    GLint value = 0;
    glGetIntegerv(which, &value);
    return value;
}

std::filesystem::path sourceDir();
// The game executable: the build's own, or the one TUBECHAIN_GAME names (the
// sanitizer build runs the end-to-end tests against its own game so).
std::filesystem::path executablePath();

// A steady clock for time limits, in seconds.
double secondsNow();
// The pause between two looks of a poll: 10 ms.
void pauseBetweenLooks();

// Repeats the check until it holds or the time limit passes; true when it held.
template <typename Check>
bool waitUntil(double timeLimitSeconds, Check check) {
    const double limit = secondsNow() + timeLimitSeconds;
    while (!check()) {
        if (secondsNow() > limit) return false;
        pauseBetweenLooks();
    }
    return true;
}
