// The game's window on a desktop, Linux or Windows: what GLFW does the same
// on both, and the browser does otherwise.
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstring>

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

// The frame's size, a window's smallest, and the room a window needs above
// it for a title bar, in screen coordinates.
constexpr int frameSizeWidth = 1024, frameSizeHeight = 768;
constexpr int minimumWidth = 320, minimumHeight = 240;
constexpr int titleBarRoom = 64;

// A new window's size: the frame's own where the monitor's free area has
// room for it and a title bar, else four fifths of that area at the frame's
// shape; in the middle of the area.
WindowPlace newWindowPlace(GLFWmonitor* monitor) {
    int areaX = 0, areaY = 0, areaWidth = 0, areaHeight = 0;
    glfwGetMonitorWorkarea(monitor, &areaX, &areaY, &areaWidth, &areaHeight);
    if (areaWidth <= 0 || areaHeight <= 0) {
        const GLFWvidmode* mode = glfwGetVideoMode(monitor);
        areaWidth = mode ? mode->width : frameSizeWidth;
        areaHeight = mode ? mode->height : frameSizeHeight;
    }
    WindowPlace place;
    place.width = frameSizeWidth;
    place.height = frameSizeHeight;
    if (areaWidth < frameSizeWidth || areaHeight < frameSizeHeight + titleBarRoom) {
        place.height = std::max(minimumHeight, std::min(areaHeight * 4 / 5, areaWidth * 4 / 5 * 3 / 4));
        place.width = place.height * 4 / 3;
    }
    place.x = areaX + (areaWidth - place.width) / 2;
    place.y = areaY + (areaHeight - place.height) / 2;
    place.positioned = true;
    return place;
}

// True when enough of the place lies on some monitor for its title bar to be
// reached: a window remembered on a monitor that is gone comes back anew.
bool onSomeMonitor(const WindowPlace& place) {
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    for (int m = 0; m < count; ++m) {
        int x = 0, y = 0, width = 0, height = 0;
        glfwGetMonitorWorkarea(monitors[m], &x, &y, &width, &height);
        const int across = std::min(place.x + place.width, x + width) - std::max(place.x, x);
        const int down = std::min(place.y + titleBarRoom, y + height) - std::max(place.y, y);
        if (across >= titleBarRoom && down > 0) return true;
    }
    return false;
}

// The place a window goes to: the one given when it has a size (and, where
// it has a position, that position lies on a monitor), else a new one.
WindowPlace placeToShow(const WindowPlace& given) {
    if (given.width < minimumWidth || given.height < minimumHeight) return newWindowPlace(glfwGetPrimaryMonitor());
    if (given.positioned && !onSomeMonitor(given)) {
        WindowPlace place = newWindowPlace(glfwGetPrimaryMonitor());
        place.width = given.width;
        place.height = given.height;
        return place;
    }
    return given;
}

// The monitor under the middle of the window, or the primary one.
GLFWmonitor* monitorUnder(GLFWwindow* window) {
    int x = 0, y = 0, width = 0, height = 0;
    glfwGetWindowPos(window, &x, &y);
    glfwGetWindowSize(window, &width, &height);
    const int middleX = x + width / 2, middleY = y + height / 2;
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    for (int m = 0; m < count; ++m) {
        const GLFWvidmode* mode = glfwGetVideoMode(monitors[m]);
        int left = 0, top = 0;
        glfwGetMonitorPos(monitors[m], &left, &top);
        if (mode && middleX >= left && middleX < left + mode->width && middleY >= top && middleY < top + mode->height)
            return monitors[m];
    }
    return glfwGetPrimaryMonitor();
}

// Full screen, the pointer is hidden and captured, with an unbounded
// position that the frame clamps and sets back every frame; in a window it
// is hidden over the window (the cursor quad shows it) and free to leave.
void setPointerMode(GLFWwindow* window, bool fullScreen) {
    glfwSetInputMode(window, GLFW_CURSOR, fullScreen ? GLFW_CURSOR_DISABLED : GLFW_CURSOR_HIDDEN);
}

}  // namespace

GLFWwindow* openGameWindow(int alphaBits, int depthBits, int stencilBits, bool fullScreen, const WindowPlace& place) {
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
    GLFWwindow* window = nullptr;
    if (fullScreen) {
        window = glfwCreateWindow(mode->width, mode->height, windowName, monitor, nullptr);
    } else {
        // Shown only once it stands where it belongs.
        const WindowPlace shown = placeToShow(place);
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        window = glfwCreateWindow(shown.width, shown.height, windowName, nullptr, nullptr);
        glfwWindowHint(GLFW_VISIBLE, GLFW_TRUE);
        if (window && shown.positioned) glfwSetWindowPos(window, shown.x, shown.y);
        if (window) glfwShowWindow(window);
    }
    if (!window) return nullptr;
    glfwSetWindowSizeLimits(window, minimumWidth, minimumHeight, GLFW_DONT_CARE, GLFW_DONT_CARE);
    glfwMakeContextCurrent(window);
    // Without a window manager nobody else gives a new window the keyboard.
    glfwFocusWindow(window);
    setPointerMode(window, fullScreen);
    // The frame reads the buttons and keys as levels, once: a press that
    // comes and goes between two frames still counts in the next one, as one
    // frame of press, so a slow frame loses no click. A held button reads as
    // down in every frame it is held, as without this.
    glfwSetInputMode(window, GLFW_STICKY_MOUSE_BUTTONS, GLFW_TRUE);
    glfwSetInputMode(window, GLFW_STICKY_KEYS, GLFW_TRUE);
    return window;
}

void setWindowIcon(GLFWwindow* window, const std::vector<IconPicture>& pictures) {
    std::vector<GLFWimage> images;
    for (const IconPicture& picture : pictures)
        images.push_back({picture.size, picture.size, const_cast<unsigned char*>(picture.rgba.data())});
    glfwSetWindowIcon(window, static_cast<int>(images.size()), images.data());
}

WindowPlace showFullScreen(GLFWwindow* window, bool fullScreen, const WindowPlace& place) {
    WindowPlace shown = place;
    if (fullScreen) {
        GLFWmonitor* monitor = monitorUnder(window);
        const GLFWvidmode* mode = glfwGetVideoMode(monitor);
        if (!mode) return windowPlace(window, place);
        glfwGetMonitorPos(monitor, &shown.x, &shown.y);
        shown.width = mode->width;
        shown.height = mode->height;
        glfwSetWindowMonitor(window, monitor, 0, 0, mode->width, mode->height, mode->refreshRate);
    } else {
        shown = placeToShow(place);
        if (!shown.positioned) glfwGetWindowPos(window, &shown.x, &shown.y);
        glfwSetWindowMonitor(window, nullptr, shown.x, shown.y, shown.width, shown.height, GLFW_DONT_CARE);
    }
    // The key that switched it came to the game: it keeps the keyboard,
    // where a window manager (or none) would otherwise leave it elsewhere.
    glfwFocusWindow(window);
    setPointerMode(window, fullScreen);
    return shown;
}

WindowPlace windowPlace(GLFWwindow* window, const WindowPlace& given) {
    if (glfwGetWindowMonitor(window)) return given;
    WindowPlace place;
    glfwGetWindowSize(window, &place.width, &place.height);
    // Wayland tells no window its position: it reads as 0, 0 with an error.
    glfwGetError(nullptr);
    glfwGetWindowPos(window, &place.x, &place.y);
    place.positioned = glfwGetError(nullptr) == GLFW_NO_ERROR;
    return place;
}

int keyTypingLetter(char letter, int fallback) {
    // The printable keys, whose names follow the layout: an AZERTY keyboard
    // types m where a US one types a semicolon.
    const auto typesLetter = [letter](int key) {
        const char* name = glfwGetKeyName(key, 0);
        return name && name[0] == letter && name[1] == '\0';
    };
    for (int key = GLFW_KEY_A; key <= GLFW_KEY_Z; ++key)
        if (typesLetter(key)) return key;
    for (const int key : {GLFW_KEY_APOSTROPHE, GLFW_KEY_COMMA, GLFW_KEY_MINUS, GLFW_KEY_PERIOD, GLFW_KEY_SLASH,
                          GLFW_KEY_SEMICOLON, GLFW_KEY_EQUAL, GLFW_KEY_LEFT_BRACKET, GLFW_KEY_BACKSLASH,
                          GLFW_KEY_RIGHT_BRACKET, GLFW_KEY_GRAVE_ACCENT, GLFW_KEY_WORLD_1, GLFW_KEY_WORLD_2})
        if (typesLetter(key)) return key;
    return fallback;
}

bool readGamepad(std::uint8_t buttons[15], float axes[6]) {
    std::memset(buttons, 0, 15);
    std::fill(axes, axes + 6, 0.0f);
    for (int joystick = GLFW_JOYSTICK_1; joystick <= GLFW_JOYSTICK_LAST; ++joystick) {
        GLFWgamepadstate state;
        if (!glfwJoystickIsGamepad(joystick) || !glfwGetGamepadState(joystick, &state)) continue;
        std::memcpy(buttons, state.buttons, 15);
        std::memcpy(axes, state.axes, 6 * sizeof(float));
        return true;
    }
    return false;
}

WindowSize windowSize(GLFWwindow* window) {
    WindowSize size;
    glfwGetFramebufferSize(window, &size.framebufferWidth, &size.framebufferHeight);
    glfwGetWindowSize(window, &size.width, &size.height);
    return size;
}
