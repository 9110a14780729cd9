// The four calls of the OpenAL utility library that the sound bank makes,
// for the browser, where the library does not exist: opening and closing
// the default device, and reading a PCM WAV file into memory.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>

// Set-up
// Opens the default device and makes a context on it current; false when
// either cannot be had.
ALboolean alutInit(int* argc, char** argv);
// Reads an uncompressed 8- or 16-bit mono or stereo WAV file. A file that
// cannot be read leaves data null and raises no OpenAL error, as the
// library's own loader does. loop is always false.
void alutLoadWAVFile(ALbyte* file, ALenum* format, void** data, ALsizei* size, ALsizei* frequency, ALboolean* loop);
// Frees what alutLoadWAVFile handed out.
void alutUnloadWAV(ALenum format, void* data, ALsizei size, ALsizei frequency);

// Shutdown
// Releases the context and closes the device; false when none was open.
ALboolean alutExit();
