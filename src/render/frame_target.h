// Where the game's 1024 x 768 frame is drawn and how it reaches the screen:
// straight on a window of exactly that size with the bits the passes need,
// otherwise into an off-screen frame of its own that is then shown scaled to
// fit the window, centred between black bars. Also maps the pointer between
// window and frame pixels.
#pragma once

#include <cstdint>

#include "render/window.h"

// A frame shown on a surface of another size: one scale for both axes, so
// the frame keeps its shape, and the picture centred.
struct Letterbox {
    double scale = 1;  // surface pixels per frame pixel
    double left = 0;   // surface pixels from the surface's left edge to the picture's
    double top = 0;    // surface pixels from the surface's top edge to the picture's
};

// A pixel of the picture's rectangle on the surface, in GL's window
// coordinates (origin at the lower left, y up).
struct PictureRectangle {
    std::int32_t x0 = 0, y0 = 0;  // lower-left corner, included
    std::int32_t x1 = 0, y1 = 0;  // upper-right corner, excluded
};

// A pointer position in window pixels: from the window's top left, y down.
struct WindowPointer {
    double x = 0;
    double y = 0;
};

// A position in frame pixels, y down, as the frame reads the pointer.
struct FramePointer {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// The off-screen frame, and how this frame is drawn.
struct FrameTarget {
    std::int32_t alphaBits = 0, depthBits = 0, stencilBits = 0;  // what the window's own buffers have
    std::uint32_t framebuffer = 0;         // the off-screen frame (a frame buffer object), 0 when none could be made
    std::uint32_t colourBuffer = 0;        // its 8-bit RGBA colour, frame-sized
    std::uint32_t depthStencilBuffer = 0;  // its 24 depth and 8 stencil bits
    bool offScreen = false;                // this frame is drawn into the off-screen frame
    std::int32_t windowWidth = 0;          // this frame's window, frame buffer pixels
    std::int32_t windowHeight = 0;
};

// The scale and place that fit a frame into a surface, both in pixels.
Letterbox fitFrame(std::int32_t frameWidth, std::int32_t frameHeight, double surfaceWidth, double surfaceHeight);
// The pixels the fitted frame covers on a surface of the given height.
PictureRectangle pictureRectangle(const Letterbox& box, std::int32_t frameWidth, std::int32_t frameHeight,
                                  std::int32_t surfaceHeight);
// The frame pixel under a window position, unbounded like the pointer.
FramePointer framePointer(const Letterbox& box, const WindowPointer& pointer);
// The middle of a frame pixel in window pixels: read back with framePointer
// it gives the same frame pixel, so a held pointer never drifts.
WindowPointer windowPointer(const Letterbox& box, const FramePointer& pointer);

// Set-up
// Makes the off-screen frame when the GL has frame buffer objects, and
// notes the window's bits. True when the frame can be drawn one way or the
// other on a window of the given frame buffer size.
bool setUpFrameTarget(FrameTarget& target, const ViewSettings& view, const FramebufferGot& window);

// Per frame
// First thing in a frame: draws straight on a window of the frame's size
// with the bits asked for, otherwise into the off-screen frame.
void beginFrame(FrameTarget& target, const ViewSettings& view, std::int32_t windowWidth, std::int32_t windowHeight);
// Last thing before the swap: shows an off-screen frame on the whole window,
// scaled with linear filtering, black around it; the window's frame buffer
// is bound again afterwards.
void showFrame(const FrameTarget& target, const ViewSettings& view);

// Shutdown
void releaseFrameTarget(FrameTarget& target);
