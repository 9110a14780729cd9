// What every part of the game sees the scene through: the frame's size, the
// bits its passes need and the projection, the fixed camera (which is also
// the listener) and the one light.
#pragma once

#include <cstdint>

// The game's picture is always this big; a screen of another size shows it
// scaled to fit.
inline constexpr std::int32_t frameWidth = 1024;  // pixels
inline constexpr std::int32_t frameHeight = 768;  // pixels

// The game's frame, the bits its passes need, and the projection.
struct ViewSettings {
    std::int32_t width = 0;        // frame pixels: frameWidth on every screen
    std::int32_t height = 0;       // frame pixels: frameHeight
    std::int32_t alphaBits = 0;    // the score texture copies the frame's alpha
    std::int32_t depthBits = 0;    // bits of depth
    std::int32_t stencilBits = 0;  // the stage and shadow passes need a stencil buffer
    float fov = 0;                 // vertical, degrees
    float aspect = 0;              // width / height
    float nearPlane = 0;           // scene units
    float farPlane = 0;            // scene units
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
