#include "render/window.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>

#include "assets/textures.h"
#include "platform/platform.h"
#include "render/frame_target.h"

namespace {

// GLFW 3.4's Wayland application id. The game is also built against GLFW
// 3.3, whose header lacks it and whose library takes it as an unknown hint
// (an error nobody reports), so it is spelt out.
constexpr int waylandAppIdHint = 0x00026001;  // GLFW_WAYLAND_APP_ID

// The name the desktop shows for the window, and the X11 class and Wayland
// application id that tie it to the desktop entry (its StartupWMClass and
// its file name) and so to the game's icon.
constexpr const char* windowName = "Tubechain";
constexpr const char* windowClass = "Tubechain";
constexpr const char* windowInstance = "tubechain";
constexpr const char* applicationId = "invalid.tubechain.Tubechain";

GLFWwindow* failToOpenWindow() {
    printConsoleLine("Failed to open window!");
    glfwTerminate();
    return nullptr;
}

FramebufferGot framebufferOf(GLFWwindow* window) {
    FramebufferGot got;
    glfwGetFramebufferSize(window, &got.width, &got.height);
    GLint bits = 0;
    glGetIntegerv(GL_ALPHA_BITS, &bits);
    got.alphaBits = bits;
    glGetIntegerv(GL_DEPTH_BITS, &bits);
    got.depthBits = bits;
    glGetIntegerv(GL_STENCIL_BITS, &bits);
    got.stencilBits = bits;
    return got;
}

}  // namespace

bool framebufferMeetsRequest(const ViewSettings& view, const FramebufferGot& got) {
    return got.width == view.width && got.height == view.height && got.alphaBits >= view.alphaBits &&
           got.depthBits >= view.depthBits && got.stencilBits >= view.stencilBits;
}

GLFWwindow* setUpWindow(ViewSettings& view, FrameTarget& target) {
    view.width = frameWidth;
    view.height = frameHeight;
    view.alphaBits = 8;
    view.depthBits = 24;
    view.stencilBits = 8;

    if (!startWindowLibrary()) {
        printConsoleLine("Failed to initialize GLFW!");
        pauseForConsole();
        return nullptr;
    }

    // Full screen at the monitor's own mode: asking for anything else would
    // switch the screen (and leave it switched if the game is killed) on X11
    // and be ignored by a Wayland compositor, which gives a full-screen
    // window the whole output anyway.
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    if (!mode) return failToOpenWindow();
    glfwWindowHint(GLFW_RED_BITS, mode->redBits);
    glfwWindowHint(GLFW_GREEN_BITS, mode->greenBits);
    glfwWindowHint(GLFW_BLUE_BITS, mode->blueBits);
    glfwWindowHint(GLFW_REFRESH_RATE, mode->refreshRate);
    glfwWindowHint(GLFW_ALPHA_BITS, view.alphaBits);
    glfwWindowHint(GLFW_DEPTH_BITS, view.depthBits);
    glfwWindowHint(GLFW_STENCIL_BITS, view.stencilBits);
    // There is no video mode to give back when the focus goes elsewhere.
    glfwWindowHint(GLFW_AUTO_ICONIFY, GLFW_FALSE);
    glfwWindowHintString(GLFW_X11_CLASS_NAME, windowClass);
    glfwWindowHintString(GLFW_X11_INSTANCE_NAME, windowInstance);
    glfwWindowHintString(waylandAppIdHint, applicationId);
    GLFWwindow* window = glfwCreateWindow(mode->width, mode->height, windowName, monitor, nullptr);
    if (!window) return failToOpenWindow();
    glfwMakeContextCurrent(window);
    // The frame goes straight to a window of its size with the bits the
    // passes need, and through an off-screen frame to any other.
    if (!setUpFrameTarget(target, view, framebufferOf(window))) return failToOpenWindow();
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
    glfwSwapInterval(1);

    glViewport(0, 0, view.width, view.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    view.fov = 45.0f;
    view.aspect = static_cast<float>(static_cast<double>(view.width) / view.height);
    view.near = 1.0f;
    view.far = 110.0f;
    gluPerspective(view.fov, view.aspect, view.near, view.far);

    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 1);  // the clear alpha of 1 is what the score texture blends over
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_CULL_FACE);
    setImageTextureParameters();
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return window;
}

void setUpLight(Light& light) {
    light = Light{{8, 12, 8, 1}, {0.05f, 0.05f, 0.05f, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.75f, 0.75f, 0.75f, 1}};
    glLightfv(GL_LIGHT0, GL_AMBIENT, light.ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, light.diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, light.specular);
    glLightfv(GL_LIGHT0, GL_POSITION, light.position);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
}
