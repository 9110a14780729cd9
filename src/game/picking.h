// Finds the tube under the pointer by drawing the board once more in GL's
// selection mode through a one-pixel pick region.
#pragma once

#include <cstdint>

#include "assets/model.h"
#include "game/board.h"
#include "game/view.h"

// Per frame
// The tube under the pointer (window pixels, y down, as read), 1..225, or 0.
// Leaves the projection as it was and the modelview current, holding the camera.
std::int32_t pickTube(std::int32_t mouseX, std::int32_t mouseY, const Board& board, const Model& tubeModel,
                      const ViewSettings& view, const Camera& camera);
