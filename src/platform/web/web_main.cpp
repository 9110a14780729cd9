// Tubechain on a web page: the page's "Click to play" runs main, which
// starts the game and hands the frame to requestAnimationFrame. The
// pointer, the buttons and the keys come from the page's events and are
// read once a frame as the desktop reads GLFW's sticky levels, a gamepad
// through the page's Gamepad API; the pointer is captured (pointer lock)
// while the page has it, and followed on the page otherwise. Escape, a
// gamepad's Start, or leaving the page ends the game. The best score and
// the settings are kept in the page's local storage.
//
// Full screen: a browser lets a page go full screen only while it handles
// the player's own key or click, never from the frame loop, so the frame
// never switches it. F11 stays the browser's own (it shows the page on the
// whole screen, and the canvas follows); Alt+Enter asks the Fullscreen API
// for the whole page from inside its key handler (or leaves full screen),
// so that the page's own message still shows when the game ends there. The
// game's full-screen setting is left as it was kept and never acted on.
#include <AL/al.h>
#include <GLES3/gl3.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/frame.h"
#include "game/picking.h"
#include "platform/web/frame_pace.h"
// The frame loop itself calls WebGL as it is.
#define GL_LAYER_NO_RENAMING
#include "platform/platform.h"
#include "platform/web/gl_layer.h"
#include "render/frame_target.h"

namespace {

constexpr const char* canvas = "#canvas";

// The keys the game reads: the arrows and W A S D by where they stand on
// the keyboard (the event's code), r and m by the letter they type (its key).
enum PageKey {
    keyUp,
    keyW,
    keyDown,
    keyS,
    keyLeft,
    keyA,
    keyRight,
    keyD,
    keySpace,
    keyEnter,
    keyPadEnter,
    keyBackspace,
    keyR,
    keyM,
    pageKeys
};
struct PageKeyName {
    const char* code;  // or null
    char letter;       // when there is no code
};
constexpr PageKeyName pageKeyNames[pageKeys] = {{"ArrowUp", 0},   {"KeyW", 0},   {"ArrowDown", 0},   {"KeyS", 0},
                                                {"ArrowLeft", 0}, {"KeyA", 0},   {"ArrowRight", 0},  {"KeyD", 0},
                                                {"Space", 0},     {"Enter", 0},  {"NumpadEnter", 0}, {"Backspace", 0},
                                                {nullptr, 'r'},   {nullptr, 'm'}};

struct KeyState {
    bool down = false;
    bool pressed = false;  // went down since the last frame read it
    std::string code;      // the key that holds it down
};

// The page's input between two frames.
struct PageInput {
    WindowPointer pointer;  // CSS pixels from the canvas's top left
    bool leftDown = false, rightDown = false;
    bool leftPressed = false, rightPressed = false;  // pressed since the last frame read them
    bool escapePressed = false;
    KeyState keys[pageKeys];
};

// What the page and its tests see of the running game.
struct PageReport {
    int frames = 0;
    std::uint32_t voicesHeard = 0;  // bit per sound slot: seen playing in some frame
    int draws = 0, vertices = 0;    // WebGL's work in the last frame
    double frameMilliseconds = 0;   // main-thread time of all frames so far, as the loop around them measured
};

Game game;
// The page reads its own input and paces by the display's ticks.
FramePlay play = [] {
    FramePlay given;
    given.fromWindow = false;
    given.paced = false;
    return given;
}();
PageInput input;
TickPacer pacer;
PageReport report;
bool running = false;
std::vector<std::uint8_t> framePixels;
std::vector<std::int32_t> gridPicks;  // what webPickPoints found
// What each frame used, five numbers a frame: the pointer in frame pixels
// (after the keys moved it), the left and right button as the rules saw
// them (with the keys that stand in for them), and M; the tests replay it
// on the desktop.
constexpr int loggedNumbers = 5;
std::vector<std::int32_t> inputLog;
constexpr std::size_t loggedFrames = 20000;

bool pointerLocked() {
    EmscriptenPointerlockChangeEvent status;
    return emscripten_get_pointerlock_status(&status) == EMSCRIPTEN_RESULT_SUCCESS && status.isActive;
}

EM_BOOL onMouseMove(int, const EmscriptenMouseEvent* event, void*) {
    if (pointerLocked()) {
        input.pointer.x += event->movementX;
        input.pointer.y += event->movementY;
    } else {
        input.pointer.x = event->targetX;
        input.pointer.y = event->targetY;
    }
    return EM_TRUE;
}

EM_BOOL onMouseButton(int type, const EmscriptenMouseEvent* event, void*) {
    const bool down = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
    if (!pointerLocked()) {
        input.pointer.x = event->targetX;
        input.pointer.y = event->targetY;
    }
    if (event->button == 0) {
        input.leftDown = down;
        input.leftPressed = input.leftPressed || down;
    } else if (event->button == 2) {
        input.rightDown = down;
        input.rightPressed = input.rightPressed || down;
    }
    return EM_TRUE;
}

// Whether the key of the event is the page key k.
bool isPageKey(int k, const EmscriptenKeyboardEvent* event) {
    const PageKeyName& name = pageKeyNames[k];
    if (name.code) return std::string_view(event->code) == name.code;
    const std::string_view key = event->key;
    return key.size() == 1 && (key[0] | 0x20) == name.letter;  // either case
}

// Alt+Enter: the whole page full screen, or back. Inside the key's own
// handler, where the browser allows it; a refusal changes nothing.
void switchFullScreen() {
    EM_ASM({
        try {
            var asked =
                document.fullscreenElement ? document.exitFullscreen() : document.documentElement.requestFullscreen();
            if (asked && asked.catch) asked.catch(function(){});
        } catch (e) {
        }
    });
}

// True for the keys the game takes, which then neither scroll the page nor
// do what the browser would do with them; the browser's and the system's
// shortcuts (with Ctrl, Meta or Alt, F11) stay theirs.
EM_BOOL onKeyDown(int, const EmscriptenKeyboardEvent* event, void*) {
    if (!running) return EM_FALSE;
    if (std::string_view(event->key) == "Escape") {
        input.escapePressed = true;
        return EM_TRUE;
    }
    if (event->ctrlKey || event->metaKey) return EM_FALSE;
    if (event->altKey) {
        if (!isPageKey(keyEnter, event) && !isPageKey(keyPadEnter, event)) return EM_FALSE;
        if (!event->repeat) switchFullScreen();
        return EM_TRUE;
    }
    bool taken = false;
    for (int k = 0; k < pageKeys; ++k) {
        if (!isPageKey(k, event)) continue;
        KeyState& key = input.keys[k];
        key.pressed = key.pressed || !key.down;
        key.down = true;
        key.code = event->code;
        taken = true;
    }
    return taken;
}

EM_BOOL onKeyUp(int, const EmscriptenKeyboardEvent* event, void*) {
    bool taken = false;
    for (KeyState& key : input.keys) {
        if (!key.down || key.code != event->code) continue;
        key.down = false;
        taken = true;
    }
    return running && taken;
}

// Keys let go while the page had no focus never say so.
EM_BOOL onBlur(int, const EmscriptenFocusEvent*, void*) {
    for (KeyState& key : input.keys) key.down = false;
    input.leftDown = input.rightDown = false;
    return EM_FALSE;
}

// The sound slots playing now.
std::uint32_t voicesPlaying() {
    std::uint32_t playing = 0;
    for (int slot = 0; game.sound.sources && slot < soundSlotCount; ++slot) {
        ALint state = 0;
        alGetSourcei(game.sound.sources[slot], AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING) playing |= 1u << slot;
    }
    return playing;
}

// The listener's gain, 0 while the game is muted; -1 without sound.
double listenerGain() {
    if (!game.sound.sources) return -1;
    ALfloat gain = -1;
    alGetListenerf(AL_GAIN, &gain);
    return gain;
}

void tellPage(const char* state) {
    EM_ASM(
        {
            if (!window.tubechainPage) return;
            var audio = (typeof AL != 'undefined' && AL.currentCtx) ? AL.currentCtx.audioCtx.state : 'none';
            tubechainPage.report({
                state : UTF8ToString($0),
                frames : $1,
                hoveredTube : $2,
                score : $3,
                best : $4,
                busy : $5 != 0,
                voicesHeard : $6 >>> 0,
                draws : $7,
                vertices : $8,
                audio : audio,
                saturateBlend : $9 != 0,
                frameMilliseconds : $10,
                gain : $11
            });
        },
        state, report.frames, game.state.hoveredTube, game.state.score, game.state.best,
        game.state.anyTubeTurning || game.state.anyLightning, report.voicesHeard, report.draws, report.vertices,
        glLayerHasSaturateBlend(), report.frameMilliseconds, listenerGain());
}

void endGame() {
    if (!running) return;
    running = false;
    shutDown(game);
    emscripten_exit_pointerlock();
    tellPage("ended");
}

// The keys and the first gamepad, as the desktop's frame reads them: a
// direction held or pressed by its arrow or letter, the d-pad or the left
// stick; Space and Enter as the left button, Backspace and r as the right
// one, as levels; m pressed; Start ends the game. A press that came and
// went between two frames counts once, in the next one.
void readKeys(FrameInput& frame) {
    KeyState* keys = input.keys;
    const auto level = [&](int k) { return keys[k].down || keys[k].pressed; };
    constexpr int directionKeys[steeringDirections][2] = {
        {keyUp, keyW}, {keyDown, keyS}, {keyLeft, keyA}, {keyRight, keyD}};
    for (int d = 0; d < steeringDirections; ++d) {
        const KeyState &arrow = keys[directionKeys[d][0]], &letter = keys[directionKeys[d][1]];
        frame.keys.held[d] = arrow.down || letter.down;
        frame.keys.pressed[d] = arrow.pressed || letter.pressed;
    }
    frame.keys.click = level(keySpace) || level(keyEnter) || level(keyPadEnter);
    frame.keys.shuffle = level(keyBackspace) || level(keyR);
    frame.mutePressed = keys[keyM].pressed;
    for (KeyState& key : input.keys) key.pressed = false;
    addGamepad(play, frame);
}

// The frame's input, read as the desktop's loop reads GLFW's levels, and
// where the frame stands in the canvas (CSS pixels).
FrameInput readInput(Letterbox& pointerBox) {
    FrameInput frame;
    const WindowSize size = windowSize(game.window);
    pointerBox = fitFrame(game.view.width, game.view.height, size.width, size.height);
    const FramePointer inFrame = framePointer(pointerBox, input.pointer);
    frame.mouseX = inFrame.x;
    frame.mouseY = inFrame.y;
    frame.leftButton = input.leftDown || input.leftPressed;
    frame.rightButton = input.rightDown || input.rightPressed;
    frame.escape = input.escapePressed;
    input.leftPressed = input.rightPressed = false;
    readKeys(frame);
    return frame;
}

EM_BOOL tick(double time, void*) {
    if (!running) return EM_FALSE;
    const double now = time / 1000;
    if (!frameIsDue(pacer, now)) return EM_TRUE;
    const WindowSize size = windowSize(game.window);
    if (size.framebufferWidth <= 0 || size.framebufferHeight <= 0 || size.width <= 0 || size.height <= 0)
        return EM_TRUE;
    Letterbox pointerBox;
    play.given = readInput(pointerBox);

    const double began = emscripten_get_now();
    runFrame(game, play);
    report.frameMilliseconds += emscripten_get_now() - began;
    const FrameInput& used = play.input;
    if (inputLog.size() < loggedNumbers * loggedFrames)
        inputLog.insert(inputLog.end(),
                        {used.mouseX, used.mouseY, used.leftButton, used.rightButton, used.mutePressed});
    // A captured pointer is held like the desktop's; a free one is the
    // page's own, but where the keys moved it, it stays until the mouse
    // moves again.
    if (pointerLocked() || play.steered) input.pointer = windowPointer(pointerBox, {play.hold.x, play.hold.y});
    frameRan(pacer, now);

    ++report.frames;
    report.voicesHeard |= voicesPlaying();
    const GlLayerCounts counts = glLayerTakeCounts();
    report.draws = counts.draws;
    report.vertices = counts.vertices;
    tellPage("running");
    if (play.ended) {
        endGame();
        return EM_FALSE;
    }
    return EM_TRUE;
}

}  // namespace

// For the page: leaving it ends the game.
extern "C" EMSCRIPTEN_KEEPALIVE void webEndGame() { endGame(); }

// For the tests: the last frame as drawn, 1024 x 768 RGBA, bottom row first.
extern "C" EMSCRIPTEN_KEEPALIVE const std::uint8_t* webReadFrame() {
    if (!running) return nullptr;
    framePixels.assign(static_cast<std::size_t>(game.view.width) * game.view.height * 4, 0);
    if (game.frameTarget.framebuffer) glBindFramebuffer(GL_READ_FRAMEBUFFER, game.frameTarget.framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, game.view.width, game.view.height, GL_RGBA, GL_UNSIGNED_BYTE, framePixels.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    return framePixels.data();
}

// For the tests: the game's own pickTube on the board as it stands, at
// each of count pointer positions (x and y in frame pixels, one after the other).
extern "C" EMSCRIPTEN_KEEPALIVE const std::int32_t* webPickPoints(const std::int32_t* points, int count) {
    gridPicks.clear();
    for (int k = 0; running && k < count; ++k) {
        gridPicks.push_back(pickTube(points[2 * k], points[2 * k + 1], game.state.board, *game.models[tubeModelEntry],
                                     game.view, camera));
    }
    return gridPicks.data();
}

// For the tests: the input the frames so far used, five numbers a frame.
extern "C" EMSCRIPTEN_KEEPALIVE const std::int32_t* webInputLog() { return inputLog.data(); }

int main() {
    emscripten_set_mousemove_callback(canvas, nullptr, EM_TRUE, onMouseMove);
    emscripten_set_mousedown_callback(canvas, nullptr, EM_TRUE, onMouseButton);
    emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onMouseButton);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKeyDown);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKeyUp);
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onBlur);
    // The pointer starts where the player clicked to play.
    input.pointer.x = EM_ASM_DOUBLE({ return window.tubechainPage ? tubechainPage.startX : 0; });
    input.pointer.y = EM_ASM_DOUBLE({ return window.tubechainPage ? tubechainPage.startY : 0; });

    // The best and the settings kept in the page's storage; a kept full
    // screen is never acted on (openGameWindow takes the canvas as it is).
    loadKept(game.keeping, game.state.best, game.settings);
    if (!startUp(game)) {
        tellPage("failed");
        return 1;
    }
    running = true;
    tellPage("running");
    emscripten_request_animation_frame_loop(tick, nullptr);
    return 0;
}
