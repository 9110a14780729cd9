// The real game as a player runs it: its own process on a virtual display of
// its own, driven through xdotool, watched through screenshots and through a
// recording of what it plays (OpenAL Soft's wave writer).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

// What the game played so far, as mono levels in -1..1 (the two channels
// averaged); the file grows while the game runs.
struct HeardSound {
    int rate = 0;                // samples per second, 0 when nothing was written yet
    std::vector<float> samples;  // from the moment the sound device opened
};

// Sample indices where a new sound starts: its first sample in a 10 ms
// window at least twice as loud as the loudest of the 30 ms before it, and
// more than 30 ms after the last such window. A spark restarts its voices
// from their attack, so every spark is one, even inside a stretch of sound.
std::vector<std::size_t> soundOnsets(const HeardSound& heard, std::size_t from = 0);
// The first onset at or after from; npos when there is none yet.
std::size_t firstOnset(const HeardSound& heard, std::size_t from);
// Seconds of 10 ms windows above the level of silence between the two samples.
double loudSeconds(const HeardSound& heard, std::size_t from, std::size_t to);
// True when the last seconds of the recording hold nothing above silence.
bool endsQuiet(const HeardSound& heard, double seconds);

// Where a display comes from: a virtual X server (Xvfb) whose one screen has
// the given size, or a Wayland desktop (weston's headless compositor with
// one output of that size), where X programs run through Xwayland and the
// compositor gives a full-screen window the whole output (its kiosk shell),
// or places windows as a desktop does (its desktop shell); or the same
// compositor without Xwayland, whose name is its Wayland socket. The
// headless compositor has no keyboard focus to give: keys go to the window
// under the pointer.
enum class Desktop { xvfb, weston, westonWithWindows, westonWithoutX };

// A display that belongs to one test, so that its windows, focus, pointer
// and screenshots meet no other test's. The screen is given as Xvfb takes
// it: width x height x depth.
struct PrivateDisplay {
    explicit PrivateDisplay(const std::string& screen = "1024x768x24", Desktop desktop = Desktop::xvfb);
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;
    std::string name;  // ":N", empty when the server did not start
    int width = 0;     // the screen, pixels
    int height = 0;
    Desktop desktop = Desktop::xvfb;
    int pid = -1;                         // the server, or the compositor (its process group holds Xwayland)
    std::filesystem::path runtimeFolder;  // the compositor's private runtime folder and log
};

// One run of the game on its own display, from the given data folder, with
// the sound recorded into a temporary folder of the run's own, and a home
// of its own there, where it keeps its best score and settings (unless the
// environment given, "NAME=value" settings, points it elsewhere).
struct GameRun {
    explicit GameRun(const std::filesystem::path& dataFolder, const std::filesystem::path& game = executablePath(),
                     const std::string& screen = "1024x768x24", Desktop desktop = Desktop::xvfb,
                     const std::vector<std::string>& environment = {});
    ~GameRun();  // ends the game if it still runs, removes the folder
    GameRun(const GameRun&) = delete;
    GameRun& operator=(const GameRun&) = delete;

    PrivateDisplay display;
    std::filesystem::path folder;     // the recording and its configuration
    std::filesystem::path recording;  // what the game plays, written while it runs
    std::filesystem::path home;       // HOME, with XDG_DATA_HOME and XDG_CONFIG_HOME in it
    SpawnedProcess process;
    std::string window;    // the game's X window once it is shown, empty when none was
    bool focused = false;  // on Xvfb: the game took the keyboard focus by itself
    bool ended = false;    // finish has collected the process
};

// The environment that gives a game the home (and XDG folders in it) given.
std::vector<std::string> homeEnvironment(const std::filesystem::path& home);
// Runs an xdotool command (its arguments) on the run's display; returns its output.
std::string xdotool(const GameRun& run, const std::string& arguments);
HeardSound heardSoFar(const GameRun& run);
// The game window's pixels, raw RGB, rows from the top (the whole screen:
// the window is full screen).
std::string screenPicture(const GameRun& run);
// Pixels in the lightning's deep electric blue, which nothing else has.
int lightningPixels(const std::string& rgb);
// Polls until the picture shows the game, no lightning, and the same at two
// looks in a row: nothing on the board moves any more. Returns it, or an
// empty string when that did not come within the time limit. Two looks can
// fall within one frame: after an input, wait first for the picture to
// show it (its sound can come out before its frame does).
std::string waitForStillPicture(const GameRun& run, double timeLimitSeconds);
// Moves the captured pointer far up and left, where the game holds it at
// frame pixel (1, 1), off the board, and waits until the picture shows the
// cursor there and stands still; returns it, or an empty string.
std::string parkPointer(const GameRun& run);
// Moves the captured pointer by (dx, dy) window pixels. The game keeps the
// system pointer in the middle of the screen, whose edges stop a longer
// move, so it goes in steps that stay well inside the screen, each waited
// for until the picture shows it. False when a step did not show.
bool movePointerBy(const GameRun& run, int dx, int dy);
// Where the pointer must go to be on a tube of the start-up board, in frame
// pixels from the top left: the middle of the tube's upper surface, through
// the scene's projection and camera.
struct FramePixel {
    double x, y;
};
FramePixel framePixelOverTube(int index);
// Sends the window what a window manager sends when the player closes it:
// the WM_DELETE_WINDOW protocol message. False when it could not be sent.
bool sendCloseRequest(const GameRun& run);
// Holds Escape down until the game ends, then collects it.
ProcessResult endWithEscape(GameRun& run, double timeLimitSeconds);
// Collects the game once it has ended by itself.
ProcessResult finish(GameRun& run, double timeLimitSeconds);
