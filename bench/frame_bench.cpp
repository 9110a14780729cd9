// Frame-time benchmark: runs the game's real frame on the real data (a
// 1024 x 768 frame, straight on a window of that size or shown scaled on the
// screen's own) and reports, per case, the median and 99th-percentile frame
// time and where the time goes, then the pace the frame loop's pacer keeps.
// Every time stamp follows a glFinish, so the GL work of a stage is counted
// in that stage. Beside the times it counts the fragments each stage shades,
// which do not depend on the machine's load, and with a folder given (second
// argument, or TUBECHAIN_BENCH_FRAMES) it writes frames there as PNG pictures
// to compare pixel for pixel with another build's.

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>
#include <sys/resource.h>
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/frame.h"
#include "game/rules.h"

namespace {

const auto processStart = std::chrono::steady_clock::now();

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double stamp() {
    glFinish();
    return secondsSince(processStart) * 1000.0;
}

// The columns of the stage-by-stage times, each a run of the frame's own
// stages: its input and the score pass; the pointer and picking; the rules
// and their sounds; the scene; the show step; the pointer hold, the swap and
// the window's events.
enum Stage { scoreStage, pickStage, rulesStage, sceneStage, showStage, swapStage, stageCount };
const char* const stageNames[stageCount] = {"score", "pick", "rules", "scene", "show", "swap"};
constexpr FrameStage stageEnds[stageCount] = {FrameStage::pointer, FrameStage::rules, FrameStage::scene,
                                              FrameStage::show,    FrameStage::hold,  FrameStage::done};

// Milliseconds per frame, and spent in each stage, for the frames of one
// case; and, from the stage-by-stage run, the fragments each stage shaded
// and those of the whole frame that passed every test.
struct CaseTimes {
    std::vector<double> frame;
    std::vector<double> stage[stageCount];
    std::vector<double> shaded[stageCount];
    std::vector<double> frameShaded, framePassed;
};

// The queries that count fragments: those the fragment stage ran
// (GL_ARB_pipeline_statistics_query), or, where the GL lacks it, those that
// passed every test, which then stand in for the shaded ones.
struct FragmentCounter {
    PFNGLGENQUERIESPROC genQueries = nullptr;
    PFNGLBEGINQUERYPROC beginQuery = nullptr;
    PFNGLENDQUERYPROC endQuery = nullptr;
    PFNGLGETQUERYOBJECTUI64VPROC queryResult = nullptr;
    GLenum shadedTarget = GL_SAMPLES_PASSED;  // what "shaded" counts
    GLuint shadedQuery = 0, passedQuery = 0;
};

FragmentCounter counter;

void setUpFragmentCounter() {
    counter.genQueries = reinterpret_cast<PFNGLGENQUERIESPROC>(glfwGetProcAddress("glGenQueries"));
    counter.beginQuery = reinterpret_cast<PFNGLBEGINQUERYPROC>(glfwGetProcAddress("glBeginQuery"));
    counter.endQuery = reinterpret_cast<PFNGLENDQUERYPROC>(glfwGetProcAddress("glEndQuery"));
    counter.queryResult = reinterpret_cast<PFNGLGETQUERYOBJECTUI64VPROC>(glfwGetProcAddress("glGetQueryObjectui64v"));
    if (!counter.genQueries || !counter.beginQuery || !counter.endQuery || !counter.queryResult) {
        std::printf("this GL cannot count fragments\n");
        std::exit(1);
    }
    if (glfwExtensionSupported("GL_ARB_pipeline_statistics_query"))
        counter.shadedTarget = GL_FRAGMENT_SHADER_INVOCATIONS_ARB;
    counter.genQueries(1, &counter.shadedQuery);
    counter.genQueries(1, &counter.passedQuery);
}

void beginCount(GLenum target, GLuint query) { counter.beginQuery(target, query); }

double endCount(GLenum target, GLuint query) {
    counter.endQuery(target);
    GLuint64 count = 0;
    counter.queryResult(query, GL_QUERY_RESULT, &count);
    return static_cast<double>(count);
}

// Where the frames go as pictures, and how many of the case's frames have
// been played; every 25th, from the first, is written.
struct FrameWriter {
    const char* folder = nullptr;
    const char* caseName = "";
    int played = 0;
};

FrameWriter writer;

// The window's back buffer, whole, as the player would see it after the swap.
void writeFrame(GLFWwindow* window, const std::string& name) {
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const std::string path = std::string(writer.folder) + "/" + name + ".png";
    // GL's rows come bottom first; the picture file wants the top first.
    const int stride = width * 4;
    if (!stbi_write_png(path.c_str(), width, height, 4, rgba.data() + static_cast<size_t>(height - 1) * stride,
                        -stride)) {
        std::printf("cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// How a case's frames are timed: whole frames, with one time stamp at each
// frame's end as the player sees it; or stage by stage, with a time stamp
// (and so a glFinish) after every stage, which keeps the renderer from
// overlapping one stage's drawing with the next stage's work.
enum class Timing { wholeFrames, stages };

// The benchmark's frames take the input it gives them and are not paced.
FramePlay play = [] {
    FramePlay given;
    given.fromWindow = false;
    given.paced = false;
    return given;
}();

void playFrame(Game& game, const FrameInput& input, bool written = false) {
    play.given = input;
    runFrameStages(game, play, FrameStage::input, FrameStage::swap);
    if (written && writer.folder && writer.played % 25 == 0) {
        char name[64];
        std::snprintf(name, sizeof name, "%s-%03d", writer.caseName, writer.played);
        writeFrame(game.window, name);
    }
    if (written) ++writer.played;
    runFrameStages(game, play, FrameStage::swap, FrameStage::done);
}

void timedFrame(Game& game, const FrameInput& input, CaseTimes& times, Timing timing) {
    const double start = stamp();
    if (timing == Timing::wholeFrames) {
        playFrame(game, input, true);
        times.frame.push_back(stamp() - start);
        return;
    }
    // Each column's stages between two time stamps, their fragments
    // counted; the passed ones for the whole frame, up to the swap. Two
    // queries of one kind cannot run at once: without the statistics the
    // shaded count is the passed one.
    double at[stageCount + 1] = {start};
    double shaded[stageCount] = {};
    double passed = -1;
    const bool ownPassedCount = counter.shadedTarget != GL_SAMPLES_PASSED;
    if (ownPassedCount) beginCount(GL_SAMPLES_PASSED, counter.passedQuery);
    play.given = input;
    FrameStage stage = FrameStage::input;
    for (int column = 0; column < stageCount; ++column) {
        beginCount(counter.shadedTarget, counter.shadedQuery);
        stage = runFrameStages(game, play, stage, stageEnds[column]);
        shaded[column] = endCount(counter.shadedTarget, counter.shadedQuery);
        if (column == showStage && ownPassedCount) passed = endCount(GL_SAMPLES_PASSED, counter.passedQuery);
        at[column + 1] = stamp();
    }
    times.frame.push_back(at[stageCount] - start);
    double frameShaded = 0;
    for (int s = 0; s < stageCount; ++s) {
        times.stage[s].push_back(at[s + 1] - at[s]);
        times.shaded[s].push_back(shaded[s]);
        frameShaded += shaded[s];
    }
    times.frameShaded.push_back(frameShaded);
    times.framePassed.push_back(ownPassedCount ? passed : frameShaded);
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * (values.size() - 1) + 0.5));
    return values[index];
}

// Ends every turn and lightning, so that the next frame finds the board idle.
void settleBoard(Board& board) {
    for (int i = 1; i <= tubeCount; ++i) {
        Tube& tube = board[i];
        tube.turning = tube.activated = tube.cameToRest = 0;
        tube.lightningFrame = 0;
    }
}

void copyBoard(const Board& from, Board& to) {
    for (int i = 1; i <= tubeCount; ++i) to[i] = from[i];
}

// Where a point of the scene lands in window pixels (y down).
void windowPixel(const Game& game, const float point[3], int& x, int& y) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(game.view.fov, game.view.aspect, game.view.nearPlane, game.view.farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.eye[0], camera.eye[1], camera.eye[2], camera.centre[0], camera.centre[1], camera.centre[2],
              camera.up[0], camera.up[1], camera.up[2]);
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx, wy, wz;
    gluProject(point[0], point[1], point[2], modelview, projection, viewport, &wx, &wy, &wz);
    x = static_cast<int>(wx);
    y = game.view.height - static_cast<int>(wy);
}

// Runs the rules alone from a click on the tube until the chain has ended;
// returns the chain's score.
int simulateChain(const Board& start, int tube) {
    GameState state;
    createBoard(state.board);
    copyBoard(start, state.board);
    settleBoard(state.board);
    state.hoveredTube = tube;
    applyInputRules(state, true, false);
    for (int frame = 0; frame < 100000; ++frame) {
        state.sounds.count = 0;
        if (frame > 0) applyInputRules(state, false, false);
        updateTubeFlags(state);
        if (frame > 0 && !state.anyTubeTurning) break;
        startClickedTurn(state);
        advanceTurns(state);
    }
    freeBoard(state.board);
    return state.score;
}

// The three cases. Each plays the given number of frames, timed as asked.
void playIdle(Game& game, int frames, Timing timing, CaseTimes& times) {
    // The board at rest, the pointer over tube 113: picking runs every frame.
    settleBoard(game.state.board);
    int x, y;
    windowPixel(game, game.state.board[113].position, x, y);
    playFrame(game, FrameInput{.mouseX = x, .mouseY = y});  // the flags see the idle board
    for (int frame = 0; frame < frames; ++frame) timedFrame(game, FrameInput{.mouseX = x, .mouseY = y}, times, timing);
}

void playStartUp(Game& game, int frames, Timing timing, CaseTimes& times) {
    // Every tube flashing, as in the frames after a shuffle.
    for (int frame = 0; frame < frames; ++frame) {
        if (frame % 10 == 0) shuffleBoard(game.state.board);
        timedFrame(game, FrameInput{.mouseX = 512, .mouseY = 384}, times, timing);
    }
}

void playChain(Game& game, const Board& startBoard, int chainTube, int frames, Timing timing, CaseTimes& times) {
    // The chain clicked on the start-up board, clicked again each time it
    // ends; only the frames in which tubes turn are counted.
    GameState& state = game.state;
    int x, y;
    windowPixel(game, startBoard[chainTube].position, x, y);
    CaseTimes discarded;
    bool clickNext = true;
    while (times.frame.size() < static_cast<size_t>(frames)) {
        if (clickNext) {
            copyBoard(startBoard, state.board);
            settleBoard(state.board);
            state.anyTubeTurning = state.anyLightning = 0;
        }
        const bool counted = state.anyTubeTurning || clickNext;
        timedFrame(game, FrameInput{.mouseX = x, .mouseY = y, .leftButton = clickNext}, counted ? times : discarded,
                   timing);
        clickNext = !state.anyTubeTurning && !clickNext;
    }
}

// Frames a second over the given number of frames played as the game's
// loop plays them: frame, swap, then the pacer's hold on the steady clock.
// The first frame has none before it to be paced against, so the second
// follows it at once: the count starts at the second's end.
template <typename Frame>
double pacedRate(int frames, Frame frame) {
    FramePacer pacer;
    double first = 0, last = 0;
    for (int n = 0; n < frames; ++n) {
        frame();
        last = secondsSince(processStart);
        if (n == 1) first = last;
        const double hold = holdAfterSwap(pacer, last);
        if (hold > 0) std::this_thread::sleep_for(std::chrono::duration<double>(hold));
    }
    return (frames - 2) / (last - first);
}

}  // namespace

int main(int argc, char** argv) {
    const int framesPerCase = argc > 1 ? std::max(1, std::atoi(argv[1])) : 600;
    writer.folder = argc > 2 ? argv[2] : std::getenv("TUBECHAIN_BENCH_FRAMES");
    if (writer.folder && !*writer.folder) writer.folder = nullptr;
    static Game game;
    if (!startUp(game)) return 1;
    setUpFragmentCounter();

    writer.caseName = "first";
    playFrame(game, FrameInput{.mouseX = 512, .mouseY = 384}, true);
    glFinish();
    const double startUpMs = secondsSince(processStart) * 1000.0;

    Board startBoard;
    createBoard(startBoard);
    copyBoard(game.state.board, startBoard);

    // The longest chain on the start-up board.
    int chainTube = 1, chainScore = -1;
    for (int tube = 1; tube <= tubeCount; ++tube) {
        const int score = simulateChain(startBoard, tube);
        if (score > chainScore) chainScore = score, chainTube = tube;
    }

    int windowWidth = 0, windowHeight = 0;
    glfwGetFramebufferSize(game.window, &windowWidth, &windowHeight);
    std::printf("Frame times in milliseconds, %d frames a case, the 1024 x 768 frame %s %d x %d window, %s\n",
                framesPerCase, game.frameTarget.offScreen ? "scaled onto a" : "straight on a", windowWidth,
                windowHeight, reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    const char* const caseNames[3] = {"idle", "start-up", "chain"};
    CaseTimes cases[3];
    for (int c = 0; c < 3; ++c) {
        // Whole frames from the first run (which writes the pictures), the
        // stages and the fragments from the second.
        CaseTimes stages;
        writer.caseName = caseNames[c];
        writer.played = 0;
        for (Timing timing : {Timing::wholeFrames, Timing::stages}) {
            CaseTimes& times = timing == Timing::wholeFrames ? cases[c] : stages;
            if (c == 0) playIdle(game, framesPerCase, timing, times);
            if (c == 1) playStartUp(game, framesPerCase, timing, times);
            if (c == 2) playChain(game, startBoard, chainTube, framesPerCase, timing, times);
        }
        stages.frame = cases[c].frame;
        cases[c] = stages;
    }
    std::printf("%-9s %8s %8s %8s | %6s %6s %6s %6s %6s %6s\n", "", "whole", "frames", "", "stage", "by", "stage",
                "(medians)", "", "");
    std::printf("%-9s %8s %8s %8s |", "case", "median", "p99", "max");
    for (const char* name : stageNames) std::printf(" %6s", name);
    std::printf("\n");
    for (int c = 0; c < 3; ++c) {
        const CaseTimes& times = cases[c];
        std::printf("%-9s %8.2f %8.2f %8.2f |", caseNames[c], percentile(times.frame, 0.5),
                    percentile(times.frame, 0.99), percentile(times.frame, 1.0));
        for (const auto& stage : times.stage) std::printf(" %6.2f", percentile(stage, 0.5));
        std::printf("\n");
    }
    std::printf("\nFragments a frame in thousands (medians), shaded: %s; passed: GL_SAMPLES_PASSED\n",
                counter.shadedTarget == GL_SAMPLES_PASSED ? "GL_SAMPLES_PASSED (no pipeline statistics)"
                                                          : "GL_FRAGMENT_SHADER_INVOCATIONS");
    std::printf("%-9s %8s %8s %8s |", "case", "shaded", "passed", "pixels");
    for (const char* name : stageNames) std::printf(" %6s", name);
    std::printf("\n");
    for (int c = 0; c < 3; ++c) {
        const CaseTimes& times = cases[c];
        std::printf("%-9s %8.0f %8.0f %8.0f |", caseNames[c], percentile(times.frameShaded, 0.5) / 1000,
                    percentile(times.framePassed, 0.5) / 1000, windowWidth * windowHeight / 1000.0);
        for (const auto& shaded : times.shaded) std::printf(" %6.0f", percentile(shaded, 0.5) / 1000);
        std::printf("\n");
    }
    std::printf("chain: tube %d of the start-up board, %d activations a run\n", chainTube, chainScore);

    // The pace the loop keeps: the idle board's frames as they come, and a
    // frame that only clears and swaps, which this renderer, never waiting
    // for the display, would otherwise repeat as fast as it can.
    settleBoard(game.state.board);
    const int pacedFrames = std::max(3, framesPerCase / 2);
    const double idleRate = pacedRate(pacedFrames, [&] { playFrame(game, FrameInput{.mouseX = 512, .mouseY = 384}); });
    const double emptyRate = pacedRate(pacedFrames, [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        glfwSwapBuffers(game.window);
        glfwPollEvents();
    });
    std::printf("paced: idle frames %.1f a second, empty frames %.1f a second (%d frames each)\n", idleRate, emptyRate,
                pacedFrames);

    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("start-up to the end of the first frame: %.0f ms\n", startUpMs);
    std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);

    freeBoard(startBoard);
    shutDown(game);
    return 0;
}
