// Immediate-mode drawing of a loaded model, with its materials or as bare
// triangles.
#pragma once

#include "assets/model.h"
#include "assets/textures.h"

// Per frame (and while compiling display lists at start-up)
// Each material in turn: its GL material values, its colour, alpha blending
// and its slot texture, then its triangles. Leaves blending and texturing off.
void drawModel(const Model& model, const TextureSlots& textureSlots);

// All triangles in one batch, with texture coordinates and normals but no
// other state change.
void drawModelGeometry(const Model& model);
