// Two passes in window space: the score pass that writes "Score" and "Best"
// into a texture laid over the stage, and the cursor square at the pointer.
#pragma once

#include <cstdint>

#include "assets/textures.h"
#include "render/window.h"

// Set-up
// A 256 x 256 RGBA texture with linear filters; returns its GL name.
std::uint32_t createScoreTexture();

// Per frame
// First pass of a frame: the background image and the two lines drawn into
// the lower-left 256 x 256 pixels and copied into scoreTexture; then the
// buffers are cleared and the viewport is the whole window again.
void renderScoreTexture(std::int32_t score, std::int32_t best, std::uint32_t scoreTexture, std::uint32_t fontListBase,
                        const TextureSlots& textureSlots, const ViewSettings& view);

// Last pass of a frame: the cursor image with its top-left corner on the
// pointer (window pixels, y down, as read), growing towards the bottom.
void drawCursor(std::int32_t mouseX, std::int32_t mouseY, const TextureSlots& textureSlots, const ViewSettings& view);
