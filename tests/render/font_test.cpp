#include "render/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "render/render_test_support.h"
#include "render/window.h"
#include "support/test_support.h"

namespace {

// One glyph as it reached GL: its cell in the font grid, read back from the
// texture coordinates, and its square in the 256 x 256 viewport.
struct DrawnGlyph {
    int glyph;
    float left, bottom, right, top;  // window pixels
};

struct FontFixture : ::testing::Test {
    static void SetUpTestSuite() {
        sharedWindow();
        listBase = glGenLists(glyphCount);
        buildFontLists(listBase);
        slots[fontTexture] = makeTexture(blankPicture(256, 256, 255, 255, 255, 255), GL_NEAREST);
    }
    void SetUp() override { glViewport(0, 0, 256, 256); }
    void TearDown() override {
        const ViewSettings& view = sharedView();
        glViewport(0, 0, view.width, view.height);
    }

    // Every glyph of a print, left to right. The glyph's cell comes from the
    // smallest s and the largest t among its corners: (s0, t1) is the cell's
    // top-left corner, row 0 at the top of the image.
    static std::vector<DrawnGlyph> printed(std::int32_t x, std::int32_t y, const std::string& text) {
        const auto polygons = feedbackPolygons([&] { printText(x, y, text, listBase, slots); });
        std::vector<DrawnGlyph> glyphs;
        for (const FeedbackPolygon& polygon : polygons) {
            float s0 = 2, t1 = -1;
            DrawnGlyph g{0, 1e9f, 1e9f, -1e9f, -1e9f};
            for (const FeedbackVertex& v : polygon) {
                s0 = std::min(s0, v.texCoord[0]);
                t1 = std::max(t1, v.texCoord[1]);
                g.left = std::min(g.left, v.x), g.right = std::max(g.right, v.x);
                g.bottom = std::min(g.bottom, v.y), g.top = std::max(g.top, v.y);
            }
            g.glyph = static_cast<int>(std::lround(s0 * 16)) + 16 * static_cast<int>(std::lround((1 - t1) * 16));
            // GL may split a quad into triangles: join the pieces of one glyph.
            if (!glyphs.empty() && glyphs.back().glyph == g.glyph && glyphs.back().left == g.left) {
                DrawnGlyph& last = glyphs.back();
                last.right = std::max(last.right, g.right), last.top = std::max(last.top, g.top);
                last.bottom = std::min(last.bottom, g.bottom);
            } else {
                glyphs.push_back(g);
            }
        }
        return glyphs;
    }

    static std::vector<int> glyphNumbers(const std::vector<DrawnGlyph>& glyphs) {
        std::vector<int> numbers;
        for (const DrawnGlyph& g : glyphs) numbers.push_back(g.glyph);
        return numbers;
    }

    static inline GLuint listBase = 0;
    static inline TextureSlots slots = {};
};

TEST_F(FontFixture, CodesMapToTheGridFromSpaceOneCellApart) {
    const auto glyphs = printed(10, 20, " 0123456789AS~");
    const std::vector<int> expected = {0, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 33, 51, 94};
    EXPECT_EQ(glyphNumbers(glyphs), expected);
    // Monospaced from the given corner: glyph n covers x 10 + 16 n .. 26 + 16 n and y 20 .. 36.
    for (std::size_t n = 0; n < glyphs.size(); ++n) {
        EXPECT_FLOAT_EQ(glyphs[n].left, 10 + 16.0f * n);
        EXPECT_FLOAT_EQ(glyphs[n].right, 26 + 16.0f * n);
        EXPECT_FLOAT_EQ(glyphs[n].bottom, 20);
        EXPECT_FLOAT_EQ(glyphs[n].top, 36);
    }
}

TEST_F(FontFixture, CodesBelowSpaceWrapRoundToTheLastGlyphs) {
    const std::string text = {'\x1f', '\x00', 'A'};
    EXPECT_EQ(glyphNumbers(printed(0, 0, text)), (std::vector<int>{255, 224, 33}));
}

TEST_F(FontFixture, PrintsInTheCurrentColourThroughTheGlyphAlpha) {
    // Glyph 33 ("A" in set 0) is opaque, every other cell clear.
    Picture font = blankPicture(256, 256, 255, 255, 255, 0);
    for (int y = 256 - 3 * 16; y < 256 - 2 * 16; ++y) {
        for (int x = 16; x < 32; ++x) font.at(x, y)[3] = 255;
    }
    TextureSlots own = {};
    own[fontTexture] = makeTexture(font, GL_NEAREST);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    glColor4f(1, 0, 0, 1);
    printText(100, 100, "BA", listBase, own);
    const Picture frame = readFrame(256, 256);
    glDeleteTextures(1, &own[fontTexture]);
    // "B" is clear and leaves the grey; "A" is red.
    EXPECT_EQ(frame.at(108, 108)[0], 128);
    EXPECT_EQ(frame.at(108, 108)[1], 128);
    EXPECT_EQ(frame.at(124, 108)[0], 255);
    EXPECT_EQ(frame.at(124, 108)[1], 0);
    EXPECT_EQ(frame.at(124, 99)[0], 128) << "below the line";
}

}  // namespace
