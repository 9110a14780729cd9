// The score pass read back from its texture with a font whose glyphs can be
// told apart, and the cursor pass on the window.
#include "render/score_texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "render/font.h"
#include "render/render_test_support.h"
#include "support/test_support.h"

namespace {

// A font whose glyphs can be told apart on the picture: glyph 0 (space) is
// clear; every other cell is opaque except in its top texel row, where
// columns 0..7 are opaque exactly for the set bits of the glyph number.
Picture codedFont() {
    Picture font = blankPicture(256, 256, 255, 255, 255, 0);
    for (int glyph = 1; glyph < 256; ++glyph) {
        const int left = (glyph % 16) * 16;
        const int top = 255 - (glyph / 16) * 16;  // the grid's row 0 is the picture's top
        for (int row = 0; row < 16; ++row) {
            for (int column = 0; column < 16; ++column) {
                const bool opaque = row != 0 || column >= 8 || (glyph >> column & 1);
                font.at(left + column, top - row)[3] = opaque ? 255 : 0;
            }
        }
    }
    return font;
}

constexpr std::uint8_t background[4] = {230, 210, 170, 255};

bool dark(const std::uint8_t* p) { return p[0] < 40 && p[1] < 40 && p[2] < 40; }
bool near(const std::uint8_t* p, const std::uint8_t* q, int tolerance) {
    for (int k = 0; k < 4; ++k) {
        if (std::abs(p[k] - q[k]) > tolerance) return false;
    }
    return true;
}

struct ScoreFixture : ::testing::Test {
    static void SetUpTestSuite() {
        sharedWindow();
        listBase = glGenLists(256);
        buildFontLists(listBase);
        slots[fontTexture] = makeTexture(codedFont(), GL_NEAREST);
        slots[backgroundTexture] =
            makeTexture(blankPicture(64, 64, background[0], background[1], background[2], background[3]), GL_NEAREST);
        scoreTexture = createScoreTexture();
    }

    // The score pass as the first frame meets it (blending off, as the GL
    // default leaves it) or as every later one does (the cursor's blending).
    static Picture scorePass(std::int32_t score, std::int32_t best, bool blendingCarriedOver,
                             const TextureSlots& textureSlots = slots) {
        if (blendingCarriedOver) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        } else {
            glDisable(GL_BLEND);
        }
        glColor4f(1, 1, 1, 1);
        renderScoreTexture(score, best, scoreTexture, listBase, textureSlots, sharedView());
        return readTexture(scoreTexture);
    }

    // The glyph numbers written on the line whose glyphs start at row y,
    // read from the coded top rows; -1 where a cell holds no glyph (a space
    // or the background).
    static std::vector<int> glyphsOnLine(const Picture& texture, int y) {
        std::vector<int> glyphs;
        for (int cell = 0; cell < 16; ++cell) {
            const int left = cell * 16;
            if (!dark(texture.at(left + 12, y + 15))) {
                glyphs.push_back(-1);
                continue;
            }
            int glyph = 0;
            for (int bit = 0; bit < 8; ++bit) glyph |= dark(texture.at(left + bit, y + 15)) << bit;
            glyphs.push_back(glyph);
        }
        while (!glyphs.empty() && glyphs.back() == -1) glyphs.pop_back();
        return glyphs;
    }

    static std::vector<int> glyphsOf(const std::string& text) {
        std::vector<int> glyphs;
        for (char c : text) glyphs.push_back(c == ' ' ? -1 : c - 32);
        return glyphs;
    }

    static inline GLuint listBase = 0;
    static inline TextureSlots slots = {};
    static inline GLuint scoreTexture = 0;
};

TEST_F(ScoreFixture, WritesBothLinesInBlackOverTheBackgroundAndNothingElse) {
    for (bool blending : {false, true}) {
        SCOPED_TRACE(blending ? "blending carried over" : "first frame");
        const Picture texture = scorePass(0, 0, blending);
        ASSERT_EQ(texture.width, 256);
        ASSERT_EQ(texture.height, 256);
        EXPECT_EQ(glyphsOnLine(texture, 235), glyphsOf("Score 0"));
        EXPECT_EQ(glyphsOnLine(texture, 215), glyphsOf("Best 0"));

        // Below the coded top rows the glyphs are solid: every pixel of a
        // drawn glyph is dark, every other pixel is the background.
        int darkPixels = 0, wrongPixels = 0;
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const bool scoreGlyph = y >= 235 && y < 250 && x < 16 * 7 && !(x >= 80 && x < 96);
                const bool bestGlyph = y >= 215 && y < 230 && x < 16 * 6 && !(x >= 64 && x < 80);
                const bool codedRow = (y == 250 && x < 16 * 7) || (y == 230 && x < 16 * 6);
                if (codedRow) continue;
                const std::uint8_t* p = texture.at(x, y);
                if (scoreGlyph || bestGlyph) {
                    darkPixels += dark(p);
                    wrongPixels += !dark(p) || p[3] < 250;
                } else {
                    wrongPixels += !near(p, background, 2);
                }
            }
        }
        EXPECT_EQ(darkPixels, 15 * 16 * (6 + 5));
        EXPECT_EQ(wrongPixels, 0);
    }
}

TEST_F(ScoreFixture, NumbersHaveNoPaddingAndKeepTheirSign) {
    const Picture texture = scorePass(-42, 7, true);
    EXPECT_EQ(glyphsOnLine(texture, 235), glyphsOf("Score -42"));
    EXPECT_EQ(glyphsOnLine(texture, 215), glyphsOf("Best 7"));
}

TEST_F(ScoreFixture, SixteenCharactersFillTheWidthAndMoreAreCutAtTheEdge) {
    Picture texture = scorePass(1234567890, 987654321, true);
    EXPECT_EQ(glyphsOnLine(texture, 235), glyphsOf("Score 1234567890"));
    EXPECT_EQ(glyphsOnLine(texture, 215), glyphsOf("Best 987654321"));
    for (int y = 235; y < 250; ++y) EXPECT_TRUE(dark(texture.at(255, y))) << "row " << y;

    texture = scorePass(-1234567890, 0, true);
    EXPECT_EQ(glyphsOnLine(texture, 235), glyphsOf("Score -123456789"));
}

TEST_F(ScoreFixture, BlendsTheBackgroundOnlyWhenThePreviousFrameLeftBlendingOn) {
    // A half-transparent background shows whether the pass blends it over
    // the cleared buffer (black, alpha 1).
    TextureSlots halfClear = slots;
    halfClear[backgroundTexture] = makeTexture(blankPicture(64, 64, 200, 100, 50, 128), GL_NEAREST);

    const Picture unblended = scorePass(0, 0, false, halfClear);
    const std::uint8_t asLoaded[4] = {200, 100, 50, 128};
    EXPECT_TRUE(near(unblended.at(200, 100), asLoaded, 1));

    const Picture blended = scorePass(0, 0, true, halfClear);
    // Colour times a, alpha a * a + (1 - a).
    const std::uint8_t overBlack[4] = {100, 50, 25, 191};
    EXPECT_TRUE(near(blended.at(200, 100), overBlack, 2))
        << int(blended.at(200, 100)[0]) << " " << int(blended.at(200, 100)[3]);
    glDeleteTextures(1, &halfClear[backgroundTexture]);
}

TEST_F(ScoreFixture, LeavesTheWholeWindowClearedAsItsViewport) {
    const ViewSettings& view = sharedView();
    scorePass(99, 99, true);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], view.width);
    EXPECT_EQ(viewport[3], view.height);

    // None of the pass stays in the frame buffer.
    const Picture corner = readFrame(256, 256);
    const std::vector<std::uint8_t> stencil = readStencil(256, 256);
    for (std::size_t i = 0; i < corner.rgba.size(); i += 4) {
        ASSERT_TRUE(corner.rgba[i] == 0 && corner.rgba[i + 1] == 0 && corner.rgba[i + 2] == 0) << "pixel " << i / 4;
    }
    EXPECT_EQ(*std::max_element(stencil.begin(), stencil.end()), 0);
}

// The cursor image: white with a red top-left texel, the hot spot.
struct CursorFixture : ::testing::Test {
    static void SetUpTestSuite() {
        sharedWindow();
        Picture cursor = blankPicture(4, 4, 255, 255, 255, 255);
        std::uint8_t* hotSpot = cursor.at(0, 3);
        hotSpot[1] = hotSpot[2] = 0;
        slots[cursorTexture] = makeTexture(cursor, GL_NEAREST);
    }

    // The window pixels the cursor covers, in window coordinates (y down).
    struct Box {
        int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;  // inclusive
        int width() const { return right - left + 1; }
        int height() const { return bottom - top + 1; }
    };
    static Box drawnCursor(int mouseX, int mouseY, Picture* frame = nullptr) {
        const ViewSettings& view = sharedView();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawCursor(mouseX, mouseY, slots, view);
        const Picture picture = readFrame(view.width, view.height);
        Box box;
        for (int y = 0; y < view.height; ++y) {
            for (int x = 0; x < view.width; ++x) {
                if (picture.at(x, y)[0] < 128) continue;
                const int windowY = view.height - 1 - y;
                box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                box.top = std::min(box.top, windowY), box.bottom = std::max(box.bottom, windowY);
            }
        }
        if (frame) *frame = picture;
        return box;
    }

    static inline TextureSlots slots = {};
};

TEST_F(CursorFixture, GrowsFromAboutFifteenPixelsAtTheTopToFortyFiveAtTheBottom) {
    const Box top = drawnCursor(300, 1);
    EXPECT_NEAR(top.width(), 15, 1);
    EXPECT_NEAR(top.height(), 15, 1);

    const Box middle = drawnCursor(300, 384);
    EXPECT_NEAR(middle.width(), 30, 1);

    // At the last row only one row of the square is still in the window.
    const Box bottom = drawnCursor(600, 767);
    EXPECT_NEAR(bottom.width(), 45, 1);
    EXPECT_EQ(bottom.height(), 1);

    // The pointer as read, before any clamp: just beyond the top-left corner
    // the square is smaller still, and only its lower-right part shows.
    const Box beyond = drawnCursor(-5, -5);
    const double side = 2 * 15.0 * (-5 + 384) / 768;  // 14.8
    EXPECT_EQ(beyond.left, 0);
    EXPECT_EQ(beyond.top, 0);
    EXPECT_NEAR(beyond.right, -5 + side - 1, 1);
    EXPECT_NEAR(beyond.bottom, -5 + side - 1, 1);
}

TEST_F(CursorFixture, PutsTheImageTopLeftCornerOnThePointer) {
    const ViewSettings& view = sharedView();
    for (auto [x, y] : {std::pair{300, 1}, {17, 500}, {1000, 700}}) {
        Picture frame;
        const Box box = drawnCursor(x, y, &frame);
        EXPECT_EQ(box.left, x);
        EXPECT_EQ(box.top, y);
        const std::uint8_t* hotSpot = frame.at(x, view.height - 1 - y);
        EXPECT_EQ(hotSpot[0], 255);
        EXPECT_EQ(hotSpot[1], 0) << "the pointer pixel shows the image's top-left texel";
        const std::uint8_t* farCorner = frame.at(box.right, view.height - 1 - box.bottom);
        EXPECT_EQ(farCorner[1], 255);
    }
}

// The sign for no sound: the same grey whatever blending the tubes left on
// (a lit tube drawn last leaves the lightning's), and that blending handed on.
TEST(MuteSign, IsTheSameGreyAfterTheLightningsBlendingAndLeavesItOn) {
    sharedWindow();
    const ViewSettings& view = sharedView();
    const auto drawnSign = [&] {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawMuteSign(view);
        return readFrame(view.width, view.height);
    };
    glDisable(GL_BLEND);
    const Picture plain = drawnSign();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_SRC_ALPHA_SATURATE);
    const Picture afterLightning = drawnSign();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);

    // The box of the loudspeaker, 36 pixels left of the right edge and 28 below the top.
    const std::uint8_t* box = plain.at(view.width - 37, view.height - 29);
    EXPECT_EQ(box[0], 153);
    EXPECT_TRUE(plain.rgba == afterLightning.rgba)
        << "grey " << int(afterLightning.at(view.width - 37, view.height - 29)[0]);
}

}  // namespace
