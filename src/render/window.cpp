#include "render/window.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>

#include <vector>

#include "assets/icon.h"
#include "assets/textures.h"
#include "platform/platform.h"
#include "render/frame_target.h"

namespace {

GLFWwindow* failToOpenWindow() {
    printConsoleLine("Failed to open window!");
    glfwTerminate();
    return nullptr;
}

FramebufferGot framebufferOf(GLFWwindow* window) {
    FramebufferGot got;
    glfwGetFramebufferSize(window, &got.width, &got.height);
    GLint bits = 0;
    glGetIntegerv(GL_ALPHA_BITS, &bits);
    got.alphaBits = bits;
    glGetIntegerv(GL_DEPTH_BITS, &bits);
    got.depthBits = bits;
    glGetIntegerv(GL_STENCIL_BITS, &bits);
    got.stencilBits = bits;
    return got;
}

}  // namespace

bool framebufferMeetsRequest(const ViewSettings& view, const FramebufferGot& got) {
    return got.width == view.width && got.height == view.height && got.alphaBits >= view.alphaBits &&
           got.depthBits >= view.depthBits && got.stencilBits >= view.stencilBits;
}

GLFWwindow* setUpWindow(ViewSettings& view, FrameTarget& target, bool fullScreen, const WindowPlace& place) {
    view.width = frameWidth;
    view.height = frameHeight;
    view.alphaBits = 8;
    view.depthBits = 24;
    view.stencilBits = 8;

    if (!startWindowLibrary()) {
        printConsoleLine("Failed to initialize GLFW!");
        pauseForConsole();
        return nullptr;
    }

    GLFWwindow* window = openGameWindow(view.alphaBits, view.depthBits, view.stencilBits, fullScreen, place);
    if (!window) return failToOpenWindow();
    // The sizes a task bar, a window switcher and a title bar ask for.
    std::vector<IconPicture> icon;
    for (const int size : {16, 32, 48}) icon.push_back({size, iconBytes(size)});
    setWindowIcon(window, icon);
    // The frame goes straight to a window of its size with the bits the
    // passes need, and through an off-screen frame to any other.
    if (!setUpFrameTarget(target, view, framebufferOf(window))) return failToOpenWindow();
    glfwSwapInterval(1);

    glViewport(0, 0, view.width, view.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    view.fov = 45.0f;
    view.aspect = static_cast<float>(static_cast<double>(view.width) / view.height);
    view.nearPlane = 1.0f;
    view.farPlane = 110.0f;
    gluPerspective(view.fov, view.aspect, view.nearPlane, view.farPlane);

    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 1);  // the clear alpha of 1 is what the score texture blends over
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_CULL_FACE);
    setImageTextureParameters();
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return window;
}

void setUpLight(Light& light) {
    light = Light{{8, 12, 8, 1}, {0.05f, 0.05f, 0.05f, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.75f, 0.75f, 0.75f, 1}};
    glLightfv(GL_LIGHT0, GL_AMBIENT, light.ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, light.diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, light.specular);
    glLightfv(GL_LIGHT0, GL_POSITION, light.position);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
}
