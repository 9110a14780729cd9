#include "app/frame.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <thread>

#include "game/picking.h"
#include "game/rules.h"
#include "platform/platform.h"

namespace {

// The window's sizes, the pointer in frame pixels, the buttons and Escape.
// Input is gathered at the buffer swap only, so these levels are the same
// whenever in the frame they are read. False when the window is minimised
// or has no pixels to show: the frame then waits instead.
bool readInput(Game& game, FramePlay& play) {
    // Read in every frame: a compositor or a window manager may resize the
    // window after it opened. The frame draws for its frame buffer; the
    // pointer comes in window pixels.
    const WindowSize size = windowSize(game.window);
    play.windowWidth = size.framebufferWidth;
    play.windowHeight = size.framebufferHeight;
    const int width = size.width, height = size.height;
    play.pointerBox = fitFrame(game.view.width, game.view.height, width, height);
    if (!play.fromWindow) {
        play.input = play.given;
        return true;
    }
    if (glfwGetWindowAttrib(game.window, GLFW_ICONIFIED) || play.windowWidth <= 0 || play.windowHeight <= 0 ||
        width <= 0 || height <= 0)
        return false;
    WindowPointer pointer;
    glfwGetCursorPos(game.window, &pointer.x, &pointer.y);
    const FramePointer inFrame = framePointer(play.pointerBox, pointer);
    play.input.mouseX = inFrame.x;
    play.input.mouseY = inFrame.y;
    play.input.leftButton = glfwGetMouseButton(game.window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
    play.input.rightButton = glfwGetMouseButton(game.window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS;
    return true;
}

}  // namespace

PointerHold holdPointer(std::int32_t mouseX, std::int32_t mouseY, const ViewSettings& view) {
    PointerHold hold = {mouseX, mouseY};
    if (hold.x < 1) hold.x = 1;
    if (hold.x > view.width) hold.x = view.width;
    if (hold.y < 1) hold.y = 1;
    if (hold.y > view.height) hold.y = view.height;
    return hold;
}

FrameStage runFrameStage(Game& game, FramePlay& play, FrameStage stage) {
    GameState& state = game.state;
    switch (stage) {
        case FrameStage::input:
            if (!readInput(game, play)) {
                // Minimised, or without a pixel to show, the game draws
                // nothing: it waits for whatever shows it again (or closes
                // it) and goes on from the frame where it stopped.
                glfwWaitEvents();
                play.ended = glfwWindowShouldClose(game.window);
                return FrameStage::done;
            }
            return FrameStage::begin;
        case FrameStage::begin:
            beginFrame(game.frameTarget, game.view, play.windowWidth, play.windowHeight);
            return FrameStage::score;
        case FrameStage::score:
            updateScoreTexture(game.scoreText, state.score, state.best, game.scoreTexture, game.fontListBase,
                               game.textureSlots, game.view);
            updateListener();
            return FrameStage::pointer;
        case FrameStage::pointer:
            // Picking and the cursor use the pointer as read; the clamped
            // copy only holds the system pointer inside the window from the
            // next read on.
            state.mouseX = play.input.mouseX;
            state.mouseY = play.input.mouseY;
            state.hoveredTube = 0;
            play.hold = holdPointer(state.mouseX, state.mouseY, game.view);
            return FrameStage::pick;
        case FrameStage::pick:
            if (pickingAllowed(state))
                state.hoveredTube =
                    pickTube(state.mouseX, state.mouseY, state.board, *game.models[tubeModelEntry], game.view, camera);
            return FrameStage::rules;
        case FrameStage::rules:
            runRules(state, play.input.leftButton, play.input.rightButton);
            return FrameStage::sound;
        case FrameStage::sound:
            playSoundEvents(game.sound, state.sounds);
            return FrameStage::scene;
        case FrameStage::scene:
            renderScene(state, game.sceneLists, game.models, game.textureSlots, game.scoreTexture, game.view,
                        game.light);
            drawCursor(state.mouseX, state.mouseY, game.textureSlots, game.view);
            return FrameStage::show;
        case FrameStage::show:
            showFrame(game.frameTarget, game.view);
            return FrameStage::hold;
        case FrameStage::hold:
            if (play.fromWindow) {
                // Back to the middle of its frame pixel, so that reading it
                // again gives the same pixel.
                const WindowPointer held = windowPointer(play.pointerBox, {play.hold.x, play.hold.y});
                glfwSetCursorPos(game.window, held.x, held.y);
            }
            return FrameStage::swap;
        case FrameStage::swap:
            glfwSwapBuffers(game.window);
            return FrameStage::pace;
        case FrameStage::pace:
            // The pacer is the game's only clock, and it stands outside the
            // frame's own work.
            if (play.paced) {
                const double wait = holdAfterSwap(play.pacer, glfwGetTime());
                if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
            }
            return FrameStage::events;
        case FrameStage::events:
            glfwPollEvents();
            if (play.fromWindow) play.input.escape = glfwGetKey(game.window, GLFW_KEY_ESCAPE) == GLFW_PRESS;
            play.ended = play.input.escape || glfwWindowShouldClose(game.window);
            return FrameStage::done;
        case FrameStage::done:
            break;
    }
    return FrameStage::done;
}

FrameStage runFrameStages(Game& game, FramePlay& play, FrameStage from, FrameStage until) {
    FrameStage stage = from;
    while (stage != until && stage != FrameStage::done) stage = runFrameStage(game, play, stage);
    return stage;
}

void runFrame(Game& game, FramePlay& play) { runFrameStages(game, play, FrameStage::input, FrameStage::done); }
