// The real executable and the real window, on the virtual display.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
void expectPictureFills(const std::string& rgb, const ScreenCase& screen) {
    ASSERT_EQ(rgb.size(), static_cast<std::size_t>(screen.width) * screen.height * 3) << "not the whole screen";
    const Lit lit = litPixels(rgb, screen.width, screen.height);
    EXPECT_NEAR(lit.left, screen.left, 1);
    EXPECT_NEAR(lit.right, screen.right, 1);
    EXPECT_NEAR(lit.top, screen.top, 1);
    EXPECT_NEAR(lit.bottom, screen.bottom, 1);
}

// On screens without a 1024 x 768 mode the window takes the screen's size.
TEST(Executable, OnScreensOfOtherSizesThePictureFillsItsCentredRectangleAndAClickTurnsTheTubeUnderIt) {
    // A tube of the start-up board that turns alone.
    resetRandomUnit();
    Board board;
    createBoard(board);
    shuffleBoard(board);
    const int tube = tubeWithoutChain(board);
    freeBoard(board);
    const FramePixel onTube = framePixelOverTube(tube);
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
        const std::string before = waitForStillPicture(run, 60);
        xdotool(run, "mousedown 1");
        const bool turning = waitUntil(60, [&] { return screenPicture(run) != before; });
        xdotool(run, "mouseup 1");
        ASSERT_TRUE(turning) << "the click did nothing";
        const std::string after = waitForStillPicture(run, 60);
        ASSERT_EQ(after.size(), before.size()) << "the turn's lightning never ended";

        // Everything that changed lies around the tube: the tube itself, its
        // shadow and the outline of the pointer on it.
        std::string changed(before.size(), '\0');
        for (std::size_t i = 0; i < before.size(); ++i) changed[i] = before[i] == after[i] ? 0 : 1;
        const Lit turned = litPixels(changed, screen.width, screen.height);
        const double tubeX = screen.left + onTube.x * scale, tubeY = screen.top + onTube.y * scale;
        EXPECT_GT(turned.right - turned.left, 20 * scale) << "the tube did not turn";
        EXPECT_GT(turned.left, tubeX - 60 * scale);
        EXPECT_LT(turned.right, tubeX + 60 * scale);
        EXPECT_GT(turned.top, tubeY - 60 * scale);
        EXPECT_LT(turned.bottom, tubeY + 60 * scale);

        const ProcessResult result = endWithEscape(run, 30);
        EXPECT_EQ(result.exitStatus, 0) << result.output;
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
