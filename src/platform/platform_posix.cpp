// Linux and other POSIX systems with the GNU C library.
#include <GLFW/glfw3.h>
#include <malloc.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace {

// GLFW 3.4's platform choice. The game is also built against GLFW 3.3,
// whose header lacks them and whose library takes them as unknown hints (an
// error nobody reports), so they are spelt out.
constexpr int platformHint = 0x00050003;     // GLFW_PLATFORM
constexpr int x11Platform = 0x00060004;      // GLFW_PLATFORM_X11
constexpr int waylandPlatform = 0x00060003;  // GLFW_PLATFORM_WAYLAND
constexpr int libdecorHint = 0x00053001;     // GLFW_WAYLAND_LIBDECOR
constexpr int withoutLibdecor = 0x00038002;  // GLFW_WAYLAND_DISABLE_LIBDECOR

}  // namespace

// The launcher of the installed game and `make play` start it in its data
// folder: the working folder is where the data is.
void enterDataFolder() {}

void tuneAllocator() {
    // The software renderer frees and takes again large blocks of memory for
    // every batch of drawing. By default the C library gives the top of the
    // heap back to the system each time, so every frame paid for fresh pages
    // (page faults and zeroing cost more CPU than drawing the tubes). Freed
    // memory is now kept for reuse, and big blocks come from the heap too.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

// GLFW 3.4 has X11 and Wayland in one library and tries Wayland first; 3.3
// has X11 only. The game starts on X11 whenever there is an X display, on a
// Wayland desktop through Xwayland, so that it behaves the same on both
// versions; native Wayland is the way out when no X display can be had.
bool startWindowLibrary() {
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

void printConsoleLine(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

void pauseForConsole() {
    for (int waited = 0; waited < 1000; waited += 50) {
        pollfd console = {STDIN_FILENO, POLLIN, 0};
        if (isatty(STDIN_FILENO) && poll(&console, 1, 0) > 0) return;
        usleep(50 * 1000);
    }
}

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
    // A file that grew while it was read is taken as far as its size said.
    const bool whole = read == bytes.size();
    std::fclose(file);
    if (!whole) bytes.clear();
    return whole;
}
