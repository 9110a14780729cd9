// What differs between the systems the game runs on: the data folder,
// starting the window library, opening the game's window, switching it
// between full screen and a window and reading its size, the console,
// whole-file reading, the heap, and the files kept between runs. Each system has one
// file that implements these, and the desktops share their window's; the
// rest of the game is portable C++, GL, GLFW and OpenAL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct GLFWwindow;

// The largest data file the game reads, bytes: far above any of its own
// files, low enough that a wrong file costs no memory to speak of.
inline constexpr std::size_t largestDataFile = 256u << 20;

// Set-up
// Makes the folder the game reads Model/, Texture/ and SFX/ from the working
// folder. On Windows that is the folder of the program itself, wherever it
// was started from (a double click, a shortcut, another folder's console);
// elsewhere the working folder stays as it is.
void enterDataFolder();

// Keeps memory freed by the renderer in the heap for reuse, where the C
// library would otherwise give it back to the system after every batch.
void tuneAllocator();

// Starts GLFW on the system's own windowing. False when no display can be
// had; nothing is printed.
bool startWindowLibrary();

// Where a window stands on the desktop, in screen coordinates: its content
// area's top-left corner and size.
struct WindowPlace {
    int x = 0, y = 0;           // where the platform tells and takes it (Wayland does neither)
    int width = 0, height = 0;  // 0 when the game has not stood in a window yet
    bool positioned = false;    // x and y hold a position
};

// Opens the game's window with its GL context current, or returns null
// (nothing printed, GLFW still running). On a desktop: full screen on the
// primary monitor at the monitor's own video mode, or a resizable window at
// the place given (a new one in the middle of the monitor when it has no
// size or lies off every monitor), named Tubechain, with the game's icon, of
// the desktop entry's class, asking for the given alpha, depth and stencil
// bits; it takes the keyboard focus, hides the pointer over it and, full
// screen, captures it, and keeps presses shorter than a frame for the next
// read. In the browser: the page's canvas with a WebGL 2 context, whose
// frame buffer objects carry the bits (the page's own frame loop reads the
// pointer and keys there).
GLFWwindow* openGameWindow(int alphaBits, int depthBits, int stencilBits, bool fullScreen, const WindowPlace& place);

// One size of the window's icon: square, 8-bit RGBA, top row first.
struct IconPicture {
    int size = 0;                    // pixels a side
    std::vector<std::uint8_t> rgba;  // size * size * 4 bytes
};
// Gives the window its icon in the sizes given, where the system shows one
// (X11 and Windows do; a Wayland compositor and the page take it from elsewhere).
void setWindowIcon(GLFWwindow* window, const std::vector<IconPicture>& pictures);

// Prints one line on the console, at once.
void printConsoleLine(const char* line);
// A note that is no failure, for whoever watches the console: printed like
// printConsoleLine where there is a console (or the output goes to a file
// or a pipe), and never in the player's way (no message box, nothing over
// the page) where there is none.
void printConsoleNote(const char* line);

// Keeps a start-up message up for a second, or until a key is waiting on
// the console.
void pauseForConsole();

// Reads the whole regular file at path into bytes. False (bytes empty) when
// it cannot be opened, is no regular file (a device or a pipe could hand
// out bytes without end), is larger than largestDataFile or cannot be read.
bool readWholeFile(const char* path, std::vector<std::uint8_t>& bytes);

// Per frame
// The window's frame buffer, pixels, and its size in the units the pointer
// comes in: screen coordinates on a desktop, CSS pixels on a page.
struct WindowSize {
    int framebufferWidth = 0, framebufferHeight = 0;
    int width = 0, height = 0;
};
WindowSize windowSize(GLFWwindow* window);

// Full screen on the monitor the window stands on most, at its own video
// mode, the pointer captured; or a window at the place given (as
// openGameWindow places it), the pointer free to leave it. Never changes a
// video mode. Returns the window's new size (and place), in the units the
// pointer comes in. In the browser: the canvas on the whole screen, or back
// in the page.
WindowPlace showFullScreen(GLFWwindow* window, bool fullScreen, const WindowPlace& place);
// Where the window stands while it is not full screen; the place given when
// it is.
WindowPlace windowPlace(GLFWwindow* window, const WindowPlace& given);

// The key that types the letter (lower case) on the player's keyboard
// layout, as a GLFW key; the fallback where none does or none can tell.
int keyTypingLetter(char letter, int fallback);

// A gamepad's buttons and axes in GLFW 3.3's gamepad mapping, of the first
// gamepad plugged in; false (and all released) when there is none.
bool readGamepad(std::uint8_t buttons[15], float axes[6]);

// Kept between runs: the best score among the player's data, the settings
// among their configuration. The path, in the system's own form, of
// "best.txt" in $XDG_DATA_HOME/tubechain/ (~/.local/share/tubechain/) and
// "settings.ini" in $XDG_CONFIG_HOME/tubechain/ (~/.config/tubechain/) on
// Linux, both in %APPDATA%\Tubechain\ on Windows, and their names in the
// page's local storage; empty when the system has no such place.
enum class KeptFile { best, settings };
std::string keptFilePath(KeptFile file);

// What reading a kept file found.
enum class KeptRead {
    missing,     // there is no such file (nor anything else by its name)
    read,        // text holds it, or its first largest + 1 bytes
    unreadable,  // something is there that cannot be read as a file
};
KeptRead readKeptFile(const std::string& path, std::size_t largest, std::string& text);
// Replaces the file's contents at once: the text goes into a new file in
// the same folder, is flushed to the disk and renamed over the old one, so
// that no crash or power loss leaves a file half written. Makes the folder
// first. False, with nothing changed, when it cannot.
bool replaceKeptFile(const std::string& path, const std::string& text);
// Renames the file to the first of path.bad, path.bad-2, path.bad-3, ...
// that is free, never over another file. The new path, or empty when it
// could not be renamed.
std::string setKeptFileAside(const std::string& path);
// Holds every other game off the kept files in path's folder from lock to
// unlock, waiting for its turn: what is read in between is still so when it
// is replaced.
struct KeptLock {
    std::intptr_t handle = -1;  // the system's own, -1 when nothing is held
};
KeptLock lockKeptFolder(const std::string& path);
void unlockKeptFolder(KeptLock& lock);
