// What differs between the systems the game runs on: starting the window
// library, the console, whole-file reading and the heap. Each system has one
// file that implements these; the rest of the game is portable C++, GL,
// GLFW and OpenAL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The largest data file the game reads, bytes: far above any of its own
// files, low enough that a wrong file costs no memory to speak of.
inline constexpr std::size_t largestDataFile = 256u << 20;

// Set-up
// Keeps memory freed by the renderer in the heap for reuse, where the C
// library would otherwise give it back to the system after every batch.
void tuneAllocator();

// Starts GLFW on the system's own windowing. False when no display can be
// had; nothing is printed.
bool startWindowLibrary();

// Prints one line on the console, at once.
void printConsoleLine(const char* line);

// Keeps a start-up message up for a second, or until a key is waiting on
// the console.
void pauseForConsole();

// Reads the whole regular file at path into bytes. False (bytes empty) when
// it cannot be opened, is no regular file (a device or a pipe could hand
// out bytes without end), is larger than largestDataFile or cannot be read.
bool readWholeFile(const char* path, std::vector<std::uint8_t>& bytes);
