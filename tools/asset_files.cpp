// Writers for the generated data files and the generator's random source.
#include "asset_files.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

std::uint64_t nextBits(Random& random) {
    random.state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = random.state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double nextUnit(Random& random) { return static_cast<double>(nextBits(random) >> 11) * 0x1.0p-53; }

double nextRange(Random& random, double lo, double hi) { return lo + (hi - lo) * nextUnit(random); }

Image makeImage(int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height * 4, 0.0f);
    return image;
}

float* pixelAt(Image& image, int x, int y) { return &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4]; }

namespace {

void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void put16(std::vector<unsigned char>& bytes, unsigned value) {
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
    bytes.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void put32(std::vector<unsigned char>& bytes, std::uint32_t value) {
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

unsigned char toByte(float value) {
    const float clamped = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
    return static_cast<unsigned char>(std::lround(clamped * 255.0f));
}

// Fixed six decimals; a negative zero is written as zero.
std::string number(double value) {
    if (std::fabs(value) < 5e-7) value = 0.0;
    char text[48];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

}  // namespace

void writeTga(const std::filesystem::path& path, const Image& image) {
    std::vector<unsigned char> bytes;
    bytes.push_back(0);                              // no image id
    bytes.push_back(0);                              // no colour map
    bytes.push_back(2);                              // uncompressed true colour
    for (int i = 0; i < 5; ++i) bytes.push_back(0);  // colour map specification
    put16(bytes, 0);                                 // x origin
    put16(bytes, 0);                                 // y origin
    put16(bytes, static_cast<unsigned>(image.width));
    put16(bytes, static_cast<unsigned>(image.height));
    bytes.push_back(32);  // bits per pixel
    bytes.push_back(8);   // 8 alpha bits, origin at the lower left
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const float* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
            bytes.push_back(toByte(p[2]));
            bytes.push_back(toByte(p[1]));
            bytes.push_back(toByte(p[0]));
            bytes.push_back(toByte(p[3]));
        }
    }
    writeBytes(path, bytes);
}

void writePng(const std::filesystem::path& path, const Image& image) {
    std::vector<unsigned char> rgba;
    for (float channel : image.pixels) rgba.push_back(toByte(channel));
    std::vector<unsigned char> bytes;
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<unsigned char>*>(context);
        const auto* first = static_cast<const unsigned char*>(data);
        out->insert(out->end(), first, first + size);
    };
    if (!stbi_write_png_to_func(append, &bytes, image.width, image.height, 4, rgba.data(), image.width * 4)) {
        throw std::runtime_error("cannot encode " + path.string());
    }
    writeBytes(path, bytes);
}

void writeWav(const std::filesystem::path& path, const std::vector<double>& samples, int sampleRate) {
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<unsigned char> bytes;
    for (char c : std::string("RIFF")) bytes.push_back(static_cast<unsigned char>(c));
    put32(bytes, 36 + dataSize);
    for (char c : std::string("WAVEfmt ")) bytes.push_back(static_cast<unsigned char>(c));
    put32(bytes, 16);                                          // fmt chunk size
    put16(bytes, 1);                                           // PCM
    put16(bytes, 1);                                           // mono
    put32(bytes, static_cast<std::uint32_t>(sampleRate));      // samples per second
    put32(bytes, static_cast<std::uint32_t>(sampleRate * 2));  // bytes per second
    put16(bytes, 2);                                           // block align
    put16(bytes, 16);                                          // bits per sample
    for (char c : std::string("data")) bytes.push_back(static_cast<unsigned char>(c));
    put32(bytes, dataSize);
    for (double s : samples) {
        const double clamped = s < -1.0 ? -1.0 : (s > 1.0 ? 1.0 : s);
        const long value = std::lround(clamped * 32767.0);
        put16(bytes, static_cast<unsigned>(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))));
    }
    writeBytes(path, bytes);
}

int addVertex(Mesh& mesh, double x, double y, double z) {
    mesh.positions.push_back(x);
    mesh.positions.push_back(y);
    mesh.positions.push_back(z);
    return static_cast<int>(mesh.positions.size() / 3) - 1;
}

void writeObj(const std::filesystem::path& path, const Mesh& mesh, const std::string& title) {
    size_t faceCount = 0;
    for (const MeshMaterial& material : mesh.materials) faceCount += material.faces.size();
    std::string text;
    text += "# " + title + "\n";
    text += "# Written by tools/generate_assets; edit the generator, not this file.\n";
    text += "# Vertices: " + std::to_string(mesh.positions.size() / 3) + "\n";
    text += "# Faces: " + std::to_string(faceCount) + "\n";
    text += "# Materials: " + std::to_string(mesh.materials.size()) + "\n";
    text += "\n";
    for (size_t i = 0; i + 2 < mesh.positions.size(); i += 3) {
        text += "v " + number(mesh.positions[i]) + " " + number(mesh.positions[i + 1]) + " " +
                number(mesh.positions[i + 2]) + "\n";
    }
    for (const MeshMaterial& material : mesh.materials) {
        text += "\nusemtl " + material.name + "\n";
        for (const MeshFace& face : material.faces) {
            for (int k = 2; k >= 0; --k) {
                text += "vt " + number(face.uv[k][0]) + " " + number(face.uv[k][1]) + "\n";
            }
            text += "f " + std::to_string(face.corner[0] + 1) + " " + std::to_string(face.corner[1] + 1) + " " +
                    std::to_string(face.corner[2] + 1) + "\n";
        }
    }
    writeBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}
