// Reading the game's TGA images into rows of pixels ready for GL, bottom row
// first, so that the picture's lower-left corner lands at t = 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded picture.
struct Image {
    int width = 0;                     // pixels
    int height = 0;                    // pixels
    int channels = 0;                  // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    std::vector<std::uint8_t> pixels;  // rows bottom first, each left to right, channels bytes a pixel
};

// Set-up
// Decodes a TGA image (true colour, grey or colour-mapped, raw or run-length
// coded) from its bytes. Returns false for anything that is not such an
// image, or whose pixel data ends early.
bool decodeTga(const std::uint8_t* bytes, std::size_t size, Image& image);

// Reads and decodes the TGA file at path; false when it cannot be read.
bool readTgaFile(const char* path, Image& image);
