#include "support/game_run.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "game/board.h"
#include "sound/sound_files.h"
#include "support/camera_view.h"
#include "support/loaded_model.h"
#include "support/tube_pointer.h"

namespace fs = std::filesystem;

namespace {

// The level below which a 10 ms window counts as silence, and the loudness a
// new sound must reach to count as one.
constexpr float silence = 0.01f;
constexpr float onsetLevel = 0.02f;

std::size_t windowLength(const HeardSound& heard) { return static_cast<std::size_t>(heard.rate / 100); }

// The loudest level in each 10 ms window.
std::vector<float> windowPeaks(const HeardSound& heard) {
    std::vector<float> peaks;
    const std::size_t window = windowLength(heard);
    for (std::size_t from = 0; window > 0 && from + window <= heard.samples.size(); from += window) {
        float peak = 0;
        for (std::size_t k = 0; k < window; ++k) peak = std::max(peak, std::fabs(heard.samples[from + k]));
        peaks.push_back(peak);
    }
    return peaks;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::vector<std::size_t> soundOnsets(const HeardSound& heard, std::size_t from) {
    std::vector<std::size_t> onsets;
    const std::vector<float> peaks = windowPeaks(heard);
    const std::size_t window = windowLength(heard);
    std::size_t last = 0;  // the window of the last onset
    for (std::size_t i = 3; i < peaks.size(); ++i) {
        const float before = std::max({peaks[i - 1], peaks[i - 2], peaks[i - 3]});
        if (peaks[i] < onsetLevel || peaks[i] < 2 * before) continue;
        // An attack that rises over two windows is one onset. The sound
        // starts at the window's first sample louder than the 30 ms before:
        // one started just after a moment measured is never put before it.
        if (last == 0 || i - last > 3) {
            std::size_t start = i * window;
            while (std::fabs(heard.samples[start]) <= before) ++start;
            if (start >= from) onsets.push_back(start);
        }
        last = i;
    }
    return onsets;
}

std::size_t firstOnset(const HeardSound& heard, std::size_t from) {
    const std::vector<std::size_t> onsets = soundOnsets(heard, from);
    return onsets.empty() ? std::string::npos : onsets.front();
}

double loudSeconds(const HeardSound& heard, std::size_t from, std::size_t to) {
    const std::vector<float> peaks = windowPeaks(heard);
    const std::size_t window = windowLength(heard);
    int loud = 0;
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        if (i * window >= from && (i + 1) * window <= to && peaks[i] >= silence) ++loud;
    }
    return loud / 100.0;
}

bool endsQuiet(const HeardSound& heard, double seconds) {
    const std::vector<float> peaks = windowPeaks(heard);
    const std::size_t windows = static_cast<std::size_t>(std::lround(seconds * 100));
    if (peaks.size() < windows) return false;
    return std::all_of(peaks.end() - static_cast<long>(windows), peaks.end(),
                       [](float peak) { return peak < silence; });
}

namespace {

// Xvfb picks a free display number and writes it to the pipe once it
// accepts clients. It never resets: by default an X server starts afresh
// whenever its last client leaves, and refuses whoever connects meanwhile.
std::string startXvfb(const std::string& screen, int& pid) {
    int numberPipe[2];
    if (pipe(numberPipe) != 0) return "";
    pid = fork();
    if (pid == 0) {
        close(numberPipe[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        const std::string fd = std::to_string(numberPipe[1]);
        execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
              "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(numberPipe[1]);
    std::string number;
    pollfd reading = {numberPipe[0], POLLIN, 0};
    char c = 0;
    while (poll(&reading, 1, 60000) > 0 && read(numberPipe[0], &c, 1) == 1 && c != '\n') number += c;
    close(numberPipe[0]);
    return number.empty() ? "" : ":" + number;
}

// weston with one headless output, drawn in software, and Xwayland, in a
// process group of its own; it says in its log which display Xwayland
// serves once it listens there (Xwayland itself starts with the first client),
// or without Xwayland, its socket. The kiosk shell gives a full-screen window
// the whole output (weston 14's desktop shell keeps its panel above it); the
// desktop shell places and decorates windows.
std::string startWeston(int width, int height, const fs::path& runtimeFolder, bool xwayland, bool windows, int& pid) {
    const std::string socket = "wayland-tubechain";
    const fs::path log = runtimeFolder / "weston.log";
    pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        const std::string widthOption = "--width=" + std::to_string(width);
        const std::string heightOption = "--height=" + std::to_string(height);
        const std::string socketOption = "--socket=" + socket;
        execl("/usr/bin/weston", "weston", "--backend=headless-backend.so", "--use-pixman", widthOption.c_str(),
              heightOption.c_str(), windows ? "--shell=desktop-shell.so" : "--shell=kiosk-shell.so", "--idle-time=0",
              "--no-config", socketOption.c_str(), xwayland ? "--xwayland" : static_cast<char*>(nullptr),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    if (!xwayland) {
        const bool listening = waitUntil(60, [&] { return fs::exists(runtimeFolder / socket); });
        return listening ? socket : "";
    }
    std::string name;
    const std::string said = "listening on display ";
    waitUntil(60, [&] {
        std::ifstream in(log);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t at = text.find(said);
        if (at == std::string::npos) return waitpid(pid, nullptr, WNOHANG) != 0;  // gave up, or still starting
        const std::size_t end = text.find_first_not_of(":0123456789", at + said.size());
        if (end == std::string::npos) return false;  // the line is still being written
        name = text.substr(at + said.size(), end - at - said.size());
        return true;
    });
    return name;
}

}  // namespace

PrivateDisplay::PrivateDisplay(const std::string& screen, Desktop desktop_) : desktop(desktop_) {
    std::sscanf(screen.c_str(), "%dx%d", &width, &height);
    if (desktop == Desktop::xvfb) {
        name = startXvfb(screen, pid);
        return;
    }
    // The compositor wants a runtime folder that only its user may enter.
    char folderTemplate[] = "/tmp/tubechain-weston-XXXXXX";
    if (!mkdtemp(folderTemplate)) return;
    runtimeFolder = folderTemplate;
    name = startWeston(width, height, runtimeFolder, desktop != Desktop::westonWithoutX,
                       desktop == Desktop::westonWithWindows, pid);
}

PrivateDisplay::~PrivateDisplay() {
    if (pid > 0) {
        if (desktop != Desktop::xvfb) kill(-pid, SIGTERM);
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        // Whatever the compositor started and left (Xwayland, its shell).
        if (desktop != Desktop::xvfb) kill(-pid, SIGKILL);
    }
    std::error_code ignored;
    if (!runtimeFolder.empty()) fs::remove_all(runtimeFolder, ignored);
}

GameRun::GameRun(const fs::path& dataFolder, const fs::path& game, const std::string& screen, Desktop desktop,
                 const std::vector<std::string>& environment)
    : display(screen, desktop) {
    char folderTemplate[] = "/tmp/tubechain-run-XXXXXX";
    folder = mkdtemp(folderTemplate);
    recording = folder / "heard.wav";
    const fs::path config = folder / "alsoft.conf";
    std::ofstream(config) << "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\ndither=false\n"
                             "[wave]\nfile="
                          << recording.string() << "\n";
    home = folder / "home";
    if (display.name.empty()) return;
    // Nothing of a Wayland session reaches the game, on any GLFW.
    std::vector<std::string> settings = {
        "DISPLAY=" + display.name,        "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=", "ALSOFT_DRIVERS=wave",
        "ALSOFT_CONF=" + config.string(),
    };
    for (const auto& given : {homeEnvironment(home), environment})
        settings.insert(settings.end(), given.begin(), given.end());
    process = spawnProcess({game.string()}, dataFolder, settings);
    const std::string found = xdotool(*this, "search --sync --onlyvisible --pid " + std::to_string(process.pid));
    window = trimmed(found.substr(0, found.find('\n')));
    // With no window manager on Xvfb nobody gives the window the keyboard:
    // the game takes it itself once its window shows. (On the headless
    // compositor no seat has a keyboard focus to give; keys go to the window
    // under the pointer.)
    if (!window.empty() && desktop == Desktop::xvfb) {
        focused = waitUntil(60, [&] { return trimmed(xdotool(*this, "getwindowfocus")) == window; });
    }
}

GameRun::~GameRun() {
    if (process.pid > 0 && !ended) finishProcess(process, 0);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

std::vector<std::string> homeEnvironment(const fs::path& home) {
    return {"HOME=" + home.string(), "XDG_DATA_HOME=" + (home / ".local/share").string(),
            "XDG_CONFIG_HOME=" + (home / ".config").string()};
}

std::string xdotool(const GameRun& run, const std::string& arguments) {
    return shellOutput("DISPLAY=" + run.display.name + " timeout 60 xdotool " + arguments);
}

HeardSound heardSoFar(const GameRun& run) {
    const soundtest::Recording stereo = soundtest::readRecording(run.recording);
    HeardSound heard{stereo.rate, {}};
    heard.samples.reserve(stereo.left.size());
    for (std::size_t i = 0; i < stereo.left.size(); ++i)
        heard.samples.push_back((stereo.left[i] + stereo.right[i]) / 2);
    return heard;
}

namespace {

// A window that went away while it was read is no picture, not a failure.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

}  // namespace

std::string screenPicture(const GameRun& run) {
    // Read straight from the server: a tool that grabs the server while it
    // reads can hold up the game's buffer swap, and so the game, for good.
    static const auto previousHandler = XSetErrorHandler(ignoreXError);
    (void)previousHandler;
    Display* display = XOpenDisplay(run.display.name.c_str());
    if (!display) return "";
    // Xwayland has no root window picture; a window's picture works everywhere.
    const Window window = run.window.empty() ? DefaultRootWindow(display) : std::stoul(run.window);
    std::string rgb;
    XWindowAttributes attributes;
    XImage* image = XGetWindowAttributes(display, window, &attributes)
                        ? XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap)
                        : nullptr;
    if (image) {
        rgb.reserve(static_cast<std::size_t>(image->width) * image->height * 3);
        for (int y = 0; y < image->height; ++y) {
            for (int x = 0; x < image->width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                // Each channel's 8 bits, shifted down by its mask's lowest bit.
                for (const unsigned long mask : {image->red_mask, image->green_mask, image->blue_mask})
                    rgb += static_cast<char>((pixel & mask) / (mask & (0 - mask)) & 0xff);
            }
        }
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return rgb;
}

// The lightning's blue: blue at least 100 and more than three times red and green.
int lightningPixels(const std::string& rgb) {
    int count = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        const int r = static_cast<unsigned char>(rgb[i]), g = static_cast<unsigned char>(rgb[i + 1]),
                  b = static_cast<unsigned char>(rgb[i + 2]);
        count += b >= 100 && b > 3 * r && b > 3 * g;
    }
    return count;
}

namespace {

// The cursor stands in the frame's top-left corner, where the game holds a
// parked pointer: the stage leaves that corner black but for the cursor.
bool cursorInCorner(const GameRun& run, const std::string& rgb) {
    const int width = run.display.width, height = run.display.height;
    if (rgb.size() != static_cast<std::size_t>(width) * height * 3) return false;
    // The frame fills the screen's width or its height, centred.
    const double scale = std::min(width / 1024.0, height / 768.0);
    const int left = static_cast<int>(std::lround((width - 1024 * scale) / 2));
    const int top = static_cast<int>(std::lround((height - 768 * scale) / 2));
    const int corner = static_cast<int>(std::ceil(8 * scale));
    for (int y = top; y < top + corner; ++y) {
        for (int x = left; x < left + corner; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
            if (rgb[at] != 0 || rgb[at + 1] != 0 || rgb[at + 2] != 0) return true;
        }
    }
    return false;
}

}  // namespace

std::string waitForStillPicture(const GameRun& run, double timeLimitSeconds) {
    // However slowly the frames come, a picture with a lightning in it is
    // not the end of anything; once none runs, only the pointer moves it.
    // A window that shows nothing but black has not had its first frame.
    std::string previous = screenPicture(run);
    const bool still = waitUntil(timeLimitSeconds, [&] {
        std::string now = screenPicture(run);
        const bool drawn = now.find_first_not_of('\0') != std::string::npos;
        const bool same = drawn && now == previous && lightningPixels(now) == 0;
        previous = std::move(now);
        return same;
    });
    return still ? previous : std::string();
}

std::string parkPointer(const GameRun& run) {
    // The game reads relative moves only once it holds the pointer, which
    // it takes when it sees its focus: a move sent before is lost, so it is
    // sent again until the cursor shows in the corner.
    std::string parked;
    const bool inCorner = waitUntil(120, [&] {
        xdotool(run, "mousemove_relative -- -3000 -3000");
        parked = waitForStillPicture(run, 60);
        return cursorInCorner(run, parked);
    });
    return inCorner ? parked : std::string();
}

bool movePointerBy(const GameRun& run, int dx, int dy) {
    const int longest = std::min(run.display.width, run.display.height) / 2 - 20;
    while (dx != 0 || dy != 0) {
        const int stepX = std::clamp(dx, -longest, longest), stepY = std::clamp(dy, -longest, longest);
        const std::string before = screenPicture(run);
        xdotool(run, "mousemove_relative -- " + std::to_string(stepX) + " " + std::to_string(stepY));
        if (!waitUntil(30, [&] { return screenPicture(run) != before; })) return false;
        dx -= stepX;
        dy -= stepY;
    }
    return true;
}

ProcessResult endWithEscape(GameRun& run, double timeLimitSeconds) {
    xdotool(run, "keydown Escape");
    const ProcessResult result = finish(run, timeLimitSeconds);
    xdotool(run, "keyup Escape");
    return result;
}

ProcessResult finish(GameRun& run, double timeLimitSeconds) {
    run.ended = true;
    return finishProcess(run.process, timeLimitSeconds);
}

bool sendCloseRequest(const GameRun& run) {
    Display* display = XOpenDisplay(run.display.name.c_str());
    if (!display || run.window.empty()) return false;
    XEvent request = {};
    request.xclient.type = ClientMessage;
    request.xclient.window = std::stoul(run.window);
    request.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    request.xclient.format = 32;
    request.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    request.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, request.xclient.window, False, NoEventMask, &request) != 0;
    XCloseDisplay(display);
    return sent;
}

FramePixel framePixelOverTube(int index) {
    const LoadedModel model = loadModelFile((sourceDir() / "Model/Tube.OBJ").string(), 2);
    if (!model) return {512, 384};
    const Vector3 surface = tubeAimPoint(*model);

    // The start-up board: the same in every run.
    resetRandomUnit();
    Board board;
    createBoard(board);
    shuffleBoard(board);
    const Tube& tube = board[index];
    const double angle = tube.angleY * M_PI / 180;
    // Turned counter-clockwise about y (seen from above), then moved to the tube.
    const double point[3] = {tube.position[0] + surface.x * std::cos(angle) + surface.z * std::sin(angle),
                             tube.position[1] + surface.y,
                             tube.position[2] - surface.x * std::sin(angle) + surface.z * std::cos(angle)};
    freeBoard(board);

    const ScreenPoint window = projectToWindow(point[0], point[1], point[2]);
    return {window.x, 768 - window.y};
}
