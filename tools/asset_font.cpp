// The font picture: a 16 x 16 grid of 16-pixel cells, glyph g in column
// g % 16 and row g / 16 counted from the top. Glyphs 0..127 are the
// characters 32..159 in white with soft edges in alpha; glyphs 128..255 are
// the same characters again, white inside a dark outline. Rendered with
// FreeType from DejaVu Sans Mono Bold.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>

#include "asset_files.h"

namespace {

constexpr const char* fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
constexpr int cell = 16;         // pixels per glyph cell
constexpr int baseline = 12;     // pixel row of the baseline inside a cell, from its top
constexpr int pixelWidth = 20;   // nominal em width: the monospaced advance becomes 12 pixels
constexpr int pixelHeight = 15;  // nominal em height

// One character's coverage in a cell, 0..1, row 0 at the top.
std::vector<double> renderGlyph(FT_Face face, unsigned code) {
    std::vector<double> coverage(cell * cell, 0.0);
    if (code < 33 || code > 126) return coverage;  // space and the codes with no printable glyph stay empty
    if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
        throw std::runtime_error("FreeType cannot render a glyph");
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    const int advance = static_cast<int>(slot->advance.x >> 6);
    const int left = (cell - advance) / 2 + slot->bitmap_left;
    const int top = baseline - slot->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        for (unsigned column = 0; column < bitmap.width; ++column) {
            const int x = left + static_cast<int>(column), y = top + static_cast<int>(row);
            if (x < 0 || x >= cell || y < 0 || y >= cell) continue;
            const unsigned char value = bitmap.buffer[static_cast<size_t>(row) * bitmap.pitch + column];
            coverage[static_cast<size_t>(y * cell + x)] = value / 255.0;
        }
    }
    return coverage;
}

}  // namespace

void writeFont(const std::filesystem::path& root) {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0) throw std::runtime_error("FreeType does not start");
    if (FT_New_Face(library, fontPath, 0, &face) != 0) {
        FT_Done_FreeType(library);
        throw std::runtime_error(std::string("cannot open the font ") + fontPath);
    }
    FT_Set_Pixel_Sizes(face, pixelWidth, pixelHeight);

    Image image = makeImage(cell * 16, cell * 16);
    for (int g = 0; g < 128; ++g) {
        const std::vector<double> coverage = renderGlyph(face, static_cast<unsigned>(g + 32));
        const int cellX = (g % 16) * cell, plainY = (g / 16) * cell, outlinedY = (g / 16 + 8) * cell;
        for (int y = 0; y < cell; ++y) {
            for (int x = 0; x < cell; ++x) {
                const double a = coverage[static_cast<size_t>(y * cell + x)];
                float* plain = pixelAt(image, cellX + x, plainY + y);
                plain[0] = plain[1] = plain[2] = 1.0f;
                plain[3] = static_cast<float>(a);
                // The outline: the coverage spread by one pixel, dark where the
                // glyph itself is not.
                double spread = a;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int sx = x + dx, sy = y + dy;
                        if (sx < 0 || sx >= cell || sy < 0 || sy >= cell) continue;
                        spread = std::max(spread, coverage[static_cast<size_t>(sy * cell + sx)]);
                    }
                }
                float* outlined = pixelAt(image, cellX + x, outlinedY + y);
                const double grey = spread > 0 ? a / spread : 1.0;
                outlined[0] = outlined[1] = outlined[2] = static_cast<float>(grey);
                outlined[3] = static_cast<float>(spread);
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    writeTga(root / "Texture" / "Font.tga", image);
}
