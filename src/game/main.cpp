// Tubechain: click a tube to turn it; every neighbour whose open end meets
// one of its own turns in its turn when it comes to rest.

#include <GLFW/glfw3.h>

#include <cmath>

#include "game/game.h"

int main() {
    static Game game;
    if (!startUp(game)) return 1;

    for (;;) {
        // Input is gathered at the buffer swap only, so these levels are the
        // same whenever in the frame they are read.
        double x = 0, y = 0;
        glfwGetCursorPos(game.window, &x, &y);
        FrameInput input;
        input.mouseX = static_cast<std::int32_t>(std::floor(x));
        input.mouseY = static_cast<std::int32_t>(std::floor(y));
        input.leftButton = glfwGetMouseButton(game.window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
        input.rightButton = glfwGetMouseButton(game.window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS;

        const PointerHold hold = runFrame(game, input);
        glfwSetCursorPos(game.window, hold.x, hold.y);

        glfwSwapBuffers(game.window);
        glfwPollEvents();
        if (glfwGetKey(game.window, GLFW_KEY_ESCAPE) == GLFW_PRESS) break;
        if (glfwWindowShouldClose(game.window)) break;
    }

    shutDown(game);
    return 0;
}
