// The scene passes on a small world of box tubes and a square stage: shadows
// clipped to the stage, the hover outline, lightning, and the GL state each pass leaves.
#include "render/scene.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "game/board.h"
#include "render/font.h"
#include "render/scene_test_support.h"
#include "render/score_texture.h"
#include "render/window.h"
#include "support/test_support.h"

namespace {

constexpr int tubeAtCentre = 113;  // row 8, column 8: x 0, z -8

struct SceneFixture : ::testing::Test {
    static void SetUpTestSuite() {
        sharedWindow();
        setUpLight(light);
        slots[fontTexture] = makeTexture(blankPicture(16, 16, 255, 255, 255, 0), GL_NEAREST);
        slots[tubeTexture] = makeTexture(blankPicture(8, 8, 50, 80, 200, 255), GL_NEAREST);
        slots[endsTexture] = slots[tubeTexture];
        slots[backgroundTexture] = makeTexture(blankPicture(8, 8, 150, 110, 70, 255), GL_NEAREST);
        slots[cursorTexture] = makeTexture(blankPicture(8, 8, 255, 255, 255, 255), GL_NEAREST);
        Picture lightning = blankPicture(32, 32, 0, 0, 0, 0);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                if ((x + y) % 8 >= 2) continue;
                std::uint8_t* p = lightning.at(x, y);
                p[0] = 255, p[1] = 255, p[2] = 150, p[3] = 255;
            }
        }
        slots[lightningTexture] = makeTexture(lightning, GL_LINEAR);
        fontBase = glGenLists(256);
        buildFontLists(fontBase);

        models[tubeModelEntry] = boxModel(0.45f, 0.0f, 0.6f, tubeTexture);
        models[tube2ModelEntry] = boxModel(0.47f, -0.01f, 0.62f, lightningTexture);
        // Under the middle of the board only: the outer tubes stand beside it.
        models[stageModelEntry] = stageSquare(-4.5f, 4.5f, -12.5f, -3.5f, backgroundTexture);
        lists = buildSceneLists(models, slots);
        scoreTexture = createScoreTexture();
        clearOverlay = makeTexture(blankPicture(16, 16, 0, 0, 0, 0), GL_LINEAR);
    }
    static void TearDownTestSuite() {
        deleteSceneLists(lists);
        for (int entry = 1; entry <= 3; ++entry) freeModel(models[entry]);
    }

    void SetUp() override {
        createBoard(state.board);
        state.hoveredTube = 0;
    }

    // A frame up to and including the given pass (1 the score pass, 2..6
    // the scene, where 3 and 4 are drawn as one). The stage gets a clear
    // overlay, so it shows its own colour; the window is cleared to grey,
    // which a shadow would darken.
    static void frameThrough(int lastPass, GLuint overlay = clearOverlay) {
        const ViewSettings& view = sharedView();
        glClearColor(0.6f, 0.6f, 0.6f, 1);
        renderScoreTexture(0, 0, scoreTexture, fontBase, slots, view);
        glClearColor(0, 0, 0, 1);
        const Model& stage = *models[stageModelEntry];
        if (lastPass >= 2) setUpSceneView(view, light);
        if (lastPass >= 4) drawStageWithScore(stage, slots, overlay);
        if (lastPass >= 5) drawShadows(state.board, lists, stage, light);
        if (lastPass >= 6) drawTubes(state, lists);
    }

    static Picture frame() { return readFrame(sharedView().width, sharedView().height); }

    static inline Light light = {};
    static inline TextureSlots slots = {};
    static inline GLuint fontBase = 0;
    static inline Models models = {};
    static inline SceneLists lists;
    static inline GLuint scoreTexture = 0, clearOverlay = 0;
    static inline GameState state;
};

bool sameColour(const std::uint8_t* p, const std::uint8_t* q) { return p[0] == q[0] && p[1] == q[1] && p[2] == q[2]; }
// How many pixels of the picture pass the test (x, y).
template <typename Test>
int countPixels(const Picture& picture, Test test) {
    int count = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) count += test(x, y) ? 1 : 0;
    }
    return count;
}
void expectIdentityTextureMatrix() {
    GLfloat matrix[16];
    glGetFloatv(GL_TEXTURE_MATRIX, matrix);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix[i], i % 5 == 0 ? 1.0f : 0.0f) << "texture matrix entry " << i;
}
bool halved(const std::uint8_t* shadowed, const std::uint8_t* lit) {
    for (int k = 0; k < 3; ++k) {
        if (std::abs(2 * shadowed[k] - lit[k]) > 2) return false;
    }
    return true;
}

TEST_F(SceneFixture, ShadowsFallOnTheStageOnlyAndDarkenItByHalf) {
    frameThrough(4);
    const Picture stageOnly = frame();
    const int w = sharedView().width, h = sharedView().height;
    const std::vector<std::uint8_t> stageMask = readStencil(w, h);
    drawShadows(state.board, lists, *models[stageModelEntry], light);
    const Picture shadowed = frame();
    const std::vector<std::uint8_t> stencil = readStencil(w, h);

    int onStage = 0, beside = 0, darkened = 0, wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const std::uint8_t* before = stageOnly.at(x, y);
            const std::uint8_t* after = shadowed.at(x, y);
            if (stageMask[i] == 0) {
                ++beside;
                wrong += !sameColour(before, after) || stencil[i] != 0;
            } else {
                ++onStage;
                if (sameColour(before, after)) {
                    wrong += stencil[i] != 1;
                } else {
                    ++darkened;
                    wrong += !halved(after, before) || stencil[i] != 2;
                }
            }
        }
    }
    EXPECT_GT(onStage, 50000);
    EXPECT_GT(beside, 50000);
    EXPECT_GT(darkened, 5000);
    EXPECT_EQ(wrong, 0);

    // Without the stencil the same shadows would reach beside the stage:
    // the clipping above is what kept them off.
    frameThrough(4);
    glDisable(GL_STENCIL_TEST);
    drawShadows(state.board, lists, *models[stageModelEntry], light);
    const Picture unclipped = frame();
    EXPECT_GT(countPixels(unclipped,
                          [&](int x, int y) {
                              return stageMask[static_cast<std::size_t>(y) * w + x] == 0 &&
                                     !sameColour(unclipped.at(x, y), stageOnly.at(x, y));
                          }),
              1000);
}

TEST_F(SceneFixture, AStageWithoutFacesCastsNoShadowAndTheStateStillFollows) {
    Model bare;  // no vertices, faces or materials
    frameThrough(4);
    const Picture before = frame();
    drawShadows(state.board, lists, bare, light);
    EXPECT_EQ(before.rgba, frame().rgba);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
}

TEST_F(SceneFixture, OverlappingShadowsAreAsDarkAsOne) {
    // Two tubes close enough for their shadows to overlap; the rest stand
    // far off to the side, where their shadows leave the screen.
    auto placeOnly = [&](std::initializer_list<std::pair<int, float>> placed) {
        for (int i = 1; i <= tubeCount; ++i) state.board[i].position[0] = 1000;
        for (auto [tube, x] : placed) {
            state.board[tube].position[0] = x;
            state.board[tube].position[2] = -8;
        }
    };
    frameThrough(4);
    const Picture lit = frame();

    placeOnly({{tubeAtCentre, 0.0f}});
    frameThrough(5);
    const Picture first = frame();
    placeOnly({{tubeAtCentre + 1, 0.5f}});
    frameThrough(5);
    const Picture second = frame();
    placeOnly({{tubeAtCentre, 0.0f}, {tubeAtCentre + 1, 0.5f}});
    frameThrough(5);
    const Picture both = frame();

    auto darkened = [&](const Picture& shadowed, int x, int y) { return !sameColour(lit.at(x, y), shadowed.at(x, y)); };
    auto inBoth = [&](int x, int y) { return darkened(first, x, y) && darkened(second, x, y); };
    const int overlap = countPixels(lit, inBoth);
    EXPECT_GT(overlap, 500);
    EXPECT_EQ(countPixels(lit, [&](int x, int y) { return inBoth(x, y) && halved(both.at(x, y), lit.at(x, y)); }),
              overlap);
}

// The screen outline of a box tube: the convex hull of its eight corners.
std::vector<std::pair<double, double>> screenCorners(const Tube& tube) {
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(tube.position[0], tube.position[1], tube.position[2]);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glPopMatrix();
    std::vector<std::pair<double, double>> corners;
    for (double x : {-0.45, 0.45}) {
        for (double y : {0.0, 0.6}) {
            for (double z : {-0.45, 0.45}) {
                double wx, wy, wz;
                gluProject(x, y, z, modelview, projection, viewport, &wx, &wy, &wz);
                corners.push_back({wx, wy});
            }
        }
    }
    return corners;
}

// Distance from a point to the convex hull's boundary, negative inside.
double signedDistanceToHull(const std::vector<std::pair<double, double>>& points, double px, double py) {
    std::vector<std::pair<double, double>> p = points;
    std::sort(p.begin(), p.end());
    auto cross = [](auto o, auto a, auto b) {
        return (a.first - o.first) * (b.second - o.second) - (a.second - o.second) * (b.first - o.first);
    };
    std::vector<std::pair<double, double>> hull(2 * p.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
        hull[k++] = p[i];
    }
    for (std::size_t i = p.size() - 1, t = k + 1; i > 0; --i) {
        while (k >= t && cross(hull[k - 2], hull[k - 1], p[i - 1]) <= 0) --k;
        hull[k++] = p[i - 1];
    }
    hull.resize(k - 1);
    double nearest = 1e9;
    bool inside = true;
    for (std::size_t i = 0; i < hull.size(); ++i) {
        const auto a = hull[i], b = hull[(i + 1) % hull.size()];
        const double ex = b.first - a.first, ey = b.second - a.second;
        const double t = std::clamp(((px - a.first) * ex + (py - a.second) * ey) / (ex * ex + ey * ey), 0.0, 1.0);
        nearest = std::min(nearest, std::hypot(px - a.first - t * ex, py - a.second - t * ey));
        if (ex * (py - a.second) - ey * (px - a.first) < 0) inside = false;
    }
    return inside ? -nearest : nearest;
}

TEST_F(SceneFixture, OutlinesTheHoveredTubeAlongItsSilhouetteOnly) {
    // The tube stands alone, so that no neighbour hides part of its outline.
    for (int i = 1; i <= tubeCount; ++i) {
        if (i != tubeAtCentre) state.board[i].position[0] = 1000;
    }
    state.hoveredTube = 0;
    frameThrough(6);
    const Picture plain = frame();
    EXPECT_EQ(countPixels(plain,
                          [&](int x, int y) {
                              const std::uint8_t* p = plain.at(x, y);
                              return p[0] > 200 && p[1] > 200 && p[2] > 200;
                          }),
              0)
        << "no outline when no tube is hovered";

    state.hoveredTube = tubeAtCentre;
    frameThrough(6);
    const auto corners = screenCorners(state.board[tubeAtCentre]);
    const Picture outlined = frame();

    // Lines show on the tube only (the silhouette and the edges of faces
    // seen at a slant); smoothed lines spread about a pixel either side.
    auto changed = [&](int x, int y) { return !sameColour(plain.at(x, y), outlined.at(x, y)); };
    EXPECT_GT(countPixels(plain, changed), 50);
    EXPECT_EQ(countPixels(
                  plain,
                  [&](int x, int y) { return changed(x, y) && signedDistanceToHull(corners, x + 0.5, y + 0.5) > 2.0; }),
              0);

    // Walking round the silhouette, most of it is lit up.
    int samples = 0, onOutline = 0;
    for (int y = 0; y < plain.height; ++y) {
        for (int x = 0; x < plain.width; ++x) {
            if (std::abs(signedDistanceToHull(corners, x + 0.5, y + 0.5)) > 0.5) continue;
            ++samples;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy) {
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    near = !sameColour(plain.at(x + dx, y + dy), outlined.at(x + dx, y + dy));
                }
            }
            onOutline += near;
        }
    }
    EXPECT_GT(samples, 40);
    EXPECT_GT(onOutline, samples * 8 / 10) << "of " << samples;
}

TEST_F(SceneFixture, TheOverlayIsDrawnWhereTheLightningStepShowedItAndNowhereElse) {
    // Its last frame steps the lightning to 0 and still shows it; a tube
    // whose step showed nothing draws none, whatever its frame says.
    state.board[tubeAtCentre].lightningFrame = 0;
    frameThrough(6);
    const Picture plain = frame();
    state.board[tubeAtCentre].lightningShown = flagTrue;
    frameThrough(6);
    const Picture shown = frame();
    state.board[tubeAtCentre].lightningShown = 0;
    state.board[tubeAtCentre].lightningFrame = 12;
    frameThrough(6);
    const Picture notShown = frame();
    EXPECT_GT(countPixels(plain, [&](int x, int y) { return !sameColour(plain.at(x, y), shown.at(x, y)); }), 500);
    EXPECT_EQ(plain.rgba, notShown.rgba);
    expectIdentityTextureMatrix();
}

}  // namespace
