// The game's window on a desktop, Linux or Windows: what GLFW does the same
// on both, and the browser does otherwise.
#include <GLFW/glfw3.h>

#include "platform/platform.h"

namespace {

// GLFW 3.4's Wayland application id. The game is also built against GLFW
// 3.3, whose header lacks it and whose library takes it as an unknown hint
// (an error nobody reports), so it is spelt out.
constexpr int waylandAppIdHint = 0x00026001;  // GLFW_WAYLAND_APP_ID

// The name the desktop shows for the window, and the X11 class and Wayland
// application id that tie it to the desktop entry (its StartupWMClass and
// its file name) and so to the game's icon. Other systems ignore the last three.
constexpr const char* windowName = "Tubechain";
constexpr const char* windowClass = "Tubechain";
constexpr const char* windowInstance = "tubechain";
constexpr const char* applicationId = "invalid.tubechain.Tubechain";

}  // namespace

GLFWwindow* openGameWindow(int alphaBits, int depthBits, int stencilBits) {
    // Full screen at the monitor's own mode: asking for anything else would
    // switch the screen (and leave it switched if the game is killed) on X11
    // and be ignored by a Wayland compositor, which gives a full-screen
    // window the whole output anyway.
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    if (!mode) return nullptr;
    glfwWindowHint(GLFW_RED_BITS, mode->redBits);
    glfwWindowHint(GLFW_GREEN_BITS, mode->greenBits);
    glfwWindowHint(GLFW_BLUE_BITS, mode->blueBits);
    glfwWindowHint(GLFW_REFRESH_RATE, mode->refreshRate);
    glfwWindowHint(GLFW_ALPHA_BITS, alphaBits);
    glfwWindowHint(GLFW_DEPTH_BITS, depthBits);
    glfwWindowHint(GLFW_STENCIL_BITS, stencilBits);
    // There is no video mode to give back when the focus goes elsewhere.
    glfwWindowHint(GLFW_AUTO_ICONIFY, GLFW_FALSE);
    glfwWindowHintString(GLFW_X11_CLASS_NAME, windowClass);
    glfwWindowHintString(GLFW_X11_INSTANCE_NAME, windowInstance);
    glfwWindowHintString(waylandAppIdHint, applicationId);
    GLFWwindow* window = glfwCreateWindow(mode->width, mode->height, windowName, monitor, nullptr);
    if (!window) return nullptr;
    glfwMakeContextCurrent(window);
    // Without a window manager nobody else gives a new window the keyboard.
    glfwFocusWindow(window);
    // Hidden and captured, with an unbounded position that the frame clamps
    // and sets back every frame; the only visible pointer is the cursor quad.
    glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
    // The frame reads the buttons and Escape as levels, once: a press that
    // comes and goes between two frames still counts in the next one, as one
    // frame of press, so a slow frame loses no click. A held button reads as
    // down in every frame it is held, as without this.
    glfwSetInputMode(window, GLFW_STICKY_MOUSE_BUTTONS, GLFW_TRUE);
    glfwSetInputMode(window, GLFW_STICKY_KEYS, GLFW_TRUE);
    return window;
}

WindowSize windowSize(GLFWwindow* window) {
    WindowSize size;
    glfwGetFramebufferSize(window, &size.framebufferWidth, &size.framebufferHeight);
    glfwGetWindowSize(window, &size.width, &size.height);
    return size;
}
