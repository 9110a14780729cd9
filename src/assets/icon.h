// The game's icon, drawn from code at any size: one copper elbow seen from
// above, its grey collars at both open ends, lit from the upper left, on a
// transparent ground. Drawn per size rather than scaled, with a dark rim of
// at least about a pixel, so that the shape still reads at 16 pixels. The
// window shows it, and the asset generator writes the desktop's icons from it.
#pragma once

#include <cstdint>
#include <vector>

// RGBA in 0..1, size x size pixels, top row first.
std::vector<float> iconPixels(int size);

// The same as 8-bit RGBA, each channel rounded to the nearest step.
std::vector<std::uint8_t> iconBytes(int size);
