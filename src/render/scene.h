// The scene passes of a frame: projection, camera and light; the stage into
// the stencil with the score written on it; the tube shadows; the
// tubes with their lightning and the outline of the tube under the pointer.
#pragma once

#include <array>
#include <cstdint>

#include "assets/model.h"
#include "assets/textures.h"
#include "game/game_state.h"
#include "game/view.h"

// Four consecutive display lists from one glGenLists(4).
struct SceneLists {
    std::uint32_t tubeList = 0;       // the tube with its materials
    std::uint32_t lightningList = 0;  // the lightning shell with the lightning texture
    std::uint32_t outlineList = 0;    // the tube as white lines
    std::uint32_t shadowList = 0;     // the tube in translucent black
};

// The loaded meshes, entries 1..3; entry 0 is unused.
using Models = std::array<Model*, 4>;
inline constexpr int tubeModelEntry = 1;
inline constexpr int tube2ModelEntry = 2;
inline constexpr int stageModelEntry = 3;

// Set-up
SceneLists buildSceneLists(const Models& models, const TextureSlots& textureSlots);

// Per frame
// Passes 2 to 6, one after the other, showing the state as the frame's
// rules left it.
void renderScene(const GameState& state, const SceneLists& lists, const Models& models,
                 const TextureSlots& textureSlots, std::uint32_t scoreTexture, const ViewSettings& view,
                 const Light& light);

// The passes of renderScene on their own, in the order it runs them.
// Pass 2: the perspective, the camera and the light at its world point.
void setUpSceneView(const ViewSettings& view, const Light& light);
// Passes 3 and 4: the unlit stage with its materials, writing stencil 1
// wherever it covers the screen, then the score texture over it.
void drawStageWithScore(const Model& stageModel, const TextureSlots& textureSlots, std::uint32_t scoreTexture);
// Pass 5: every tube flattened onto the floor (face 0 of the stage) along the
// light's rays, only on the stage and darkening each pixel once.
void drawShadows(const Board& board, const SceneLists& lists, const Model& stageModel, const Light& light);
// Pass 6: the tubes 1..225, each with the lightning its step showed this
// frame, and the outline of the hovered tube.
void drawTubes(const GameState& state, const SceneLists& lists);

// Shutdown
void deleteSceneLists(const SceneLists& lists);
