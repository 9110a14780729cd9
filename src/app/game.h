// The game's one record, owned by the frame loop from start-up to shutdown:
// everything the game sets up, the state the rules play with, and what the
// frame needs from one frame to the next.
#pragma once

#include <cstdint>

#include "assets/textures.h"
#include "game/game_state.h"
#include "game/view.h"
#include "render/frame_target.h"
#include "render/scene.h"
#include "render/score_texture.h"
#include "sound/sound_bank.h"

struct GLFWwindow;

struct Game {
    GameState state;
    GLFWwindow* window = nullptr;
    ViewSettings view;
    FrameTarget frameTarget;  // straight on the window, or off screen and shown scaled
    Light light = {};
    TextureSlots textureSlots = {};
    std::uint32_t fontListBase = 0;  // first of the glyph lists
    Models models = {};              // tubeModel, tube2Model, stageModel at 1..3
    std::uint32_t scoreTexture = 0;
    ScoreText scoreText;  // what scoreTexture holds
    SoundBank sound;
    SceneLists sceneLists;
};

// Set-up
// The data folder and the allocator's settings, then window, light,
// textures, font, models, board, score texture, sound bank and scene lists,
// in that order. On a failure it prints the one-line message, releases what
// its step made and returns false: the process then ends with status 1.
bool startUp(Game& game);

// Shutdown
// Releases everything in the reverse order of need and closes the window.
void shutDown(Game& game);
