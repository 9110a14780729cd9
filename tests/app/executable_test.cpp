// The real executable and the real window, on the virtual display.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>

#include "game/board.h"
#include "support/game_run.h"
#include "support/tube_pointer.h"

namespace {

// Pixels that differ between two pictures of the same size (all of them
// when the sizes differ).
std::size_t differentPixels(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return std::max(a.size(), b.size()) / 3;
    std::size_t count = 0;
    for (std::size_t i = 0; i + 2 < a.size(); i += 3) count += a.compare(i, 3, b, i, 3) != 0;
    return count;
}

// The virtual display's screen is 1024 x 768: the window takes the frame straight.
TEST(Window, IsFullScreen1024By768WithAStencilBuffer) {
    GLFWwindow* window = sharedWindow();
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_NE(glfwGetWindowMonitor(window), nullptr);
    EXPECT_EQ(glInteger(GL_STENCIL_BITS), 8);
    EXPECT_GE(glInteger(GL_DEPTH_BITS), 24);
    EXPECT_EQ(glInteger(GL_ALPHA_BITS), 8);
    EXPECT_EQ(glfwGetInputMode(window, GLFW_CURSOR), GLFW_CURSOR_DISABLED);
    EXPECT_EQ(glfwGetInputMode(window, GLFW_STICKY_KEYS), GLFW_TRUE);
    EXPECT_EQ(glfwGetInputMode(window, GLFW_STICKY_MOUSE_BUTTONS), GLFW_TRUE);
    EXPECT_EQ(glfwGetWindowAttrib(window, GLFW_AUTO_ICONIFY), GLFW_FALSE) << "no screen mode to give back";

    // The state the first frame relies on.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_EQ(glInteger(GL_DEPTH_FUNC), GL_LEQUAL);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[3], 1.0f);
    EXPECT_FLOAT_EQ(sharedView().aspect, 1024.0f / 768.0f);
}

// GLFW opens what it can get without an error, and a compositor sizes the
// window as it likes; the frame goes straight only to what serves it.
TEST(Window, AFrameBufferShortOfTheRequestTakesTheFrameOffScreen) {
    const ViewSettings& view = sharedView();
    const FramebufferGot asked = {1024, 768, 8, 24, 8};
    EXPECT_TRUE(framebufferMeetsRequest(view, asked));
    EXPECT_TRUE(framebufferMeetsRequest(view, {1024, 768, 16, 32, 16})) << "more bits than asked for serve";
    const struct {
        const char* what;
        FramebufferGot got;
    } short_[] = {
        {"one alpha bit short", {1024, 768, 7, 24, 8}},   {"one depth bit short", {1024, 768, 8, 23, 8}},
        {"one stencil bit short", {1024, 768, 8, 24, 7}}, {"no stencil buffer", {1024, 768, 8, 24, 0}},
        {"an 800 x 600 screen", {800, 600, 8, 24, 8}},    {"one pixel narrower", {1023, 768, 8, 24, 8}},
        {"one pixel lower", {1024, 767, 8, 24, 8}},       {"a larger screen", {1280, 1024, 8, 24, 8}},
    };
    for (const auto& c : short_) EXPECT_FALSE(framebufferMeetsRequest(view, c.got)) << c.what;
}

// Where the 1024 x 768 picture must stand on a screen of another size:
// scaled to fit with its shape kept, centred; rows from the top.
struct ScreenCase {
    const char* screen;
    int width, height;
    int left, top, right, bottom;  // the picture's pixels: left..right-1, top..bottom-1
};

// The pixels of a raw RGB screenshot that are not black, as a rectangle
// (empty when there are none); and whether every pixel outside the given
// rectangle is black.
struct Lit {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Lit litPixels(const std::string& rgb, int width, int height) {
    Lit lit;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
            if (rgb[at] == 0 && rgb[at + 1] == 0 && rgb[at + 2] == 0) continue;
            lit.left = std::min(lit.left, x), lit.right = std::max(lit.right, x + 1);
            lit.top = std::min(lit.top, y), lit.bottom = std::max(lit.bottom, y + 1);
        }
    }
    return lit;
}

// The picture fills its rectangle: its own edges reach all four sides (the
// stage touches the frame's edges), and the bars around it are black.
bool pictureFills(const std::string& rgb, const ScreenCase& screen) {
    if (rgb.size() != static_cast<std::size_t>(screen.width) * screen.height * 3) return false;
    const Lit lit = litPixels(rgb, screen.width, screen.height);
    return std::abs(lit.left - screen.left) <= 1 && std::abs(lit.right - screen.right) <= 1 &&
           std::abs(lit.top - screen.top) <= 1 && std::abs(lit.bottom - screen.bottom) <= 1;
}
void expectPictureFills(const std::string& rgb, const ScreenCase& screen) {
    ASSERT_EQ(rgb.size(), static_cast<std::size_t>(screen.width) * screen.height * 3) << "not the whole screen";
    const Lit lit = litPixels(rgb, screen.width, screen.height);
    EXPECT_NEAR(lit.left, screen.left, 1);
    EXPECT_NEAR(lit.right, screen.right, 1);
    EXPECT_NEAR(lit.top, screen.top, 1);
    EXPECT_NEAR(lit.bottom, screen.bottom, 1);
}

// A click where the pointer stands turns the tube under it: once the board
// stands still again, everything that changed lies around the tube (at the
// given frame pixel): the tube itself, its shadow and the outline of the
// pointer on it.
void expectClickTurnsTheTubeAt(const GameRun& run, const ScreenCase& screen, const FramePixel& onTube) {
    const double scale = (screen.right - screen.left) / 1024.0;
    const std::string before = waitForStillPicture(run, 60);
    xdotool(run, "mousedown 1");
    const bool turning = waitUntil(60, [&] { return screenPicture(run) != before; });
    xdotool(run, "mouseup 1");
    ASSERT_TRUE(turning) << "the click did nothing";
    const std::string after = waitForStillPicture(run, 60);
    ASSERT_EQ(after.size(), before.size()) << "the turn's lightning never ended";

    std::string changed(before.size(), '\0');
    for (std::size_t i = 0; i < before.size(); ++i) changed[i] = before[i] == after[i] ? 0 : 1;
    const Lit turned = litPixels(changed, screen.width, screen.height);
    const double tubeX = screen.left + onTube.x * scale, tubeY = screen.top + onTube.y * scale;
    EXPECT_GT(turned.right - turned.left, 20 * scale) << "the tube did not turn";
    EXPECT_GT(turned.left, tubeX - 60 * scale);
    EXPECT_LT(turned.right, tubeX + 60 * scale);
    EXPECT_GT(turned.top, tubeY - 60 * scale);
    EXPECT_LT(turned.bottom, tubeY + 60 * scale);
}

// A tube of the start-up board that turns alone.
int tubeThatTurnsAlone() {
    resetRandomUnit();
    Board board;
    createBoard(board);
    shuffleBoard(board);
    const int tube = tubeWithoutChain(board);
    freeBoard(board);
    return tube;
}

// On screens without a 1024 x 768 mode the window takes the screen's size.
TEST(Executable, OnScreensOfOtherSizesThePictureFillsItsCentredRectangleAndAClickTurnsTheTubeUnderIt) {
    const FramePixel onTube = framePixelOverTube(tubeThatTurnsAlone());
    const ScreenCase screens[] = {{"1920x1080x24", 1920, 1080, 240, 0, 1680, 1080},
                                  {"1280x1024x24", 1280, 1024, 0, 32, 1280, 992},
                                  {"800x600x24", 800, 600, 0, 0, 800, 600}};
    for (const ScreenCase& screen : screens) {
        SCOPED_TRACE(screen.screen);
        GameRun run(sourceDir(), executablePath(), screen.screen);
        ASSERT_FALSE(run.window.empty()) << "no window appeared";
        ASSERT_TRUE(run.focused) << "the game did not take the keyboard focus";
        const std::string parked = parkPointer(run);
        ASSERT_FALSE(parked.empty()) << "the start-up lightning never ended";
        expectPictureFills(parked, screen);

        // The pointer stands on the middle of frame pixel (1, 1); the tube's
        // frame pixel, through the scaling, is so many window pixels on.
        const double scale = (screen.right - screen.left) / 1024.0;
        ASSERT_TRUE(movePointerBy(run, static_cast<int>(std::lround((onTube.x - 1) * scale)),
                                  static_cast<int>(std::lround((onTube.y - 1) * scale))))
            << "the pointer did not follow";
        expectClickTurnsTheTubeAt(run, screen, onTube);

        const ProcessResult result = endWithEscape(run, 30);
        EXPECT_EQ(result.exitStatus, 0) << result.output;
    }
}

// Where a window stands on the screen and how big it is, as X tells.
struct Geometry {
    int x = -1, y = -1, width = 0, height = 0;
    bool operator==(const Geometry&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    return out << g.width << "x" << g.height << "+" << g.x << "+" << g.y;
}
Geometry windowGeometry(const GameRun& run) {
    const std::string info = shellOutput("DISPLAY=" + run.display.name + " xwininfo -id " + run.window + " 2>&1");
    const auto field = [&](const std::string& name) {
        const std::size_t at = info.find(name);
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + name.size());
    };
    return {field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:")};
}
// Presses the keys (xdotool's names) and waits until the window stands so.
bool switchWindow(const GameRun& run, const std::string& keys, const Geometry& expected) {
    xdotool(run, "key " + keys);
    return waitUntil(60, [&] { return windowGeometry(run) == expected; });
}

// The 1024 x 768 frame fitted into a window of the given size.
ScreenCase fittedInto(int width, int height) {
    const double scale = std::min(width / 1024.0, height / 768.0);
    const int left = static_cast<int>(std::lround((width - 1024 * scale) / 2));
    const int top = static_cast<int>(std::lround((height - 768 * scale) / 2));
    return {"window", width, height, left, top, width - left, height - top};
}

// F11 and Alt+Enter switch both ways, any number of times, never changing
// the screen's mode. A new window gets the frame's own size where the
// screen has room for it and a title bar, else four fifths of the screen
// at the frame's shape, in the middle; the frame is fitted into it and a
// click lands through the scaling. Where the window was dragged and how
// big it was made comes back with the next start.
TEST(Executable, F11AndAltEnterSwitchBetweenFullScreenAndAWindowThatComesBackAtTheNextStart) {
    const FramePixel onTube = framePixelOverTube(tubeThatTurnsAlone());
    const struct {
        const char* screen;
        Geometry full, window;
    } cases[] = {{"1024x768x24", {0, 0, 1024, 768}, {103, 77, 818, 614}},
                 {"1920x1080x24", {0, 0, 1920, 1080}, {448, 156, 1024, 768}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        GameRun run(sourceDir(), executablePath(), c.screen);
        ASSERT_FALSE(run.window.empty()) << "no window appeared";
        ASSERT_FALSE(parkPointer(run).empty()) << "the start-up lightning never ended";
        ASSERT_EQ(windowGeometry(run), c.full);

        ASSERT_TRUE(switchWindow(run, "F11", c.window)) << windowGeometry(run);
        // The pointer stays on its frame pixel, (1, 1), now free to leave
        // the window: the first pixel of the window but for a fraction.
        const std::string parked = std::to_string(c.window.x + 1) + " y:" + std::to_string(c.window.y + 1) + " ";
        EXPECT_TRUE(waitUntil(60, [&] { return xdotool(run, "getmouselocation").find("x:" + parked) == 0; }))
            << xdotool(run, "getmouselocation");
        // The cursor stands in the frame's corner, which is black but for it.
        const ScreenCase fitted = fittedInto(c.window.width, c.window.height);
        const auto cursorInCorner = [&](const std::string& rgb) {
            if (!pictureFills(rgb, fitted)) return false;
            std::string corner;
            for (int row = 0; row < 12; ++row) corner += rgb.substr(row * fitted.width * 3, 12 * 3);
            return litPixels(corner, 12, 12).right > 0;
        };
        EXPECT_TRUE(waitUntil(60, [&] { return cursorInCorner(screenPicture(run)); })) << "not fitted, or no cursor";
        const double scale = (fitted.right - fitted.left) / 1024.0;
        xdotool(run, "mousemove " + std::to_string(std::lround(c.window.x + fitted.left + (onTube.x + 0.5) * scale)) +
                         " " + std::to_string(std::lround(c.window.y + fitted.top + (onTube.y + 0.5) * scale)));
        ASSERT_TRUE(waitUntil(60, [&] { return !cursorInCorner(screenPicture(run)); })) << "the pointer did not follow";
        expectClickTurnsTheTubeAt(run, fitted, onTube);

        EXPECT_TRUE(switchWindow(run, "alt+Return", c.full)) << windowGeometry(run);
        EXPECT_TRUE(switchWindow(run, "alt+Return", c.window)) << windowGeometry(run);
        EXPECT_TRUE(switchWindow(run, "F11", c.full)) << windowGeometry(run);
        const ScreenCase screen = fittedInto(c.full.width, c.full.height);
        EXPECT_TRUE(waitUntil(60, [&] { return pictureFills(screenPicture(run), screen); }));

        // Dragged and made bigger, then the game ends in its window.
        ASSERT_TRUE(switchWindow(run, "F11", c.window));
        const Geometry moved = {c.window.x / 2, c.window.y / 3, c.window.width + 32, c.window.height + 16};
        xdotool(run,
                "windowsize " + run.window + " " + std::to_string(moved.width) + " " + std::to_string(moved.height));
        xdotool(run, "windowmove " + run.window + " " + std::to_string(moved.x) + " " + std::to_string(moved.y));
        ASSERT_TRUE(waitUntil(60, [&] { return windowGeometry(run) == moved; })) << windowGeometry(run);
        ASSERT_EQ(endWithEscape(run, 30).exitStatus, 0);

        GameRun again(sourceDir(), executablePath(), c.screen, Desktop::xvfb, homeEnvironment(run.home));
        ASSERT_FALSE(again.window.empty()) << "no window appeared";
        EXPECT_TRUE(waitUntil(60, [&] { return windowGeometry(again) == moved; })) << windowGeometry(again);
        ASSERT_EQ(endWithEscape(again, 30).exitStatus, 0);
    }
}

// A Wayland compositor gives the full-screen window the whole output,
// whatever the game asked for; Escape reaches it through Xwayland.
TEST(Executable, UnderAWaylandCompositorThePictureFillsTheOutputAndEscapeEndsIt) {
    const ScreenCase output = {"1920x1080", 1920, 1080, 240, 0, 1680, 1080};
    GameRun run(sourceDir(), executablePath(), output.screen, Desktop::weston);
    ASSERT_FALSE(run.display.name.empty()) << "weston did not start";
    ASSERT_FALSE(run.window.empty()) << "no window appeared";
    const std::string still = waitForStillPicture(run, 120);
    ASSERT_FALSE(still.empty()) << "the start-up lightning never ended";
    expectPictureFills(still, output);
    const ProcessResult result = endWithEscape(run, 30);
    EXPECT_EQ(result.exitStatus, 0) << result.output;
}

// A Wayland desktop places the window where it likes; its size is the
// game's, and F11 takes it back to the whole output. (The headless
// compositor's keys go to the window under the pointer, which a test cannot
// move there: its Xwayland crashes on a pointer moved through XTEST.)
TEST(Executable, UnderAWaylandDesktopF11GivesAWindowOfTheFramesSizeAndTakesItBack) {
    GameRun run(sourceDir(), executablePath(), "1920x1080", Desktop::westonWithWindows);
    ASSERT_FALSE(run.window.empty()) << "no window appeared";
    ASSERT_TRUE(waitUntil(60, [&] {
        const Geometry g = windowGeometry(run);
        return g.width == 1920 && g.height == 1080;
    })) << windowGeometry(run);
    // Where the compositor stands a full-screen window of the X server: at
    // the output's top-left corner, or below its panel (weston 14).
    const Geometry fullScreen = windowGeometry(run);
    xdotool(run, "key F11");
    ASSERT_TRUE(waitUntil(60, [&] {
        const Geometry g = windowGeometry(run);
        return g.width == 1024 && g.height == 768;
    })) << windowGeometry(run);
    EXPECT_TRUE(waitUntil(60, [&] { return pictureFills(screenPicture(run), fittedInto(1024, 768)); }));
    xdotool(run, "key F11");
    EXPECT_TRUE(waitUntil(60, [&] { return windowGeometry(run) == fullScreen; })) << windowGeometry(run);
    const ProcessResult result = endWithEscape(run, 30);
    EXPECT_EQ(result.exitStatus, 0) << result.output;
}

TEST(Executable, WithoutADisplayItSaysSoAndEndsWithStatus1) {
    const ProcessResult result =
        runProcess({executablePath().string()}, sourceDir(), {"DISPLAY=", "WAYLAND_DISPLAY="}, 10);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.output, "Failed to initialize GLFW!\n");
    // The message stays up for one second (no key can be waiting: the
    // console is not a terminal).
    EXPECT_GE(result.seconds, 1.0);
    EXPECT_LT(result.seconds, 1.5);
}

// GLFW 3.3 has no Wayland; 3.4 crashes starting on a compositor without a seat.
TEST(Executable, OnlyOnAWaylandCompositorWithoutASeatItSaysSoAndEndsWithStatus1) {
    const PrivateDisplay wayland("1024x768", Desktop::westonWithoutX);
    ASSERT_FALSE(wayland.name.empty()) << "weston did not start";
    const ProcessResult result = runProcess(
        {executablePath().string()}, sourceDir(),
        {"DISPLAY=", "WAYLAND_DISPLAY=" + wayland.name, "XDG_RUNTIME_DIR=" + wayland.runtimeFolder.string()}, 30);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.output, "Failed to initialize GLFW!\n");
}

// Escape ending the game with status 0, mid-chain, is in the click
// end-to-end test.

TEST(Executable, EveryRunStartsOnTheSameBoardAndARightClickShufflesIt) {
    std::string startUpBoard;
    {
        GameRun run(sourceDir());
        ASSERT_FALSE(run.window.empty()) << "no window appeared";
        // With the pointer parked off the board and the start-up lightning
        // over, the picture stands still.
        startUpBoard = parkPointer(run);
        ASSERT_FALSE(startUpBoard.empty()) << "the start-up lightning never ended";

        // The button is held until the shuffle is heard.
        const std::size_t pressed = heardSoFar(run).samples.size();
        xdotool(run, "mousedown 3");
        const bool heard = waitUntil(60, [&] { return firstOnset(heardSoFar(run), pressed) != std::string::npos; });
        xdotool(run, "mouseup 3");
        ASSERT_TRUE(heard) << "the right click was not heard";
        // Its sound can come out before its frame shows: the board at rest
        // is looked for once the picture has changed.
        ASSERT_TRUE(waitUntil(60, [&] { return screenPicture(run) != startUpBoard; })) << "the board did not change";
        const std::string shuffled = waitForStillPicture(run, 60);
        ASSERT_FALSE(shuffled.empty()) << "the shuffle's lightning never ended";
        EXPECT_GT(differentPixels(shuffled, startUpBoard), 10000u) << "the board did not change";
        const ProcessResult result = endWithEscape(run, 30);
        EXPECT_EQ(result.exitStatus, 0) << result.output;
    }

    GameRun again(sourceDir());
    ASSERT_FALSE(again.window.empty()) << "no window appeared";
    const std::string board = parkPointer(again);
    ASSERT_FALSE(board.empty()) << "the start-up lightning never ended";
    EXPECT_EQ(differentPixels(board, startUpBoard), 0u) << "the second run started on another board";
    EXPECT_EQ(endWithEscape(again, 30).exitStatus, 0);
}

TEST(Executable, AWindowManagersCloseRequestEndsItWithStatus0) {
    GameRun run(sourceDir());
    ASSERT_FALSE(run.window.empty()) << "no window appeared";
    // The start-up sparks are heard once the frames run.
    ASSERT_TRUE(waitUntil(60, [&] { return firstOnset(heardSoFar(run), 0) != std::string::npos; }));
    ASSERT_TRUE(sendCloseRequest(run));
    const ProcessResult result = finish(run, 30);
    EXPECT_FALSE(result.timedOut) << "the close request was not heeded";
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    EXPECT_EQ(result.output, "");
}

}  // namespace
