// The real executable and the real window, on the virtual display.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "support/game_run.h"

namespace {

// Pixels that differ between two pictures of the same size (all of them
// when the sizes differ).
std::size_t differentPixels(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return std::max(a.size(), b.size()) / 3;
    std::size_t count = 0;
    for (std::size_t i = 0; i + 2 < a.size(); i += 3) count += a.compare(i, 3, b, i, 3) != 0;
    return count;
}

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
    EXPECT_EQ(glfwGetInputMode(window, GLFW_STICKY_KEYS), GLFW_FALSE);
    EXPECT_EQ(glfwGetInputMode(window, GLFW_STICKY_MOUSE_BUTTONS), GLFW_FALSE);

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

// GLFW opens what it can get without an error; the game then checks it.
TEST(Window, AFrameBufferShortOfTheRequestIsAWindowThatCouldNotBeOpened) {
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

TEST(Executable, OnAScreenWithoutA1024By768ModeTheWindowFailsWithStatus1) {
    const PrivateDisplay small("800x600x24");
    ASSERT_FALSE(small.name.empty());
    const ProcessResult result =
        runProcess({executablePath().string()}, sourceDir(), {"DISPLAY=" + small.name, "ALSOFT_DRIVERS=null"}, 60);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed to open window!\n"), 1) << result.output;
    EXPECT_EQ(occurrences(result.output, "Failed"), 1) << result.output;
}

TEST(Executable, WithoutADisplayItSaysSoAndEndsWithStatus1) {
    const ProcessResult result =
        runProcess({executablePath().string()}, sourceDir(), {"DISPLAY=", "WAYLAND_DISPLAY="}, 10);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.output.find("Failed to initialize GLFW!\n"), std::string::npos) << result.output;
    // The message stays up for one second (no key can be waiting: the
    // console is not a terminal).
    EXPECT_GE(result.seconds, 1.0);
    EXPECT_LT(result.seconds, 1.5);
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
