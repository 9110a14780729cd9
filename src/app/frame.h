// One frame of the game as the player gets it, from reading the input to the
// buffer swap and the pacer, run by the loop, the benchmark and the tests
// alike. What differs between them is where the input comes from and
// whether frames are paced; the benchmark times the frame stage by stage.
#pragma once

#include <cstdint>

#include "app/game.h"
#include "game/pacer.h"
#include "render/frame_target.h"

// What a frame reads: the pointer, the buttons and Escape, as levels
// gathered at the previous buffer swap.
struct FrameInput {
    std::int32_t mouseX = 0;  // frame pixels from the top left, y down, unbounded
    std::int32_t mouseY = 0;
    bool leftButton = false;
    bool rightButton = false;
    bool escape = false;  // the game ends after this frame
};

// Where the frame holds the system pointer: the pointer clamped to 1..width
// and 1..height, in frame pixels.
struct PointerHold {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A run of frames: how they meet the world, and what one frame hands the next.
struct FramePlay {
    bool fromWindow = true;  // read the input off the window; otherwise take `given`
    FrameInput given;        // the next frame's input when not fromWindow
    bool paced = true;       // hold every frame to at most 60 a second
    FramePacer pacer;
    bool ended = false;  // Escape or a close request ended the run

    // This frame's, as its stages set them.
    FrameInput input;
    std::int32_t windowWidth = 0;  // the window's frame buffer, pixels
    std::int32_t windowHeight = 0;
    Letterbox pointerBox;  // the frame's place in the window, in window pixels
    PointerHold hold;
};

// The stages of a frame, in order.
enum class FrameStage {
    input,    // the window's size, the pointer, the buttons and Escape
    begin,    // where the frame is drawn, for the window's size
    score,    // the score texture (drawn only when score or best changed), and the listener
    pointer,  // the pointer as read (hoveredTube back to 0), and where to hold it
    pick,     // picking, while the board was idle at the last flag update
    rules,    // the rules, which leave the frame's sounds
    sound,    // those sounds played
    scene,    // the scene and the cursor
    show,     // an off-screen frame shown on the whole window
    hold,     // the system pointer held inside the window
    swap,     // the buffer swap
    pace,     // the pacer's hold, when paced
    events,   // the window's events gathered; Escape or a close request ends the run
    done,
};

// Clamps the pointer into the frame, lower bound first.
PointerHold holdPointer(std::int32_t mouseX, std::int32_t mouseY, const ViewSettings& view);

// Per frame
// Runs one stage and returns the next: done after the last, and right after
// the input when the window is minimised or has no pixels (it has waited
// for something to show it again, or to close it).
FrameStage runFrameStage(Game& game, FramePlay& play, FrameStage stage);
// Runs the stages from `from` up to, not including, `until` (or done).
FrameStage runFrameStages(Game& game, FramePlay& play, FrameStage from, FrameStage until);
// One whole frame.
void runFrame(Game& game, FramePlay& play);
