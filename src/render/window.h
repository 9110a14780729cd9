// The full-screen window with its GL context, the GL state that holds for the
// whole run, the fixed camera and the one light of the scene.
#pragma once

#include <cstdint>

struct GLFWwindow;
struct FrameTarget;

// The game's frame, the bits its passes need, and the projection.
struct ViewSettings {
    std::int32_t width = 0;   // frame pixels: 1024 on every screen
    std::int32_t height = 0;  // frame pixels: 768
    std::int32_t redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;
    std::int32_t depthBits = 0;
    std::int32_t stencilBits = 0;  // the stage and shadow passes need a stencil buffer
    bool fullScreen = false;
    float fov = 0;     // vertical, degrees
    float aspect = 0;  // width / height
    float near = 0;    // scene units
    float far = 0;     // scene units
};

// The fixed camera, in scene units, y up.
struct Camera {
    float eye[3];
    float centre[3];
    float up[3];
};
inline constexpr Camera camera = {{0, 14, 5}, {0, -3, -10}, {0, 1, 0}};

// The point light GL_LIGHT0.
struct Light {
    float position[4];  // scene units, w = 1 for a point light
    float ambient[4];   // RGBA
    float diffuse[4];   // RGBA
    float specular[4];  // RGBA
};

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
// refresh rate), so that no mode ever changes, asking for 8 alpha, 24 depth
// and 8 stencil bits; takes the keyboard focus, hides and captures the
// pointer, sets a swap interval of 1 and the start GL state, and sets up the
// frame target that brings the 1024 x 768 frame onto the window. Returns
// null after printing its failure message: "Failed to initialize GLFW!"
// without a display, "Failed to open window!" (GLFW is terminated then) when
// there is no window or GL context, or no way to draw the frame on it; the
// caller ends the process.
GLFWwindow* setUpWindow(ViewSettings& view, FrameTarget& target);

// True when a frame buffer has exactly the frame's size and at least the
// alpha, depth and stencil bits asked for: the frame can go straight to it.
bool framebufferMeetsRequest(const ViewSettings& view, const FramebufferGot& got);

// Fills the light and hands it to GL_LIGHT0; lighting is on afterwards.
void setUpLight(Light& light);

// Gives the bound texture the wrap and filters of the game's images:
// repeat, linear magnification, mipmapped linear minification.
void setImageTextureParameters();
