// Tubechain: click a tube to turn it; every neighbour whose open end meets
// one of its own turns in its turn when it comes to rest.

#include <GLFW/glfw3.h>

#include <chrono>
#include <thread>

#include "game/game.h"
#include "game/pacer.h"

int main() {
    static Game game;
    if (!startUp(game)) return 1;

    FramePacer pacer;
    for (;;) {
        // The window's size is read every frame: a compositor or a window
        // manager may resize the window after it opened. The frame draws
        // for its frame buffer; the pointer comes in window pixels.
        FrameInput input;
        glfwGetFramebufferSize(game.window, &input.windowWidth, &input.windowHeight);
        int windowWidth = 0, windowHeight = 0;
        glfwGetWindowSize(game.window, &windowWidth, &windowHeight);
        // Minimised, or without a pixel to show, the game draws nothing: it
        // waits for whatever shows it again (or closes it) and goes on from
        // the frame where it stopped.
        if (glfwGetWindowAttrib(game.window, GLFW_ICONIFIED) || input.windowWidth <= 0 || input.windowHeight <= 0 ||
            windowWidth <= 0 || windowHeight <= 0) {
            glfwWaitEvents();
            if (glfwWindowShouldClose(game.window)) break;
            continue;
        }
        const Letterbox pointerBox = fitFrame(game.view.width, game.view.height, windowWidth, windowHeight);
        // Input is gathered at the buffer swap only, so these levels are the
        // same whenever in the frame they are read.
        WindowPointer pointer;
        glfwGetCursorPos(game.window, &pointer.x, &pointer.y);
        const FramePointer inFrame = framePointer(pointerBox, pointer);
        input.mouseX = inFrame.x;
        input.mouseY = inFrame.y;
        input.leftButton = glfwGetMouseButton(game.window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
        input.rightButton = glfwGetMouseButton(game.window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS;

        const PointerHold hold = runFrame(game, input);
        const WindowPointer held = windowPointer(pointerBox, {hold.x, hold.y});
        glfwSetCursorPos(game.window, held.x, held.y);

        glfwSwapBuffers(game.window);
        // The pacer is the only clock, and it stands outside the frame.
        const double wait = holdAfterSwap(pacer, glfwGetTime());
        if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        glfwPollEvents();
        if (glfwGetKey(game.window, GLFW_KEY_ESCAPE) == GLFW_PRESS) break;
        if (glfwWindowShouldClose(game.window)) break;
    }

    shutDown(game);
    return 0;
}
