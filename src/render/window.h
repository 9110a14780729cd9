// The full-screen window with its GL context, the GL state that holds for the
// whole run, and the one light of the scene.
#pragma once

#include <cstdint>

#include "game/view.h"
#include "platform/platform.h"

struct GLFWwindow;
struct FrameTarget;

// What a window's frame buffer has. GLFW takes the bits asked for as a
// wish and may give fewer without an error; a compositor may give the
// window any size, and change it later.
struct FramebufferGot {
    std::int32_t width = 0;  // frame buffer pixels
    std::int32_t height = 0;
    std::int32_t alphaBits = 0, depthBits = 0, stencilBits = 0;
};

// Set-up
// Starts GLFW on X11 (through Xwayland on a Wayland desktop), or natively on
// Wayland when there is no X display and the library can. Opens a
// full-screen window named Tubechain, of the desktop entry's class, on the
// primary monitor at the monitor's own video mode (its size, colour bits and
// refresh rate), so that no mode ever changes, or else a window at the
// place given, asking for 8 alpha, 24 depth and 8 stencil bits; gives it
// the game's icon, takes the keyboard focus, hides the pointer and, full
// screen, captures it, sets a swap interval of 1 and the start GL state,
// and sets up the frame target that brings the 1024 x 768 frame onto the
// window. Returns null after printing its failure message: "Failed to
// initialize GLFW!" without a display, "Failed to open window!" (GLFW is
// terminated then) when there is no window or GL context, or no way to draw
// the frame on it; the caller ends the process.
GLFWwindow* setUpWindow(ViewSettings& view, FrameTarget& target, bool fullScreen = true,
                        const WindowPlace& place = WindowPlace());

// True when a frame buffer has exactly the frame's size and at least the
// alpha, depth and stencil bits asked for: the frame can go straight to it.
bool framebufferMeetsRequest(const ViewSettings& view, const FramebufferGot& got);

// Fills the light and hands it to GL_LIGHT0; lighting is on afterwards.
void setUpLight(Light& light);
