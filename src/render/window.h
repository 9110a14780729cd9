// The full-screen window with its GL context, the GL state that holds for the
// whole run, the fixed camera and the one light of the scene.
#pragma once

#include <cstdint>

struct GLFWwindow;

// The window request and the projection.
struct ViewSettings {
    std::int32_t width = 0;   // window pixels
    std::int32_t height = 0;  // window pixels
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

// What the window turned out to have. GLFW takes the request as a wish: on
// a screen without a 1024 x 768 mode it opens the nearest one, and it may
// give fewer bits, all without an error.
struct FramebufferGot {
    std::int32_t width = 0;  // frame buffer pixels
    std::int32_t height = 0;
    std::int32_t alphaBits = 0, depthBits = 0, stencilBits = 0;
};

// Set-up
// Opens the 1024 x 768 full-screen window with 8/8/8/8 colour, 24 depth and
// 8 stencil bits, hides and captures the pointer, sets a swap interval of 1
// and the start GL state. A window that cannot be opened, or that is not of
// the requested size or has fewer alpha, depth or stencil bits, is a
// failure. Returns null after printing its failure message (GLFW is
// terminated then); the caller ends the process.
GLFWwindow* setUpWindow(ViewSettings& view);

// True when the frame buffer has exactly the requested size and at least the
// requested alpha, depth and stencil bits.
bool framebufferMeetsRequest(const ViewSettings& view, const FramebufferGot& got);

// Fills the light and hands it to GL_LIGHT0; lighting is on afterwards.
void setUpLight(Light& light);

// Gives the bound texture the wrap and filters of the game's images:
// repeat, linear magnification, mipmapped linear minification.
void setImageTextureParameters();
