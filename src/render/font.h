// Monospaced bitmap text from the 16 x 16 glyph grid of the font image,
// one display list per glyph, printed in a 256 x 256 text space of its own.
#pragma once

#include <cstdint>
#include <string_view>

#include "assets/textures.h"

// One display list for each glyph of the font picture's 16 x 16 grid.
inline constexpr int glyphCount = 256;

// Set-up
// Compiles glyph g = 0..glyphCount - 1 into list fontListBase + g: a 16 x 16 unit quad
// of its grid cell, then a pen move of 16 units to the right.
void buildFontLists(std::uint32_t fontListBase);

// Per frame
// Saves the projection and modelview matrices and sets the 256 x 256 text
// space (origin bottom left, y up) with an identity modelview; popTextSpace
// restores both, leaving the modelview matrix current.
void pushTextSpace();
void popTextSpace();

// Draws text with its first glyph's lower-left corner at (x, y) of the
// 256 x 256 text space (origin bottom left, y up), in the current colour,
// one 16-unit cell a character. A character's glyph is its code less 32 (the
// font picture starts at the space); codes below 32 wrap round to the last
// glyphs. Leaves depth test and lighting on, texturing and blending off.
void printText(std::int32_t x, std::int32_t y, std::string_view text, std::uint32_t fontListBase,
               const TextureSlots& textureSlots);
