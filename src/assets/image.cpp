#include "assets/image.h"

#include <climits>
#include <cstring>

#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include "platform/platform.h"

namespace {

// The fixed TGA header.
struct TgaHeader {
    int idLength = 0;       // bytes of the image id after the header
    int colourMapType = 0;  // 1 when a colour map follows
    int imageType = 0;      // 1 mapped, 2 true colour, 3 grey; +8 run-length coded
    int mapFirst = 0;       // first colour map entry
    int mapLength = 0;      // colour map entries
    int mapBits = 0;        // bits per colour map entry
    int width = 0;          // pixels
    int height = 0;         // pixels
    int bitsPerPixel = 0;   // bits per stored pixel (an index for mapped images)
    int descriptor = 0;     // bit 4: right to left, bit 5: top row first
};

constexpr std::size_t tgaHeaderBytes = 18;

int littleEndian16(const std::uint8_t* bytes) { return bytes[0] | (bytes[1] << 8); }

TgaHeader readHeader(const std::uint8_t* bytes) {
    TgaHeader header;
    header.idLength = bytes[0];
    header.colourMapType = bytes[1];
    header.imageType = bytes[2];
    header.mapFirst = littleEndian16(bytes + 3);
    header.mapLength = littleEndian16(bytes + 5);
    header.mapBits = bytes[7];
    header.width = littleEndian16(bytes + 12);
    header.height = littleEndian16(bytes + 14);
    header.bitsPerPixel = bytes[16];
    header.descriptor = bytes[17];
    return header;
}

bool isPixelDepth(int bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// Whether the header describes a picture the decoder reads, and its pixel
// data (raw, or every run-length packet) is all there. The decoder itself
// would read zeros past the end instead of failing.
bool tgaIsComplete(const std::uint8_t* bytes, std::size_t size) {
    if (size < tgaHeaderBytes) return false;
    const TgaHeader header = readHeader(bytes);
    if (header.width < 1 || header.height < 1) return false;
    const bool mapped = header.colourMapType == 1;
    const int baseType = header.imageType & ~8;
    const bool runLength = (header.imageType & 8) != 0;
    std::size_t pixelBytes = 0;  // stored bytes per pixel read
    std::size_t offset = tgaHeaderBytes + header.idLength;
    if (mapped) {
        if (baseType != 1 || header.mapFirst != 0 || header.mapLength < 1 || !isPixelDepth(header.mapBits) ||
            (header.bitsPerPixel != 8 && header.bitsPerPixel != 16))
            return false;
        offset += static_cast<std::size_t>(header.mapLength) * ((header.mapBits + 7) / 8);
        pixelBytes = header.bitsPerPixel / 8;
    } else {
        if (header.colourMapType != 0 || (baseType != 2 && baseType != 3) || header.imageType > 11 ||
            !isPixelDepth(header.bitsPerPixel))
            return false;
        pixelBytes = (header.bitsPerPixel + 7) / 8;
    }
    if (offset > size) return false;

    const std::size_t pixelCount = static_cast<std::size_t>(header.width) * header.height;
    if (!runLength) return size - offset >= pixelCount * pixelBytes;

    // Every packet is a count byte, then one pixel (a run) or count pixels.
    std::size_t remaining = pixelCount;
    while (remaining > 0) {
        if (offset >= size) return false;
        const std::uint8_t packet = bytes[offset++];
        std::size_t count = 1 + (packet & 127);
        if (count > remaining) count = remaining;
        const std::size_t stored = (packet & 128) ? pixelBytes : count * pixelBytes;
        if (size - offset < stored) return false;
        offset += stored;
        remaining -= count;
    }
    return true;
}

}  // namespace

bool decodeTga(const std::uint8_t* bytes, std::size_t size, Image& image) {
    if (!bytes || size > static_cast<std::size_t>(INT_MAX) || !tgaIsComplete(bytes, size)) return false;
    const bool rightToLeft = (bytes[17] & 0x10) != 0;
    int width = 0, height = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 0);
    if (!decoded) return false;
    if (width < 1 || height < 1 || channels < 1 || channels > 4) {
        stbi_image_free(decoded);
        return false;
    }

    // The decoder hands the top row first; GL wants the bottom row first.
    const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.pixels.resize(rowBytes * height);
    for (int row = 0; row < height; ++row) {
        const stbi_uc* source = decoded + static_cast<std::size_t>(height - 1 - row) * rowBytes;
        std::uint8_t* target = image.pixels.data() + static_cast<std::size_t>(row) * rowBytes;
        if (!rightToLeft) {
            std::memcpy(target, source, rowBytes);
            continue;
        }
        for (int column = 0; column < width; ++column)
            std::memcpy(target + static_cast<std::size_t>(column) * channels,
                        source + static_cast<std::size_t>(width - 1 - column) * channels, channels);
    }
    stbi_image_free(decoded);
    return true;
}

bool readTgaFile(const char* path, Image& image) {
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(path, bytes)) return false;
    return decodeTga(bytes.data(), bytes.size(), image);
}
