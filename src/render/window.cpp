#include "render/window.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "render/frame_target.h"

namespace {

// GLFW 3.4's platform choice and Wayland application id. The game is also
// built against GLFW 3.3, whose header lacks them and whose library takes
// them as unknown hints (an error nobody reports), so they are spelt out.
constexpr int platformHint = 0x00050003;      // GLFW_PLATFORM
constexpr int x11Platform = 0x00060004;       // GLFW_PLATFORM_X11
constexpr int waylandPlatform = 0x00060003;   // GLFW_PLATFORM_WAYLAND
constexpr int libdecorHint = 0x00053001;      // GLFW_WAYLAND_LIBDECOR
constexpr int withoutLibdecor = 0x00038002;   // GLFW_WAYLAND_DISABLE_LIBDECOR
constexpr int waylandAppIdHint = 0x00026001;  // GLFW_WAYLAND_APP_ID

// The name the desktop shows for the window, and the X11 class and Wayland
// application id that tie it to the desktop entry (its StartupWMClass and
// its file name) and so to the game's icon.
constexpr const char* windowName = "Tubechain";
constexpr const char* windowClass = "Tubechain";
constexpr const char* windowInstance = "tubechain";
constexpr const char* applicationId = "invalid.tubechain.Tubechain";

// GLFW 3.4 has X11 and Wayland in one library and tries Wayland first; 3.3
// has X11 only. The game starts on X11 whenever there is an X display, on a
// Wayland desktop through Xwayland, so that it behaves the same on both
// versions; native Wayland is the way out when no X display can be had.
bool startLibrary() {
    int major = 0, minor = 0, revision = 0;
    glfwGetVersion(&major, &minor, &revision);
    if (major == 3 && minor < 4) return glfwInit();
    glfwInitHint(platformHint, x11Platform);
    if (glfwInit()) return true;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!wayland || !*wayland) return false;
    // A full-screen window has no decorations to draw, and the library that
    // draws them prints its own notes on the console.
    glfwInitHint(platformHint, waylandPlatform);
    glfwInitHint(libdecorHint, withoutLibdecor);
    // GLFW 3.4 crashes starting on a compositor without a seat (no pointer,
    // no keyboard): a child process tries first, so that the game never does.
    std::fflush(stdout);
    const pid_t trial = fork();
    if (trial < 0) return false;
    if (trial == 0) _exit(glfwInit() ? 0 : 1);
    int status = 0;
    if (waitpid(trial, &status, 0) != trial || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    return glfwInit();
}

// After the library fails to start, the message stays up for a second, or
// until a key is waiting on the console.
void pauseForConsole() {
    for (int waited = 0; waited < 1000; waited += 50) {
        pollfd console = {STDIN_FILENO, POLLIN, 0};
        if (isatty(STDIN_FILENO) && poll(&console, 1, 0) > 0) return;
        usleep(50 * 1000);
    }
}

GLFWwindow* failToOpenWindow() {
    std::printf("Failed to open window!\n");
    std::fflush(stdout);
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
    view.width = 1024;
    view.height = 768;
    view.redBits = view.greenBits = view.blueBits = view.alphaBits = 8;
    view.depthBits = 24;
    view.stencilBits = 8;
    view.fullScreen = true;

    if (!startLibrary()) {
        std::printf("Failed to initialize GLFW!\n");
        std::fflush(stdout);
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

void setImageTextureParameters() {
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
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
