// The game's one record, owned by the frame loop from start-up to shutdown:
// everything the game sets up, the state the rules play with, and what the
// frame needs from one frame to the next.
#pragma once

#include <cstdint>

#include "app/keep.h"
#include "assets/textures.h"
#include "game/game_state.h"
#include "game/steering.h"
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
    Settings settings;  // full screen or a window, sound on or off; the game as it always was by default
    Keeping keeping;    // where the best and the settings are kept; nowhere by default
    Steering steering;  // the keys' and a gamepad's pointer
    // The GLFW keys that type m and r on the player's keyboard (GLFW's
    // letter keys are their capitals' codes).
    int muteKey = 'M';
    int shuffleKey = 'R';
};

// Set-up
// The data folder and the allocator's settings, then window (full screen or
// in a window as the settings say), light, textures, font, models, board,
// score texture, sound bank (muted as the settings say) and scene lists, in
// that order. On a failure it prints the one-line message, releases what
// its step made and returns false: the process then ends with status 1.
bool startUp(Game& game);

// Shutdown
// Keeps where the window stands (when the game is in one) with the
// settings, then releases everything in the reverse order of need and
// closes the window.
void shutDown(Game& game);
