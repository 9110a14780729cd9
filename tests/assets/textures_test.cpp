// TGA reading and the six texture slots, in the game's real GL context.
#include "assets/textures.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assets/image.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgba = std::array<std::uint8_t, 4>;

// A picture as seen, top row first, written out as the TGA stores it.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgba> seen;  // row 0 is the top row
    Rgba at(int column, int rowFromTop) const { return seen[rowFromTop * width + column]; }
};

// A 3 x 2 picture with every pixel different.
Picture smallPicture() {
    Picture picture{3, 2, {}};
    for (int i = 0; i < 6; ++i)
        picture.seen.push_back({static_cast<std::uint8_t>(10 + i), static_cast<std::uint8_t>(100 + i),
                                static_cast<std::uint8_t>(200 + i), static_cast<std::uint8_t>(50 + i)});
    return picture;
}

struct TgaLayout {
    int bits = 24;  // 24 (BGR), 32 (BGRA) or 8 (grey: the red channel)
    bool topRowFirst = false;
    bool rightToLeft = false;
    bool runLength = false;  // one raw packet per row
    int idLength = 0;
};

Bytes tgaBytes(const Picture& picture, const TgaLayout& layout) {
    const bool grey = layout.bits == 8;
    Bytes bytes(18, 0);
    bytes[0] = static_cast<std::uint8_t>(layout.idLength);
    bytes[2] = static_cast<std::uint8_t>((grey ? 3 : 2) + (layout.runLength ? 8 : 0));
    bytes[12] = static_cast<std::uint8_t>(picture.width);
    bytes[14] = static_cast<std::uint8_t>(picture.height);
    bytes[16] = static_cast<std::uint8_t>(layout.bits);
    bytes[17] = static_cast<std::uint8_t>((layout.bits == 32 ? 8 : 0) | (layout.topRowFirst ? 0x20 : 0) |
                                          (layout.rightToLeft ? 0x10 : 0));
    for (int i = 0; i < layout.idLength; ++i) bytes.push_back(0xEE);
    for (int stored = 0; stored < picture.height; ++stored) {
        const int row = layout.topRowFirst ? stored : picture.height - 1 - stored;
        if (layout.runLength) bytes.push_back(static_cast<std::uint8_t>(picture.width - 1));
        for (int x = 0; x < picture.width; ++x) {
            const Rgba pixel = picture.at(layout.rightToLeft ? picture.width - 1 - x : x, row);
            if (grey) {
                bytes.push_back(pixel[0]);
                continue;
            }
            bytes.insert(bytes.end(), {pixel[2], pixel[1], pixel[0]});
            if (layout.bits == 32) bytes.push_back(pixel[3]);
        }
    }
    return bytes;
}

// The 18-byte header of a one-row picture of the given image type, width and depth.
Bytes tgaHeader(std::uint8_t type, std::uint8_t width, std::uint8_t bits) {
    Bytes header(18, 0);
    header[2] = type;
    header[12] = width;
    header[14] = 1;
    header[16] = bits;
    return header;
}

// The decoded pixel at (column, row from the bottom) against the picture.
void expectPixel(const Image& image, const Picture& picture, int channels, int column, int rowFromBottom) {
    const std::uint8_t* pixel = &image.pixels[(rowFromBottom * image.width + column) * image.channels];
    const Rgba expected = picture.at(column, picture.height - 1 - rowFromBottom);
    for (int channel = 0; channel < channels; ++channel)
        EXPECT_EQ(pixel[channel], expected[channel])
            << "pixel " << column << "," << rowFromBottom << " channel " << channel;
}

TEST(TgaImage, DecodesEveryLayoutWithTheBottomRowFirst) {
    const Picture picture = smallPicture();
    for (int bits : {24, 32, 8})
        for (bool topRowFirst : {false, true})
            for (bool rightToLeft : {false, true})
                for (bool runLength : {false, true}) {
                    SCOPED_TRACE(testing::Message() << bits << " bits, top first " << topRowFirst << ", right to left "
                                                    << rightToLeft << ", RLE " << runLength);
                    const Bytes bytes = tgaBytes(picture, {bits, topRowFirst, rightToLeft, runLength, 3});
                    Image image;
                    ASSERT_TRUE(decodeTga(bytes.data(), bytes.size(), image));
                    EXPECT_EQ(image.width, 3);
                    EXPECT_EQ(image.height, 2);
                    EXPECT_EQ(image.channels, bits / 8);
                    ASSERT_EQ(image.pixels.size(), 6u * image.channels);
                    for (int row = 0; row < 2; ++row)
                        for (int column = 0; column < 3; ++column)
                            expectPixel(image, picture, image.channels, column, row);
                }
}

TEST(TgaImage, DecodesRunsAndAColourMap) {
    // A 4 x 1 run-length coded line: a run of three, then one raw pixel.
    Bytes run = tgaHeader(10, 4, 24);
    run.insert(run.end(), {0x82, 1, 2, 3, 0x00, 7, 8, 9});
    Image image;
    ASSERT_TRUE(decodeTga(run.data(), run.size(), image));
    const Bytes expectedRun = {3, 2, 1, 3, 2, 1, 3, 2, 1, 9, 8, 7};
    EXPECT_EQ(image.pixels, expectedRun);

    // A run longer than the picture ends with the picture.
    Bytes longRun = tgaHeader(10, 2, 24);
    longRun.insert(longRun.end(), {0x83, 5, 6, 7});
    ASSERT_TRUE(decodeTga(longRun.data(), longRun.size(), image));
    const Bytes expectedLongRun = {7, 6, 5, 7, 6, 5};
    EXPECT_EQ(image.pixels, expectedLongRun);

    // A 2 x 1 colour-mapped picture with a palette of two BGR entries.
    Bytes mapped = tgaHeader(1, 2, 8);
    mapped[1] = 1;   // colour map present
    mapped[5] = 2;   // two entries
    mapped[7] = 24;  // of 24 bits
    mapped.insert(mapped.end(), {30, 20, 10, 60, 50, 40, 1, 0});
    ASSERT_TRUE(decodeTga(mapped.data(), mapped.size(), image));
    const Bytes expectedMapped = {40, 50, 60, 10, 20, 30};
    EXPECT_EQ(image.pixels, expectedMapped);
}

TEST(TgaImage, RefusesWhatIsNoCompleteTga) {
    const Picture picture = smallPicture();
    const Bytes raw = tgaBytes(picture, {24, false, false, false, 0});
    const Bytes runs = tgaBytes(picture, {32, true, false, true, 0});
    Image image;
    ASSERT_TRUE(decodeTga(raw.data(), raw.size(), image));
    ASSERT_TRUE(decodeTga(runs.data(), runs.size(), image));

    // The raw file with one header byte changed.
    auto patched = [&](int offset, std::uint8_t value) {
        Bytes bytes = raw;
        bytes[offset] = value;
        return bytes;
    };
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.resize(64, 0);
    const std::pair<const char*, Bytes> broken[] = {
        {"nothing", {}},
        {"half a header", Bytes(raw.begin(), raw.begin() + 9)},
        {"a header alone", Bytes(raw.begin(), raw.begin() + 18)},
        {"raw pixels one byte short", Bytes(raw.begin(), raw.end() - 1)},
        {"run-length packets one byte short", Bytes(runs.begin(), runs.end() - 1)},
        {"a run-length packet missing", Bytes(runs.begin(), runs.end() - (1 + 3 * 4))},
        {"width 0", patched(12, 0)},
        {"height 0", patched(14, 0)},
        {"image type 0", patched(2, 0)},
        {"image type 4", patched(2, 4)},
        {"12 bits a pixel", patched(16, 12)},
        {"an id longer than the file", patched(0, 200)},
        {"colour map type 2", patched(1, 2)},
        {"a PNG signature", png},
    };
    for (const auto& [what, bytes] : broken) EXPECT_FALSE(decodeTga(bytes.data(), bytes.size(), image)) << what;
}

// Loads the picture, written as a TGA file of the given layout, into a new
// texture left bound; 0 when loading fails.
GLuint loadIntoNewTexture(const Picture& picture, const TgaLayout& layout) {
    const fs::path path = fs::temp_directory_path() / ("tubechain-" + std::to_string(getpid()) + ".tga");
    const Bytes bytes = tgaBytes(picture, layout);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const bool loaded = loadTextureImage(path.c_str());
    fs::remove(path);
    if (!loaded) glDeleteTextures(1, &texture);
    return loaded ? texture : 0;
}

// Texel (column, row) of a level of the bound texture, as RGBA.
std::vector<std::uint8_t> boundTexels(int level, int& width, int& height) {
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
    std::vector<std::uint8_t> texels(static_cast<std::size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

TEST(TextureImage, PutsThePicturesLowerLeftCornerAtTheFirstTexelInEitherOrigin) {
    sharedWindow();
    // 2 x 4: RGB rows of 6 bytes, which only a tight unpack alignment reads
    // right.
    Picture picture{2, 4, {}};
    for (int i = 0; i < 8; ++i)
        picture.seen.push_back({static_cast<std::uint8_t>(30 * i), static_cast<std::uint8_t>(255 - 30 * i),
                                static_cast<std::uint8_t>(i * 7), 255});
    for (bool topRowFirst : {false, true}) {
        SCOPED_TRACE(topRowFirst ? "top row first" : "bottom row first");
        GLuint texture = loadIntoNewTexture(picture, {24, topRowFirst, false, false, 0});
        ASSERT_NE(texture, 0u);
        GLint alignment = 0;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        EXPECT_EQ(alignment, 4) << "the unpack alignment is put back";

        int width = 0, height = 0;
        const std::vector<std::uint8_t> texels = boundTexels(0, width, height);
        ASSERT_EQ(width, 2);
        ASSERT_EQ(height, 4);
        for (int t = 0; t < 4; ++t)
            for (int s = 0; s < 2; ++s) {
                const Rgba expected = picture.at(s, 3 - t);
                for (int channel = 0; channel < 3; ++channel)
                    EXPECT_EQ(texels[(t * 2 + s) * 4 + channel], expected[channel]) << s << "," << t;
            }
        // The full chain down to 1 x 1.
        for (int level = 1; level <= 2; ++level) {
            boundTexels(level, width, height);
            EXPECT_EQ(width, 1) << level;
            EXPECT_EQ(height, 4 >> level) << level;
        }
        GLint minFilter = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_NEAREST);
        glDeleteTextures(1, &texture);
    }
    EXPECT_FALSE(loadTextureImage("/no/such/image.tga"));
}

TEST(TextureImage, KeepsTheAlphaChannel) {
    sharedWindow();
    Picture picture{2, 2, {{255, 255, 255, 0}, {255, 255, 255, 64}, {255, 255, 255, 128}, {255, 255, 255, 255}}};
    GLuint texture = loadIntoNewTexture(picture, {32, true, false, true, 0});
    ASSERT_NE(texture, 0u);
    int width = 0, height = 0;
    const std::vector<std::uint8_t> texels = boundTexels(0, width, height);
    ASSERT_EQ(texels.size(), 16u);
    // Bottom row first: the picture's second row, then its first.
    EXPECT_EQ(texels[3], 128);
    EXPECT_EQ(texels[7], 255);
    EXPECT_EQ(texels[11], 0);
    EXPECT_EQ(texels[15], 64);
    glDeleteTextures(1, &texture);
}

// Runs loadTextures with the working directory in a copy of the game's data.
struct InDataCopy {
    DataCopy data;
    fs::path previous = fs::current_path();
    InDataCopy() { fs::current_path(data.folder); }
    ~InDataCopy() { fs::current_path(previous); }
};

GLint levelWidth(GLuint texture, int level) {
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    return width;
}

TEST(TextureSlots, WithAllSixFilesTheSlotsHoldSixDistinctNamesAndSlotSixStaysBound) {
    sharedWindow();
    TextureSlots slots = {};
    ASSERT_TRUE(loadTextures(slots));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), slots[lightningTexture]);
    EXPECT_EQ(slots[0], 0u);
    for (int slot = 1; slot <= 6; ++slot) {
        EXPECT_NE(slots[slot], 0u);
        for (int other = 1; other < slot; ++other) EXPECT_NE(slots[slot], slots[other]);
    }
    // Each slot holds its own file's picture.
    for (int slot = 1; slot <= 6; ++slot) {
        static const char* files[7] = {nullptr,          "Font.tga",   "Tube.tga",     "Ends.tga",
                                       "Background.tga", "Cursor.tga", "Lightning.tga"};
        Image image;
        ASSERT_TRUE(readTgaFile((fs::path("Texture") / files[slot]).c_str(), image)) << files[slot];
        glBindTexture(GL_TEXTURE_2D, slots[slot]);
        int width = 0, height = 0;
        const std::vector<std::uint8_t> texels = boundTexels(0, width, height);
        ASSERT_EQ(width, image.width) << files[slot];
        ASSERT_EQ(height, image.height) << files[slot];
        ASSERT_EQ(image.channels, 4) << files[slot];
        EXPECT_TRUE(std::equal(texels.begin(), texels.end(), image.pixels.begin())) << files[slot];
    }
    deleteTextures(slots);
    EXPECT_EQ(slots[1], 0u);
}

TEST(TextureSlots, AMissingOrBrokenImageStopsTheLoadingThere) {
    sharedWindow();
    {
        InDataCopy copy;
        fs::remove("Texture/Cursor.tga");
        TextureSlots slots = {};
        EXPECT_FALSE(loadTextures(slots));
        for (int slot = 1; slot <= 4; ++slot) EXPECT_GT(levelWidth(slots[slot], 0), 0) << slot;
        EXPECT_EQ(levelWidth(slots[cursorTexture], 0), 0);
        // Slot 6 was never bound, so its name holds no texture object yet.
        EXPECT_FALSE(glIsTexture(slots[lightningTexture]));
        glDeleteTextures(6, &slots[1]);
    }
    {
        InDataCopy copy;
        std::ofstream("Texture/Tube.tga", std::ios::binary) << "not a picture at all, but long enough to be read";
        TextureSlots slots = {};
        EXPECT_FALSE(loadTextures(slots));
        EXPECT_GT(levelWidth(slots[fontTexture], 0), 0);
        EXPECT_FALSE(glIsTexture(slots[endsTexture]));
        glDeleteTextures(6, &slots[1]);
    }
}

}  // namespace
