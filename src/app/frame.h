// One frame of the game as the player gets it, from reading the input to the
// buffer swap and the pacer, run by the loop, the benchmark and the tests
// alike. What differs between them is where the input comes from and
// whether frames are paced; the benchmark times the frame stage by stage.
#pragma once

#include <bitset>
#include <cstdint>

#include "app/game.h"
#include "game/pacer.h"
#include "game/steering.h"
#include "render/frame_target.h"

// What a frame reads: the pointer, the buttons, Escape and the keys, as
// levels gathered at the previous buffer swap.
struct FrameInput {
    std::int32_t mouseX = 0;  // frame pixels from the top left, y down, unbounded
    std::int32_t mouseY = 0;
    bool leftButton = false;
    bool rightButton = false;
    bool escape = false;             // Escape, or a gamepad's Start: the game ends after this frame
    SteeringInput keys = {};         // the keyboard's and a gamepad's directions and buttons
    bool fullScreenPressed = false;  // F11, or Enter with Alt, went down: full screen or a window
    bool mutePressed = false;        // M went down: sound off or on
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

    // What the window's keys and gamepad were at the last frame's read, to
    // tell a press from a key held down.
    std::bitset<512> keysDown;                  // by GLFW key
    bool gamepadHeld[steeringDirections] = {};  // the d-pad's and the stick's directions

    // This frame's, as its stages set them.
    FrameInput input;
    bool steered = false;          // the keys moved the pointer: the system pointer goes there
    std::int32_t windowWidth = 0;  // the window's frame buffer, pixels
    std::int32_t windowHeight = 0;
    Letterbox pointerBox;  // the frame's place in the window, in window pixels
    PointerHold hold;
};

// The stages of a frame, in order.
enum class FrameStage {
    input,    // the window's size, the pointer, the buttons, the keys and a gamepad
    begin,    // where the frame is drawn, for the window's size
    score,    // the score texture (drawn only when score or best changed), and the listener, muted at M
    pointer,  // the pointer as read or as the keys moved it, hoveredTube back to 0, where to hold it, and
              // the buttons with the keys that stand in for them
    pick,     // picking, while the board was idle at the last flag update
    rules,    // the rules, which leave the frame's sounds
    sound,    // those sounds played
    scene,    // the scene, the cursor, and the sign that the sound is off
    show,     // an off-screen frame shown on the whole window
    hold,     // the system pointer held inside a full-screen window, or put where the keys moved it
    swap,     // the buffer swap
    pace,     // the pacer's hold, when paced
    events,   // the window's events gathered; Escape, Start or a close request ends the run
    keep,     // full screen or a window, at F11 or Alt+Enter; the best score and the settings kept
    done,
};

// Clamps the pointer into the frame, lower bound first.
PointerHold holdPointer(std::int32_t mouseX, std::int32_t mouseY, const ViewSettings& view);

// Per frame
// Adds the first gamepad to the input: its d-pad or left stick steers (a
// direction is pressed in the frame it is first held), A clicks, X
// shuffles, Start ends the game as Escape does.
void addGamepad(FramePlay& play, FrameInput& input);
// Runs one stage and returns the next: done after the last, and right after
// the input when the window is minimised or has no pixels (it has waited
// for something to show it again, or to close it).
FrameStage runFrameStage(Game& game, FramePlay& play, FrameStage stage);
// Runs the stages from `from` up to, not including, `until` (or done).
FrameStage runFrameStages(Game& game, FramePlay& play, FrameStage from, FrameStage until);
// One whole frame.
void runFrame(Game& game, FramePlay& play);
