#include "app/frame.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <thread>

#include "game/picking.h"
#include "game/rules.h"
#include "platform/platform.h"
#include "render/score_texture.h"

namespace {

// A key that acts at a press, read twice: with sticky keys the first read
// is true when the key is down or went down and up again since the last
// read, the second when it is down now. A press is a first read true for a
// key that was not down at the last frame's; so two quick taps in two
// frames are two presses, not one key held down.
struct KeyRead {
    bool level = false;    // down, or pressed since the last frame: as a button is read
    bool pressed = false;  // went down since the last frame
    bool down = false;     // down now
};
KeyRead readKey(GLFWwindow* window, int key, std::bitset<512>& keysDown) {
    KeyRead read;
    read.level = glfwGetKey(window, key) == GLFW_PRESS;
    read.down = glfwGetKey(window, key) == GLFW_PRESS;
    read.pressed = read.level && !keysDown[key];
    keysDown[key] = read.down;
    return read;
}

// The keyboard and the first gamepad: arrows and W A S D (where they stand
// on the keyboard), Space and Enter, Backspace and the key that types r,
// F11 and Alt+Enter, the key that types m; the gamepad's d-pad or left
// stick, A, X and Start. Every key is read in every frame, so that a press
// shorter than a frame counts in the next one and no later.
void readKeys(const Game& game, FramePlay& play) {
    FrameInput& input = play.input;
    const auto key = [&](int which) { return readKey(game.window, which, play.keysDown); };
    constexpr int directionKeys[steeringDirections][2] = {{GLFW_KEY_UP, GLFW_KEY_W},
                                                          {GLFW_KEY_DOWN, GLFW_KEY_S},
                                                          {GLFW_KEY_LEFT, GLFW_KEY_A},
                                                          {GLFW_KEY_RIGHT, GLFW_KEY_D}};
    SteeringInput& keys = input.keys;
    for (int d = 0; d < steeringDirections; ++d) {
        const KeyRead arrow = key(directionKeys[d][0]), letter = key(directionKeys[d][1]);
        keys.held[d] = arrow.down || letter.down;
        keys.pressed[d] = arrow.pressed || letter.pressed;
    }
    const KeyRead leftAlt = key(GLFW_KEY_LEFT_ALT), rightAlt = key(GLFW_KEY_RIGHT_ALT);
    const KeyRead enter = key(GLFW_KEY_ENTER), keypadEnter = key(GLFW_KEY_KP_ENTER), space = key(GLFW_KEY_SPACE);
    const KeyRead backspace = key(GLFW_KEY_BACKSPACE), shuffle = key(game.shuffleKey), f11 = key(GLFW_KEY_F11);
    const bool alt = leftAlt.level || rightAlt.level;
    keys.click = space.level || ((enter.level || keypadEnter.level) && !alt);
    keys.shuffle = backspace.level || shuffle.level;
    input.fullScreenPressed = f11.pressed || ((enter.pressed || keypadEnter.pressed) && alt);
    input.mutePressed = key(game.muteKey).pressed;
    addGamepad(play, input);
}

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
    play.input.escape = false;  // Escape's key is read with the events, at the frame's end
    readKeys(game, play);
    return true;
}

}  // namespace

void addGamepad(FramePlay& play, FrameInput& input) {
    GamepadState pad;
    readGamepad(pad.buttons, pad.axes);  // all released without one
    const SteeringInput fromPad = gamepadSteering(pad);
    SteeringInput& keys = input.keys;
    for (int d = 0; d < steeringDirections; ++d) {
        keys.held[d] = keys.held[d] || fromPad.held[d];
        keys.pressed[d] = keys.pressed[d] || (fromPad.held[d] && !play.gamepadHeld[d]);
        play.gamepadHeld[d] = fromPad.held[d];
    }
    keys.click = keys.click || fromPad.click;
    keys.shuffle = keys.shuffle || fromPad.shuffle;
    input.escape = input.escape || gamepadQuits(pad);
}

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
            if (play.input.mutePressed) {
                game.settings.muted = !game.settings.muted;
                setSoundMuted(game.settings.muted);
            }
            return FrameStage::pointer;
        case FrameStage::pointer: {
            // The keys move the pointer as a mouse would; picking and the
            // cursor use the pointer as read or moved, while the clamped
            // copy only holds the system pointer inside the window from the
            // next read on.
            FrameInput& input = play.input;
            play.steered = steerPointer(game.steering, input.keys, state.board, game.view, input.mouseX, input.mouseY);
            state.mouseX = input.mouseX;
            state.mouseY = input.mouseY;
            state.hoveredTube = 0;
            play.hold = holdPointer(state.mouseX, state.mouseY, game.view);
            input.leftButton = input.leftButton || input.keys.click;
            input.rightButton = input.rightButton || input.keys.shuffle;
            return FrameStage::pick;
        }
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
            if (game.settings.muted) drawMuteSign(game.view);
            drawCursor(state.mouseX, state.mouseY, game.textureSlots, game.view);
            return FrameStage::show;
        case FrameStage::show:
            showFrame(game.frameTarget, game.view);
            return FrameStage::hold;
        case FrameStage::hold:
            // Full screen the pointer stays inside the window (GLFW lets go
            // of it while another window has the focus); a window's is free.
            if (play.fromWindow && (game.settings.fullScreen || play.steered)) {
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
            if (play.fromWindow) play.input.escape |= glfwGetKey(game.window, GLFW_KEY_ESCAPE) == GLFW_PRESS;
            play.ended = play.input.escape || glfwWindowShouldClose(game.window);
            return FrameStage::keep;
        case FrameStage::keep:
            // Between two frames, so that the next one is drawn for the
            // window's new size; the window's place is taken along, for when
            // it comes back.
            if (play.input.fullScreenPressed && !play.ended) {
                game.settings.window = windowPlace(game.window, game.settings.window);
                game.settings.fullScreen = !game.settings.fullScreen;
                const WindowPlace shown = showFullScreen(game.window, game.settings.fullScreen, game.settings.window);
                // The pointer stays on its frame pixel, over the same tube.
                const WindowPointer at = windowPointer(
                    fitFrame(game.view.width, game.view.height, shown.width, shown.height), {play.hold.x, play.hold.y});
                if (play.fromWindow) glfwSetCursorPos(game.window, at.x, at.y);
            }
            keepBest(game.keeping, state.best);
            keepSettings(game.keeping, game.settings);
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
