// What the rules play with: the board, the score and the flags that say
// whether the board is busy. Plain data, no GL.
#pragma once

#include <cstdint>

#include "game/board.h"

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
};
