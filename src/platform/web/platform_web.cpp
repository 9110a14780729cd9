// The browser: GLFW on the page's canvas with a WebGL 2 context drawn
// through the GL layer, messages shown on the page, files from the data
// package preloaded into memory.
#include <GLFW/glfw3.h>
#include <emscripten.h>
#include <emscripten/html5.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/platform.h"
#define GL_LAYER_NO_RENAMING
#include "platform/web/gl_layer.h"

// The data package is preloaded at the file system's root, the working folder.
void enterDataFolder() {}

void tuneAllocator() {}

bool startWindowLibrary() { return glfwInit() == GLFW_TRUE; }

GLFWwindow* openGameWindow(int, int, int) {
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
