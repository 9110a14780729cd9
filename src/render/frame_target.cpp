#include "render/frame_target.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

namespace {

// The frame buffer object functions (OpenGL 3.0, or ARB_framebuffer_object
// with the same names), looked up once the context is current.
struct FramebufferFunctions {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;
};
FramebufferFunctions gl;

template <typename Function>
bool lookUp(Function& function, const char* name) {
    function = reinterpret_cast<Function>(glfwGetProcAddress(name));
    return function != nullptr;
}

bool lookUpFramebufferFunctions() {
    GLFWwindow* context = glfwGetCurrentContext();
    const bool offered = glfwGetWindowAttrib(context, GLFW_CONTEXT_VERSION_MAJOR) >= 3 ||
                         glfwExtensionSupported("GL_ARB_framebuffer_object");
    return offered && lookUp(gl.genFramebuffers, "glGenFramebuffers") &&
           lookUp(gl.deleteFramebuffers, "glDeleteFramebuffers") && lookUp(gl.bindFramebuffer, "glBindFramebuffer") &&
           lookUp(gl.genRenderbuffers, "glGenRenderbuffers") &&
           lookUp(gl.deleteRenderbuffers, "glDeleteRenderbuffers") &&
           lookUp(gl.bindRenderbuffer, "glBindRenderbuffer") &&
           lookUp(gl.renderbufferStorage, "glRenderbufferStorage") &&
           lookUp(gl.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           lookUp(gl.checkFramebufferStatus, "glCheckFramebufferStatus") &&
           lookUp(gl.blitFramebuffer, "glBlitFramebuffer");
}

// A frame-sized frame buffer object with the bits the passes need, or
// nothing (all names 0) when the GL cannot make it complete.
void makeOffscreenFrame(FrameTarget& target, const ViewSettings& view) {
    gl.genFramebuffers(1, &target.framebuffer);
    gl.genRenderbuffers(1, &target.colourBuffer);
    gl.genRenderbuffers(1, &target.depthStencilBuffer);
    gl.bindRenderbuffer(GL_RENDERBUFFER, target.colourBuffer);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, view.width, view.height);
    gl.bindRenderbuffer(GL_RENDERBUFFER, target.depthStencilBuffer);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, view.width, view.height);
    gl.bindRenderbuffer(GL_RENDERBUFFER, 0);

    gl.bindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.colourBuffer);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.depthStencilBuffer);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, target.depthStencilBuffer);
    const bool complete = gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete) releaseFrameTarget(target);
}

}  // namespace

Letterbox fitFrame(std::int32_t frameWidth, std::int32_t frameHeight, double surfaceWidth, double surfaceHeight) {
    Letterbox box;
    box.scale = std::min(surfaceWidth / frameWidth, surfaceHeight / frameHeight);
    box.left = (surfaceWidth - frameWidth * box.scale) / 2;
    box.top = (surfaceHeight - frameHeight * box.scale) / 2;
    return box;
}

PictureRectangle pictureRectangle(const Letterbox& box, std::int32_t frameWidth, std::int32_t frameHeight,
                                  std::int32_t surfaceHeight) {
    // Rows are counted from the top for the letterbox, from the bottom for GL.
    const auto pixel = [](double at) { return static_cast<std::int32_t>(std::lround(at)); };
    PictureRectangle rectangle;
    rectangle.x0 = pixel(box.left);
    rectangle.x1 = pixel(box.left + frameWidth * box.scale);
    rectangle.y0 = surfaceHeight - pixel(box.top + frameHeight * box.scale);
    rectangle.y1 = surfaceHeight - pixel(box.top);
    return rectangle;
}

FramePointer framePointer(const Letterbox& box, const WindowPointer& pointer) {
    return {static_cast<std::int32_t>(std::floor((pointer.x - box.left) / box.scale)),
            static_cast<std::int32_t>(std::floor((pointer.y - box.top) / box.scale))};
}

WindowPointer windowPointer(const Letterbox& box, const FramePointer& pointer) {
    return {box.left + (pointer.x + 0.5) * box.scale, box.top + (pointer.y + 0.5) * box.scale};
}

bool setUpFrameTarget(FrameTarget& target, const ViewSettings& view, const FramebufferGot& window) {
    target = FrameTarget();
    target.alphaBits = window.alphaBits;
    target.depthBits = window.depthBits;
    target.stencilBits = window.stencilBits;
    // Made even for a window that takes the frame straight, so that a window
    // resized later is still served.
    if (lookUpFramebufferFunctions()) makeOffscreenFrame(target, view);
    return target.framebuffer != 0 || framebufferMeetsRequest(view, window);
}

void beginFrame(FrameTarget& target, const ViewSettings& view, std::int32_t windowWidth, std::int32_t windowHeight) {
    target.windowWidth = windowWidth;
    target.windowHeight = windowHeight;
    const FramebufferGot window = {windowWidth, windowHeight, target.alphaBits, target.depthBits, target.stencilBits};
    // Without an off-screen frame the window is all there is.
    target.offScreen = target.framebuffer != 0 && !framebufferMeetsRequest(view, window);
    if (target.offScreen) gl.bindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
}

void showFrame(const FrameTarget& target, const ViewSettings& view) {
    if (!target.offScreen) return;
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
    gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // The clear colour is black for the whole run; the scene passes leave
    // every colour channel writable.
    glClear(GL_COLOR_BUFFER_BIT);
    const Letterbox box = fitFrame(view.width, view.height, target.windowWidth, target.windowHeight);
    const PictureRectangle to = pictureRectangle(box, view.width, view.height, target.windowHeight);
    gl.blitFramebuffer(0, 0, view.width, view.height, to.x0, to.y0, to.x1, to.y1, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
}

void releaseFrameTarget(FrameTarget& target) {
    if (target.framebuffer != 0) gl.deleteFramebuffers(1, &target.framebuffer);
    if (target.colourBuffer != 0) gl.deleteRenderbuffers(1, &target.colourBuffer);
    if (target.depthStencilBuffer != 0) gl.deleteRenderbuffers(1, &target.depthStencilBuffer);
    target.framebuffer = target.colourBuffer = target.depthStencilBuffer = 0;
    target.offScreen = false;
}
