// Play without a mouse: the arrow keys, W A S D, a gamepad's d-pad or left
// stick move the pointer from tube to tube on the board's grid as the player
// sees it, and keys and buttons stand in for the mouse buttons. The rules
// never know: they see the same pointer and buttons a mouse gives.
#pragma once

#include <cstdint>

#include "assets/model.h"
#include "game/board.h"
#include "game/view.h"

// The four ways the pointer goes from tube to tube, as the player sees the board.
enum SteeringDirection {
    steerAway,     // up, W: towards the far side of the board
    steerTowards,  // down, S: towards the player
    steerLeft,     // left, A
    steerRight,    // right, D
    steeringDirections
};

// What the keyboard or a gamepad gives a frame.
struct SteeringInput {
    bool held[steeringDirections] = {};     // down now, by direction
    bool pressed[steeringDirections] = {};  // went down since the last frame, even if let go again
    bool click = false;                     // Space, Enter, A: as the left button, a level
    bool shuffle = false;                   // Backspace, R, X: as the right button, a level
};

// A gamepad as GLFW 3.3's gamepad mappings give it, in their order.
struct GamepadState {
    std::uint8_t buttons[15] = {};  // non-zero while pressed: A, B, X, Y, bumpers, back, start, guide, sticks, d-pad
    float axes[6] = {};             // -1..1: left x, left y, right x, right y (y down), triggers
};
inline constexpr int gamepadButtonA = 0;
inline constexpr int gamepadButtonX = 2;
inline constexpr int gamepadButtonStart = 7;
inline constexpr int gamepadButtonUp = 11;  // then right, down, left
inline constexpr int gamepadAxisLeftX = 0;
inline constexpr int gamepadAxisLeftY = 1;

// How long a held direction waits before it repeats, and then how often.
inline constexpr int steeringRepeatDelay = 20;  // frames
inline constexpr int steeringRepeatEvery = 6;   // frames

// What steering remembers from one frame to the next.
struct Steering {
    Vector3 aim;                // where the pointer goes on a tube: its upper surface, in the tube's own frame
    SteeringInput previous;     // last frame's levels
    int direction = 0;          // the direction being held: 0 none, 1 away, 2 towards, 3 left, 4 right
    int framesHeld = 0;         // frames it has been held since it moved the pointer first
    int tube = 0;               // the tube steering last put the pointer on, 0 for none
    std::int32_t pointerX = 0;  // where it put it, frame pixels from the top left, y down
    std::int32_t pointerY = 0;
};

// Set-up
// The point on the tube model that the pointer is put on: the middle of the
// upward face nearest the middle of the bend, which picking always finds.
Vector3 tubeAimPoint(const Model& tubeModel);

// Per frame
// Where a scene point lands in the frame through the camera and projection,
// in frame pixels from the top left, y down; false behind the eye.
bool projectToFrame(const float point[3], const ViewSettings& view, const Camera& camera, double& x, double& y);
// The frame pixel the pointer is put on to point at a tube as it stands.
void aimAtTube(const Tube& tube, const Vector3& aim, const ViewSettings& view, std::int32_t& x, std::int32_t& y);
// A direction pressed (the newest of several), or held long enough to
// repeat, moves the pointer to the neighbouring tube that way from the tube
// it is on (the one steering put it on while it stays there, else the one
// whose middle lies nearest on the screen); at the board's edge it stays.
// True when it moved the pointer.
bool steerPointer(Steering& steering, const SteeringInput& input, const Board& board, const ViewSettings& view,
                  std::int32_t& mouseX, std::int32_t& mouseY);

// A gamepad's d-pad or left stick (pushed over half way, along its larger
// axis), A and X, as the keyboard's (what is held, without presses); and
// whether Start is down.
SteeringInput gamepadSteering(const GamepadState& pad);
bool gamepadQuits(const GamepadState& pad);
