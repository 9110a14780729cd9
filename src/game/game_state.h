// What the rules play with: the board, the score, the flags that say whether
// the board is busy, and the sounds the frame is to play. Plain data, no GL.
#pragma once

#include <array>
#include <cstdint>

#include "game/board.h"

// What the rules ask to be heard; the sound bank knows which voices play it.
enum class Voice : std::uint8_t {
    click,            // the pointer came onto another tube: at that tube
    turn,             // a click started a turn: at the clicked tube
    activate,         // a right click shuffled the board: at the camera's eye
    cervo,            // eight or more activations in one frame: beside the listener
    electricityPair,  // a lightning reached its spark frame: the next pair, at its tube
};

struct SoundEvent {
    Voice voice = Voice::click;
    float position[3] = {0, 0, 0};  // scene units; not used for the cervo voice
};

// A frame hears at most one spark from each tube and each other voice once.
inline constexpr int largestSoundEventCount = tubeCount + 4;

// The sounds of one frame, in the order the rules asked for them.
struct SoundEvents {
    std::array<SoundEvent, largestSoundEventCount> events;
    int count = 0;
};

struct GameState {
    Board board;
    std::int32_t score = 0;                // activations since the last accepted click
    std::int32_t best = 0;                 // highest score banked at an accepted click
    std::int32_t hoveredTube = 0;          // tube under the pointer this frame, 0 for none
    std::int32_t previousHoveredTube = 0;  // hoveredTube as last compared for the click voice
    Flag anyTubeTurning = 0;               // some tube was turning at the last flag update
    Flag anyLightning = 0;                 // some lightning ran at the last flag update
    std::int32_t mouseX = 0;               // pointer as read, frame pixels from the top left, y down
    std::int32_t mouseY = 0;

    // Set afresh in every frame.
    std::int32_t clickedTube = 0;           // tube the left button names this frame, 0 for none
    std::int32_t activationsThisFrame = 0;  // activations made by advanceTurns this frame
    Flag firstActivationDone = 0;           // the frame's first activation has been made
    SoundEvents sounds;                     // what this frame's rules ask to be heard
};
