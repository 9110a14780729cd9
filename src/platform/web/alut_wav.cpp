// The OpenAL utility calls of the browser build: the device and context, and
// a reader for the RIFF WAVE files of the game's sounds.
#include <AL/alut.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace {

ALCdevice* device = nullptr;
ALCcontext* context = nullptr;

std::uint32_t littleEndian32(const std::uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::uint16_t littleEndian16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

// The samples of a PCM WAV file, or false for anything else.
struct WavData {
    ALenum format = 0;
    std::uint32_t frequency = 0;
    const std::uint8_t* samples = nullptr;
    std::uint32_t size = 0;  // bytes, whole sample frames
};

bool parseWav(const std::vector<std::uint8_t>& bytes, WavData& wav) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    int channels = 0, bits = 0;
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::uint8_t* chunk = bytes.data() + at;
        const std::uint32_t length = littleEndian32(chunk + 4);
        const std::size_t body = at + 8;
        if (length > bytes.size() - body) return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || littleEndian16(chunk + 8) != 1) return false;  // PCM only
            channels = littleEndian16(chunk + 10);
            wav.frequency = littleEndian32(chunk + 12);
            bits = littleEndian16(chunk + 22);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat || wav.frequency == 0) return false;
            if (channels == 1 && bits == 8)
                wav.format = AL_FORMAT_MONO8;
            else if (channels == 1 && bits == 16)
                wav.format = AL_FORMAT_MONO16;
            else if (channels == 2 && bits == 8)
                wav.format = AL_FORMAT_STEREO8;
            else if (channels == 2 && bits == 16)
                wav.format = AL_FORMAT_STEREO16;
            else
                return false;
            const std::uint32_t frame = static_cast<std::uint32_t>(channels * bits / 8);
            wav.samples = bytes.data() + body;
            wav.size = length / frame * frame;
            return wav.size > 0;
        }
        // Chunks are padded to an even length.
        at = body + length + (length & 1);
    }
    return false;
}

}  // namespace

ALboolean alutInit(int*, char**) {
    if (device) return AL_FALSE;
    device = alcOpenDevice(nullptr);
    if (!device) return AL_FALSE;
    context = alcCreateContext(device, nullptr);
    if (!context || !alcMakeContextCurrent(context)) {
        if (context) alcDestroyContext(context);
        alcCloseDevice(device);
        context = nullptr;
        device = nullptr;
        return AL_FALSE;
    }
    return AL_TRUE;
}

void alutLoadWAVFile(ALbyte* file, ALenum* format, void** data, ALsizei* size, ALsizei* frequency, ALboolean* loop) {
    *data = nullptr;
    *size = 0;
    if (loop) *loop = AL_FALSE;
    std::vector<std::uint8_t> bytes;
    WavData wav;
    if (!readWholeFile(reinterpret_cast<const char*>(file), bytes) || !parseWav(bytes, wav)) return;
    void* copy = std::malloc(wav.size);
    if (!copy) return;
    std::memcpy(copy, wav.samples, wav.size);
    *data = copy;
    *format = wav.format;
    *size = static_cast<ALsizei>(wav.size);
    *frequency = static_cast<ALsizei>(wav.frequency);
}

void alutUnloadWAV(ALenum, void* data, ALsizei, ALsizei) { std::free(data); }

ALboolean alutExit() {
    if (!device) return AL_FALSE;
    alcMakeContextCurrent(nullptr);
    if (context) alcDestroyContext(context);
    alcCloseDevice(device);
    context = nullptr;
    device = nullptr;
    return AL_TRUE;
}
