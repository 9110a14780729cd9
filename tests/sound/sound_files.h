// WAV files for the sound tests: the five voices written into a temporary
// folder that the bank reads from, and recordings of the mixed output read
// back for measuring.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace soundtest {

namespace fs = std::filesystem;

inline void putLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A mono 16-bit PCM RIFF WAVE file.
inline void writeMonoWav(const fs::path& path, int rate, const std::vector<std::int16_t>& samples) {
    std::string out = "RIFF";
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    putLittleEndian(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    putLittleEndian(out, 16, 4);
    putLittleEndian(out, 1, 2);  // PCM
    putLittleEndian(out, 1, 2);  // mono
    putLittleEndian(out, static_cast<std::uint32_t>(rate), 4);
    putLittleEndian(out, static_cast<std::uint32_t>(rate * 2), 4);
    putLittleEndian(out, 2, 2);
    putLittleEndian(out, 16, 2);
    out += "data";
    putLittleEndian(out, dataBytes, 4);
    for (std::int16_t sample : samples) putLittleEndian(out, static_cast<std::uint16_t>(sample), 2);
    std::ofstream(path, std::ios::binary) << out;
}

// A sine tone with a short fade at both ends.
inline std::vector<std::int16_t> tone(int sampleCount, int rate, double frequency, double amplitude) {
    std::vector<std::int16_t> samples(sampleCount);
    const int fade = std::min(sampleCount / 4, rate / 200);
    for (int i = 0; i < sampleCount; ++i) {
        double envelope = 1;
        if (i < fade) envelope = double(i) / fade;
        if (sampleCount - 1 - i < fade) envelope = double(sampleCount - 1 - i) / fade;
        samples[i] = static_cast<std::int16_t>(amplitude * envelope * std::sin(2 * M_PI * frequency * i / rate));
    }
    return samples;
}

// The five voice files, each with a sample count of its own so that a
// buffer's size tells which file it came from.
struct VoiceFile {
    const char* name;
    int sampleCount;
};
inline constexpr int voiceRate = 22050;
inline constexpr VoiceFile voiceFiles[5] = {{"Electricity.wav", 44100},
                                            {"Electricity2.wav", 33075},
                                            {"Click.wav", 11025},
                                            {"Cervo.wav", 26460},
                                            {"Activate.wav", 30870}};

inline int voiceSampleCount(const char* name) {
    for (const VoiceFile& file : voiceFiles)
        if (std::strcmp(file.name, name) == 0) return file.sampleCount;
    return -1;
}

// A temporary folder with SFX/ and the five voices that becomes the working
// directory while the value lives.
struct SoundFolder {
    SoundFolder() {
        char folderTemplate[] = "/tmp/tubechain-sound-XXXXXX";
        folder = mkdtemp(folderTemplate);
        fs::create_directory(folder / "SFX");
        for (const VoiceFile& file : voiceFiles) {
            writeMonoWav(folder / "SFX" / file.name, voiceRate, tone(file.sampleCount, voiceRate, 880, 20000));
        }
        previous = fs::current_path();
        fs::current_path(folder);
    }
    ~SoundFolder() {
        std::error_code ignored;
        fs::current_path(previous, ignored);
        fs::remove_all(folder, ignored);
    }
    SoundFolder(const SoundFolder&) = delete;
    SoundFolder& operator=(const SoundFolder&) = delete;
    fs::path folder;
    fs::path previous;
};

// A recording read back: the two channels as floats in -1..1.
struct Recording {
    int rate = 0;
    int channels = 0;
    std::vector<float> left;
    std::vector<float> right;
};

inline std::uint32_t readLittleEndian(const std::string& bytes, size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= std::uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

// Reads a 16-bit integer or 32-bit float WAV file (plain or extensible
// header); channels is 0 when the file cannot be read.
inline Recording readRecording(const fs::path& path) {
    Recording recording;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return recording;
    int bits = 0;
    bool isFloat = false;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string id = bytes.substr(at, 4);
        size_t size = readLittleEndian(bytes, at + 4, 4);
        const size_t body = at + 8;
        if (id == "fmt ") {
            const std::uint32_t tag = readLittleEndian(bytes, body, 2);
            recording.channels = static_cast<int>(readLittleEndian(bytes, body + 2, 2));
            recording.rate = static_cast<int>(readLittleEndian(bytes, body + 4, 4));
            bits = static_cast<int>(readLittleEndian(bytes, body + 14, 2));
            // Extensible: the sub-format's first two bytes hold the tag.
            const std::uint32_t format = tag == 0xFFFE ? readLittleEndian(bytes, body + 24, 2) : tag;
            isFloat = format == 3;
        } else if (id == "data") {
            // A recording cut off while running may carry a size of 0 or too much.
            if (size == 0 || body + size > bytes.size()) size = bytes.size() - body;
            const int frameBytes = recording.channels * bits / 8;
            if (recording.channels < 1 || frameBytes == 0) return Recording{};
            for (size_t frame = body; frame + frameBytes <= body + size; frame += frameBytes) {
                float values[2] = {0, 0};
                for (int channel = 0; channel < std::min(recording.channels, 2); ++channel) {
                    const size_t sampleAt = frame + channel * bits / 8;
                    if (isFloat && bits == 32) {
                        const std::uint32_t raw = readLittleEndian(bytes, sampleAt, 4);
                        std::memcpy(&values[channel], &raw, 4);
                    } else if (bits == 16) {
                        values[channel] = static_cast<std::int16_t>(readLittleEndian(bytes, sampleAt, 2)) / 32768.0f;
                    }
                }
                recording.left.push_back(values[0]);
                recording.right.push_back(recording.channels > 1 ? values[1] : values[0]);
            }
            return recording;
        }
        at = body + size + (size & 1);
    }
    return recording;
}

inline double rootMeanSquare(const std::vector<float>& samples, size_t from, size_t to) {
    double sum = 0;
    to = std::min(to, samples.size());
    if (to <= from) return 0;
    for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(to - from));
}

}  // namespace soundtest
