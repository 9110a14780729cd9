// The game's one record, owned by the frame loop from start-up to shutdown,
// and the three stages of a run: start-up, one frame, shutdown.
#pragma once

#include <cstdint>

#include "assets/textures.h"
#include "game/game_state.h"
#include "render/frame_target.h"
#include "render/scene.h"
#include "render/score_texture.h"
#include "render/window.h"
#include "sound/sound_bank.h"

struct GLFWwindow;

struct Game {
    GameState state;
    GLFWwindow* window = nullptr;
    ViewSettings view;
    FrameTarget frameTarget;  // straight on the window, or off screen and shown scaled
    Light light = {};
    TextureSlots textureSlots = {};
    std::uint32_t fontListBase = 0;  // first of the 256 glyph lists
    Models models = {};              // tubeModel, tube2Model, stageModel at 1..3
    std::uint32_t scoreTexture = 0;
    ScoreText scoreText;  // what scoreTexture holds
    SoundBank sound;
    SceneLists sceneLists;
};

// What a frame reads: the pointer and the buttons, as levels gathered at the
// previous buffer swap, and the window's size as it stands.
struct FrameInput {
    std::int32_t mouseX = 0;  // frame pixels from the top left, y down, unbounded
    std::int32_t mouseY = 0;
    bool leftButton = false;
    bool rightButton = false;
    std::int32_t windowWidth = 1024;  // the window's frame buffer, pixels
    std::int32_t windowHeight = 768;
};

// Where the frame holds the system pointer: the pointer clamped to 1..width
// and 1..height, in frame pixels.
struct PointerHold {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Set-up
// The allocator's settings, then window, light, textures, font, models,
// board, score texture, sound bank and scene lists, in that order. On a
// failure it prints the one-line message, releases what its step made and
// returns false: the process then ends with status 1.
bool startUp(Game& game);

// Per frame
// Clamps the pointer into the window, lower bound first.
PointerHold holdPointer(std::int32_t mouseX, std::int32_t mouseY, const ViewSettings& view);

// One frame, from the score pass to the cursor, shown on the window; the
// caller then moves the system pointer to the returned hold, swaps the
// buffers and tests Escape.
PointerHold runFrame(Game& game, const FrameInput& input);

// The stages of a frame, in the order runFrame runs them (the benchmark
// times them one by one):
// where the frame is drawn, for the window's size;
void beginGameFrame(Game& game, const FrameInput& input);
// the score texture from the previous frame's score and best (drawn only
// when they changed), and the listener;
void runScorePass(Game& game);
// the pointer as read (hoveredTube back to 0), returning where to hold it;
PointerHold readPointer(Game& game, const FrameInput& input);
// picking, only while the board was idle at the previous flag update;
void pickHoveredTube(Game& game);
// the buttons, the flags, the turns and chains, and the chain sound;
void runRules(Game& game, const FrameInput& input);
// the scene (stepping the lightning as the tubes are drawn) and the cursor;
void runScenePasses(Game& game);
// an off-screen frame shown on the whole window.
void showGameFrame(Game& game);

// Shutdown
// Releases everything in the reverse order of need and closes the window.
void shutDown(Game& game);
