// The real executable and the real window, on the virtual display.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/test_support.h"

namespace {

TEST(Window, IsFullScreen1024By768WithAStencilBuffer) {
    GLFWwindow* window = sharedWindow();
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_NE(glfwGetWindowMonitor(window), nullptr);
    GLint stencilBits = 0, depthBits = 0, alphaBits = 0;
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    EXPECT_EQ(stencilBits, 8);
    EXPECT_GE(depthBits, 24);
    EXPECT_EQ(alphaBits, 8);
    EXPECT_EQ(glfwGetInputMode(window, GLFW_CURSOR), GLFW_CURSOR_DISABLED);
    EXPECT_EQ(glfwGetInputMode(window, GLFW_STICKY_KEYS), GLFW_FALSE);
    EXPECT_EQ(glfwGetInputMode(window, GLFW_STICKY_MOUSE_BUTTONS), GLFW_FALSE);

    // The state the first frame relies on.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[3], 1.0f);
    EXPECT_FLOAT_EQ(sharedView().aspect, 1024.0f / 768.0f);
}

TEST(Executable, WithoutADisplayItSaysSoAndEndsWithStatus1) {
    const ProcessResult result =
        runProcess({executablePath().string()}, sourceDir(), {"DISPLAY=", "WAYLAND_DISPLAY="}, 10);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.output.find("Failed to initialize GLFW!\n"), std::string::npos) << result.output;
    EXPECT_LT(result.seconds, 1.5);
}

TEST(Executable, EscapeHeldForAFrameEndsItWithStatus0) {
    SpawnedProcess game = spawnProcess({executablePath().string()}, sourceDir(), {});
    const std::string pid = std::to_string(game.pid);
    const std::string window = shellOutput("timeout 20 xdotool search --sync --pid " + pid + " | head -1");
    ASSERT_FALSE(window.empty()) << "no window appeared";
    shellOutput("xdotool windowfocus --sync " + window);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    shellOutput("xdotool keydown Escape; sleep 0.2; xdotool keyup Escape");
    const ProcessResult result = finishProcess(game, 10);
    EXPECT_FALSE(result.timedOut) << result.output;
    EXPECT_EQ(result.exitStatus, 0) << result.output;
}

}  // namespace
