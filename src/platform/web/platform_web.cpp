// The browser: GLFW on the page's canvas with a WebGL 2 context drawn
// through the GL layer, messages shown on the page, files from the data
// package preloaded into memory, a gamepad through the page's Gamepad API,
// and the kept files in the page's local storage.
#include <GLFW/glfw3.h>
#include <emscripten.h>
#include <emscripten/html5.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#define GL_LAYER_NO_RENAMING
#include "platform/web/gl_layer.h"

// The data package is preloaded at the file system's root, the working folder.
void enterDataFolder() {}

void tuneAllocator() {}

bool startWindowLibrary() { return glfwInit() == GLFW_TRUE; }

// The page never starts full screen, whatever the settings say: a browser
// lets a page go full screen only at the player's own key or click (see
// web_main.cpp), so the canvas is taken as the page shows it.
GLFWwindow* openGameWindow(int, int, int, bool, const WindowPlace&) {
    // The frame is drawn into a frame buffer object of its own with the
    // alpha, depth and stencil bits it needs; the canvas only shows it, and
    // without alpha of its own the page never shines through.
    glfwWindowHint(GLFW_ALPHA_BITS, 0);
    glfwWindowHint(GLFW_DEPTH_BITS, 0);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    int width = 0, height = 0;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    if (width <= 0 || height <= 0) return nullptr;
    GLFWwindow* window = glfwCreateWindow(width, height, "Tubechain", nullptr, nullptr);
    if (!window) return nullptr;
    glfwMakeContextCurrent(window);
    if (!glLayerStart()) {
        glfwDestroyWindow(window);
        return nullptr;
    }
    return window;
}

// The page has its own icon.
void setWindowIcon(GLFWwindow*, const std::vector<IconPicture>&) {}

WindowSize windowSize(GLFWwindow*) {
    // The canvas's own pixels carry the frame; the pointer comes in CSS pixels.
    WindowSize size;
    emscripten_get_canvas_element_size("#canvas", &size.framebufferWidth, &size.framebufferHeight);
    double cssWidth = 0, cssHeight = 0;
    emscripten_get_element_css_size("#canvas", &cssWidth, &cssHeight);
    size.width = static_cast<int>(cssWidth);
    size.height = static_cast<int>(cssHeight);
    return size;
}

void printConsoleLine(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
    EM_ASM(
        {
            if (window.tubechainPage) tubechainPage.showMessage(UTF8ToString($0));
        },
        line);
}

// The browser's console only: a note must never cover the game.
void printConsoleNote(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// The message stays on the page.
void pauseForConsole() {}

bool readWholeFile(const char* path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
        static_cast<unsigned long long>(status.st_size) > largestDataFile) {
        std::fclose(file);
        return false;
    }
    bytes.resize(static_cast<std::size_t>(status.st_size));
    const std::size_t read = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
    const bool whole = read == bytes.size();
    std::fclose(file);
    if (!whole) bytes.clear();
    return whole;
}

// Full screen on a page is the player's to ask for (F11, the browser's own,
// or Alt+Enter, which the page's key handler passes to the Fullscreen API),
// never the frame loop's: the canvas stays as the page shows it.
WindowPlace showFullScreen(GLFWwindow* window, bool, const WindowPlace& place) {
    WindowPlace shown = place;
    const WindowSize size = windowSize(window);
    shown.width = size.width;
    shown.height = size.height;
    return shown;
}

WindowPlace windowPlace(GLFWwindow*, const WindowPlace& given) { return given; }

// The page reads its keys by their meaning, so the fallback stands.
int keyTypingLetter(char, int fallback) { return fallback; }

bool readGamepad(std::uint8_t buttons[15], float axes[6]) {
    std::memset(buttons, 0, 15);
    std::fill(axes, axes + 6, 0.0f);
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return false;
    const int count = emscripten_get_num_gamepads();
    for (int index = 0; index < count; ++index) {
        EmscriptenGamepadEvent pad;
        if (emscripten_get_gamepad_status(index, &pad) != EMSCRIPTEN_RESULT_SUCCESS || !pad.connected ||
            std::strcmp(pad.mapping, "standard") != 0)
            continue;
        // The standard mapping's buttons in GLFW's order: A, B, X, Y, the
        // bumpers, back, start, guide, the sticks, and the d-pad's up,
        // right, down and left; the standard mapping's triggers are
        // buttons 6 and 7.
        constexpr int standard[15] = {0, 1, 2, 3, 4, 5, 8, 9, 16, 10, 11, 12, 15, 13, 14};
        for (int k = 0; k < 15; ++k) buttons[k] = standard[k] < pad.numButtons && pad.digitalButton[standard[k]];
        for (int k = 0; k < 4 && k < pad.numAxes; ++k) axes[k] = static_cast<float>(pad.axis[k]);
        // GLFW's triggers run from -1 released to 1 pressed.
        for (int k = 0; k < 2; ++k)
            axes[4 + k] = 6 + k < pad.numButtons ? static_cast<float>(2 * pad.analogButton[6 + k] - 1) : -1.0f;
        return true;
    }
    return false;
}

// The kept files are values in the page's local storage, by the names
// keptFilePath gives them; the storage keeps text, which the game's files are.
namespace {

// 0: no value by the name; 1: *text holds it (from malloc, *length bytes of
// UTF-8); 2: the storage cannot be reached (the browser blocks it for the
// page, or it is gone).
EM_JS(int, storageRead, (const char* name, char** text, int* length), {
    var value;
    try {
        value = window.localStorage.getItem(UTF8ToString(name));
    } catch (e) {
        return 2;
    }
    if (value == null) return 0;
    var size = lengthBytesUTF8(value) + 1;
    var at = _malloc(size);
    if (!at) return 2;
    stringToUTF8(value, at, size);
    HEAP32[text >> 2] = at;
    HEAP32[length >> 2] = size - 1;
    return 1;
});

// False when the storage refuses it: full, blocked or gone.
EM_JS(int, storageWrite, (const char* name, const char* text), {
    try {
        window.localStorage.setItem(UTF8ToString(name), UTF8ToString(text));
        return 1;
    } catch (e) {
        return 0;
    }
});

// Moves the value to the first free of name.bad, name.bad-2, ... and
// returns that name (from malloc), or null with nothing changed.
EM_JS(char*, storageSetAside, (const char* name), {
    try {
        var storage = window.localStorage;
        var from = UTF8ToString(name);
        var value = storage.getItem(from);
        if (value == null) return 0;
        for (var n = 1; n <= 1000; ++n) {
            var aside = from + (n == 1 ? '.bad' : '.bad-' + n);
            if (storage.getItem(aside) != null) continue;
            storage.setItem(aside, value);
            storage.removeItem(from);
            var size = lengthBytesUTF8(aside) + 1;
            var at = _malloc(size);
            if (at) stringToUTF8(aside, at, size);
            return at;
        }
    } catch (e) {
    }
    return 0;
});

}  // namespace

std::string keptFilePath(KeptFile file) {
    return file == KeptFile::best ? "tubechain/best.txt" : "tubechain/settings.ini";
}

KeptRead readKeptFile(const std::string& path, std::size_t largest, std::string& text) {
    text.clear();
    char* value = nullptr;
    int length = 0;
    const int found = storageRead(path.c_str(), &value, &length);
    if (found != 1) return found == 0 ? KeptRead::missing : KeptRead::unreadable;
    text.assign(value, std::min(static_cast<std::size_t>(length), largest + 1));
    std::free(value);
    return KeptRead::read;
}

// One setItem: the storage holds either the old value or the new one, never
// a part.
bool replaceKeptFile(const std::string& path, const std::string& text) {
    return storageWrite(path.c_str(), text.c_str()) != 0;
}

std::string setKeptFileAside(const std::string& path) {
    char* aside = storageSetAside(path.c_str());
    if (!aside) return "";
    std::string name = aside;
    std::free(aside);
    return name;
}

// Nothing to hold: the page's script runs on one thread and each storage
// call is whole, so nothing in this page comes between keepBest's read and
// its write. The only lock a browser offers across its tabs (Web Locks) is
// granted asynchronously, never within a frame: two tabs of the game at
// once can meet only in the moment between one frame's read and write.
KeptLock lockKeptFolder(const std::string&) { return {}; }
void unlockKeptFolder(KeptLock&) {}
