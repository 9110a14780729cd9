// Shared pieces of the asset generator: a deterministic random source, an
// RGBA picture, and the writers of the three file kinds the game reads (TGA
// images, mono 16-bit PCM WAV sounds, the restricted OBJ text models) and of
// the PNG icons the desktop shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Deterministic random numbers (splitmix64); the same seed gives the same
// sequence on every run and every machine.
struct Random {
    std::uint64_t state = 0;  // advanced by every draw
};
std::uint64_t nextBits(Random& random);
double nextUnit(Random& random);                         // uniform in [0, 1)
double nextRange(Random& random, double lo, double hi);  // uniform in [lo, hi)

// An RGBA picture held top row first; channels 0..1.
struct Image {
    int width = 0;              // pixels
    int height = 0;             // pixels
    std::vector<float> pixels;  // width * height * 4, row 0 = top of the picture
};
Image makeImage(int width, int height);
float* pixelAt(Image& image, int x, int y);  // x from the left, y from the top

// Uncompressed 32-bit BGRA TGA with its origin at the lower left.
void writeTga(const std::filesystem::path& path, const Image& image);

// 8-bit RGBA PNG, written by stb_image_write.
void writePng(const std::filesystem::path& path, const Image& image);

// Mono 16-bit PCM WAV; samples in -1..1 are scaled to the 16-bit range.
void writeWav(const std::filesystem::path& path, const std::vector<double>& samples, int sampleRate);

// A triangle mesh as the game's model files hold it.
struct MeshFace {
    int corner[3] = {0, 0, 0};  // 0-based vertex indices, counter-clockwise seen from outside
    float uv[3][2] = {};        // texture coordinate of each corner
};
struct MeshMaterial {
    std::string name;             // begins with the texture number, e.g. "0_body"
    std::vector<MeshFace> faces;  // in drawing order
};
struct Mesh {
    std::vector<double> positions;        // x, y, z per vertex, scene units
    std::vector<MeshMaterial> materials;  // in file order
};
int addVertex(Mesh& mesh, double x, double y, double z);  // returns its 0-based index
// Writes the model file: count comments, vertices, then per material its line
// and per face three texture lines (corner 3 first) and the face line.
void writeObj(const std::filesystem::path& path, const Mesh& mesh, const std::string& title);

// The generators, each writing its files below the output root.
void writeModels(const std::filesystem::path& root);
void writeImages(const std::filesystem::path& root);
void writeFont(const std::filesystem::path& root);
void writeSounds(const std::filesystem::path& root);
void writeIcons(const std::filesystem::path& root);
