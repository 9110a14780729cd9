// What differs between the systems the game runs on: the data folder,
// starting the window library, opening the game's window and reading its
// size, the console, whole-file reading and the heap. Each system has one
// file that implements these, and the desktops share their window's; the
// rest of the game is portable C++, GL, GLFW and OpenAL.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Opens the game's window with its GL context current, or returns null
// (nothing printed, GLFW still running). On a desktop: full screen on the
// primary monitor at the monitor's own video mode, named Tubechain, of the
// desktop entry's class, asking for the given alpha, depth and stencil
// bits; it takes the keyboard focus, hides and captures the pointer, and
// keeps presses shorter than a frame for the next read. In the browser: the
// page's canvas with a WebGL 2 context, whose frame buffer objects carry the
// bits (the page's own frame loop reads the pointer and keys there).
GLFWwindow* openGameWindow(int alphaBits, int depthBits, int stencilBits);

// Prints one line on the console, at once.
void printConsoleLine(const char* line);

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
