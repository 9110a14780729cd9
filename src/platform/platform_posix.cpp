// Linux and other POSIX systems with the GNU C library.
#include <GLFW/glfw3.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

// $name when it is an absolute path (the XDG rule), else $HOME/fallback;
// empty without either.
std::string baseFolder(const char* name, const char* fallback) {
    const char* set = std::getenv(name);
    if (set && set[0] == '/') return set;
    const char* home = std::getenv("HOME");
    if (!home || !*home) return "";
    return std::string(home) + "/" + fallback;
}

std::string parentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the folder and those above it that are missing, for the player's
// eyes only, as the desktop's folders are made.
bool makeFolders(const std::string& folder) {
    struct stat status;
    if (stat(folder.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
    const std::string parent = parentFolder(folder);
    if (parent != folder && !makeFolders(parent)) return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Writes all of it, however the system splits the writes.
bool writeAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

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

void printConsoleNote(const char* line) { printConsoleLine(line); }

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

std::string keptFilePath(KeptFile file) {
    const std::string folder =
        file == KeptFile::best ? baseFolder("XDG_DATA_HOME", ".local/share") : baseFolder("XDG_CONFIG_HOME", ".config");
    if (folder.empty()) return "";
    return folder + "/tubechain/" + (file == KeptFile::best ? "best.txt" : "settings.ini");
}

KeptRead readKeptFile(const std::string& path, std::size_t largest, std::string& text) {
    text.clear();
    // Never waits on a pipe or a device put in the file's place.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? KeptRead::missing : KeptRead::unreadable;
    struct stat status;
    bool whole = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    char chunk[4096];
    while (whole && text.size() <= largest) {
        const ssize_t count = read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) whole = false;
        if (count <= 0) break;
        text.append(chunk, static_cast<std::size_t>(count));
    }
    close(fd);
    if (!whole) {
        text.clear();
        return KeptRead::unreadable;
    }
    if (text.size() > largest + 1) text.resize(largest + 1);
    return KeptRead::read;
}

bool replaceKeptFile(const std::string& path, const std::string& text) {
    const std::string folder = parentFolder(path);
    if (!makeFolders(folder)) return false;
    std::string name = path + ".new-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) return false;
    const bool written = writeAll(fd, text) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(name.c_str(), path.c_str()) != 0) {
        unlink(name.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder's own entry.
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}

std::string setKeptFileAside(const std::string& path) {
    for (int n = 1; n <= 1000; ++n) {
        const std::string aside = path + (n == 1 ? ".bad" : ".bad-" + std::to_string(n));
        // Renamed only where no file is: RENAME_NOREPLACE, or where the file
        // system lacks it, a second name given and the first taken away.
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return aside;
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) return "";
        if (link(path.c_str(), aside.c_str()) == 0) {
            if (unlink(path.c_str()) == 0) return aside;
            unlink(aside.c_str());
            return "";
        }
        if (errno != EEXIST) return "";
    }
    return "";
}

KeptLock lockKeptFolder(const std::string& path) {
    KeptLock lock;
    const std::string folder = parentFolder(path);
    if (!makeFolders(folder)) return lock;
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return lock;
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return lock;
        }
    }
    lock.handle = fd;
    return lock;
}

void unlockKeptFolder(KeptLock& lock) {
    if (lock.handle < 0) return;
    close(static_cast<int>(lock.handle));
    lock.handle = -1;
}
