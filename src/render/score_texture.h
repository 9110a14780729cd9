// Passes in window space: the score pass that writes "Score" and "Best" into
// a texture laid over the stage, the cursor square at the pointer, and the
// sign that the sound is off.
#pragma once

#include <cstdint>

#include "assets/textures.h"
#include "game/view.h"

// The score texture's side, pixels: the lower-left corner of the frame that
// the score pass draws into, and the font's text space.
inline constexpr int scoreTextureSize = 256;

// The text the score texture holds, so that it is drawn again only when the
// text changes.
struct ScoreText {
    bool drawn = false;      // the texture has been drawn at least once
    std::int32_t score = 0;  // the score and best it was drawn with
    std::int32_t best = 0;
};

// Set-up
// A 256 x 256 RGBA texture with linear filters; returns its GL name.
std::uint32_t createScoreTexture();

// Per frame
// First pass of a frame: the background image and the two lines drawn into
// the lower-left 256 x 256 pixels and copied into scoreTexture; then the
// buffers are cleared and the viewport is the whole window again.
void renderScoreTexture(std::int32_t score, std::int32_t best, std::uint32_t scoreTexture, std::uint32_t fontListBase,
                        const TextureSlots& textureSlots, const ViewSettings& view);
// The first pass of a frame as the game runs it: renderScoreTexture when
// the score or best differs from what shown says scoreTexture holds (or
// nothing was drawn yet), and true; otherwise only the buffers cleared, the
// viewport and the GL state as renderScoreTexture leaves them, and false.
bool updateScoreTexture(ScoreText& shown, std::int32_t score, std::int32_t best, std::uint32_t scoreTexture,
                        std::uint32_t fontListBase, const TextureSlots& textureSlots, const ViewSettings& view);

// Last pass of a frame: the cursor image with its top-left corner on the
// pointer (window pixels, y down, as read), growing towards the bottom.
void drawCursor(std::int32_t mouseX, std::int32_t mouseY, const TextureSlots& textureSlots, const ViewSettings& view);

// While the sound is off, before the cursor: a small loudspeaker crossed
// out, in grey, in the top-right corner of the frame, which the stage leaves
// black. Leaves texturing off; the cursor turns on what it needs.
void drawMuteSign(const ViewSettings& view);

// Shutdown
void deleteScoreTexture(std::uint32_t scoreTexture);
