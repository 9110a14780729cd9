// Tubechain on a web page: the page's "Click to play" runs main, which
// starts the game and hands the frame to requestAnimationFrame. The
// pointer, the buttons and Escape come from the page's events and are read
// once a frame as the desktop reads GLFW's sticky levels; the pointer is
// captured (pointer lock) while the page has it, and followed on the page
// otherwise. Escape, or leaving the page, ends the game.
#include <AL/al.h>
#include <GLES3/gl3.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
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

// The page's input between two frames.
struct PageInput {
    WindowPointer pointer;  // CSS pixels from the canvas's top left
    bool leftDown = false, rightDown = false;
    bool leftPressed = false, rightPressed = false;  // pressed since the last frame read them
    bool escapePressed = false;
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
// What each frame read: pointer x and y in frame pixels, left and right
// button, four numbers a frame; the tests replay it on the desktop.
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

EM_BOOL onKeyDown(int, const EmscriptenKeyboardEvent* event, void*) {
    if (std::string_view(event->key) != "Escape") return EM_FALSE;
    input.escapePressed = true;
    return EM_TRUE;
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
                frameMilliseconds : $10
            });
        },
        state, report.frames, game.state.hoveredTube, game.state.score, game.state.best,
        game.state.anyTubeTurning || game.state.anyLightning, report.voicesHeard, report.draws, report.vertices,
        glLayerHasSaturateBlend(), report.frameMilliseconds);
}

void endGame() {
    if (!running) return;
    running = false;
    shutDown(game);
    emscripten_exit_pointerlock();
    tellPage("ended");
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
    const FrameInput& frame = play.given;

    if (inputLog.size() < 4 * loggedFrames)
        inputLog.insert(inputLog.end(), {frame.mouseX, frame.mouseY, frame.leftButton, frame.rightButton});
    const double began = emscripten_get_now();
    runFrame(game, play);
    report.frameMilliseconds += emscripten_get_now() - began;
    // A captured pointer is held like the desktop's; a free one is the
    // page's own.
    if (pointerLocked()) input.pointer = windowPointer(pointerBox, {play.hold.x, play.hold.y});
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

// For the tests: the input of the frames so far, four numbers a frame.
extern "C" EMSCRIPTEN_KEEPALIVE const std::int32_t* webInputLog() { return inputLog.data(); }

int main() {
    emscripten_set_mousemove_callback(canvas, nullptr, EM_TRUE, onMouseMove);
    emscripten_set_mousedown_callback(canvas, nullptr, EM_TRUE, onMouseButton);
    emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onMouseButton);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKeyDown);
    // The pointer starts where the player clicked to play.
    input.pointer.x = EM_ASM_DOUBLE({ return window.tubechainPage ? tubechainPage.startX : 0; });
    input.pointer.y = EM_ASM_DOUBLE({ return window.tubechainPage ? tubechainPage.startY : 0; });

    if (!startUp(game)) {
        tellPage("failed");
        return 1;
    }
    running = true;
    tellPage("running");
    emscripten_request_animation_frame_loop(tick, nullptr);
    return 0;
}
