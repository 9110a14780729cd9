// Picking in the game's own window (Xvfb, llvmpipe) with the real tube
// model: the tube under the pointer against a depth-tested drawing of the
// board in one flat colour per tube, the nearest-hit and tie rules, the pick
// region at the window's edges, and the matrices left behind.
#include "game/picking.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <vector>

#include "assets/model.h"
#include "assets/model_draw.h"
#include "support/test_support.h"

namespace {

// A point where nothing of the board can be seen: behind the camera.
constexpr float outOfSight[3] = {0, 0, 60};

const Model& tubeModel() {
    static Model* model = [] {
        sharedWindow();
        return loadModel("Model/Tube.OBJ", 2);
    }();
    if (!model) throw std::runtime_error("Model/Tube.OBJ did not load");
    return *model;
}

Board shuffledBoard() {
    resetRandomUnit();
    Board board;
    createBoard(board);
    shuffleBoard(board);
    return board;
}

// The scene's projection and view, as the frame sets them.
void loadSceneMatrices() {
    const ViewSettings& view = sharedView();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(view.fov, view.aspect, view.near, view.far);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.eye[0], camera.eye[1], camera.eye[2], camera.centre[0], camera.centre[1], camera.centre[2],
              camera.up[0], camera.up[1], camera.up[2]);
}

void applyTubeTransform(const Tube& tube) {
    glTranslatef(tube.position[0], tube.position[1], tube.position[2]);
    glRotatef(static_cast<float>(tube.angleX), 1, 0, 0);
    glRotatef(static_cast<float>(tube.angleY), 0, 1, 0);
    glRotatef(static_cast<float>(tube.angleZ), 0, 0, 1);
}

struct WindowPoint {
    double x, y, depth;  // GL window coordinates: y up from the bottom edge
};

// Where a point given in a tube's own frame lands on the window.
WindowPoint projectOnTube(const Tube& tube, const Vector3& local) {
    loadSceneMatrices();
    glPushMatrix();
    applyTubeTransform(tube);
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPopMatrix();
    WindowPoint point{};
    gluProject(local.x, local.y, local.z, modelview, projection, viewport, &point.x, &point.y, &point.depth);
    return point;
}

// A point on the tube's upper surface near the middle of its bend: the
// centre of the upward face nearest to the mean of the vertices.
Vector3 tubeSurfacePoint() {
    const Model& model = tubeModel();
    Vector3 mean;
    for (int v = 0; v < model.vertexCount; ++v) {
        mean.x += model.positions[v].x / model.vertexCount;
        mean.z += model.positions[v].z / model.vertexCount;
    }
    Vector3 best;
    double bestDistance = 1e9;
    for (int f = 0; f < model.faceCount; ++f) {
        const Face& face = model.faces[f];
        if (face.normal.y < 0.8f) continue;
        const double distance = std::hypot(face.centre.x - mean.x, face.centre.z - mean.z);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = face.centre;
        }
    }
    return best;
}

// The pointer (window pixels from the top left, y down) whose pick region
// is centred on a window point.
struct Pointer {
    int x, y;
};
Pointer pointerAt(const WindowPoint& point) {
    return {static_cast<int>(std::lround(point.x)), sharedView().height - static_cast<int>(std::lround(point.y))};
}

std::int32_t pick(const Board& board, Pointer pointer) {
    return pickTube(pointer.x, pointer.y, board, tubeModel(), sharedView(), camera);
}

// The board drawn with depth testing, each tube in the flat colour of its
// index (background 0), read back: which tube is seen at each pixel.
std::vector<int> tubeIdImage(const Board& board) {
    const ViewSettings& view = sharedView();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_DITHER);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    loadSceneMatrices();
    for (int i = 1; i <= tubeCount; ++i) {
        glPushMatrix();
        applyTubeTransform(board[i]);
        glColor3ub(static_cast<GLubyte>(i), 0, 0);
        drawModelGeometry(tubeModel());
        glPopMatrix();
    }
    std::vector<GLubyte> pixels(static_cast<std::size_t>(view.width) * view.height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, view.width, view.height, GL_RED, GL_UNSIGNED_BYTE, pixels.data());
    glPopAttrib();
    return std::vector<int>(pixels.begin(), pixels.end());
}

TEST(Picking, ThePointerOverTheMiddleOfATubeFindsThatTube) {
    Board board = shuffledBoard();
    const Vector3 surface = tubeSurfacePoint();
    for (int angle : {0, 90, 180, 270}) {
        board[113].angleY = angle;
        EXPECT_EQ(pick(board, pointerAt(projectOnTube(board[113], surface))), 113) << "at " << angle;
    }
    for (int index : {1, 8, 15, 97, 211, 225}) {
        EXPECT_EQ(pick(board, pointerAt(projectOnTube(board[index], surface))), index);
    }
}

TEST(Picking, TheWholeWindowAgreesWithTheTubeSeenAtEachPixel) {
    Board board = shuffledBoard();
    const std::vector<int> seen = tubeIdImage(board);
    const ViewSettings& view = sharedView();
    int compared = 0, onTubes = 0, background = 0;
    for (int mouseY = 4; mouseY < view.height - 4; mouseY += 12) {
        for (int mouseX = 4; mouseX < view.width - 4; mouseX += 12) {
            // The pick region is centred on the corner shared by pixels
            // (x - 1 .. x, y - 1 .. y) of GL's window rows: compare only where
            // the same tube is seen all around it.
            const int glY = view.height - mouseY;
            const int expected = seen[glY * view.width + mouseX];
            bool uniform = true;
            for (int dy = -2; dy <= 1; ++dy) {
                for (int dx = -2; dx <= 1; ++dx) {
                    if (seen[(glY + dy) * view.width + mouseX + dx] != expected) uniform = false;
                }
            }
            if (!uniform) continue;
            ++compared;
            expected ? ++onTubes : ++background;
            ASSERT_EQ(pickTube(mouseX, mouseY, board, tubeModel(), view, camera), expected)
                << "pointer at (" << mouseX << ", " << mouseY << ")";
        }
    }
    EXPECT_GT(onTubes, 500) << compared;
    EXPECT_GT(background, 500) << compared;
    EXPECT_GT(compared, 4000);
}

TEST(Picking, TheBackgroundGivesNoTube) {
    const Board board = shuffledBoard();
    EXPECT_EQ(pickTube(512, 20, board, tubeModel(), sharedView(), camera), 0) << "above the board";
    EXPECT_EQ(pickTube(20, 740, board, tubeModel(), sharedView(), camera), 0) << "bottom left";
    EXPECT_EQ(pickTube(-300, 384, board, tubeModel(), sharedView(), camera), 0) << "left of the window";
}

// Moves a tube onto the line from the eye through another tube's surface
// point, at a fraction of the way there.
void placeOnSightLine(Board& board, int moved, int target, double fraction) {
    const Vector3 surface = tubeSurfacePoint();
    // The surface point in world coordinates (the tube is at 0 degrees).
    ASSERT_EQ(board[target].angleY, 0);
    const double point[3] = {board[target].position[0] + surface.x, board[target].position[1] + surface.y,
                             board[target].position[2] + surface.z};
    for (int axis = 0; axis < 3; ++axis) {
        // Keep the moved tube's own surface point on the line.
        const double along = camera.eye[axis] + fraction * (point[axis] - camera.eye[axis]);
        const double offset = axis == 0 ? surface.x : axis == 1 ? surface.y : surface.z;
        board[moved].position[axis] = static_cast<float>(along - offset);
    }
    board[moved].angleY = 0;
}

TEST(Picking, WhereTwoTubesOverlapTheFrontOneWinsWhateverItsIndex) {
    Board board = shuffledBoard();
    board[113].angleY = 0;
    const Pointer over113 = pointerAt(projectOnTube(board[113], tubeSurfacePoint()));
    ASSERT_EQ(pick(board, over113), 113);

    // A higher index in front.
    placeOnSightLine(board, 200, 113, 0.7);
    EXPECT_EQ(pick(board, over113), 200);
    // A lower index behind.
    std::copy(outOfSight, outOfSight + 3, board[200].position);
    placeOnSightLine(board, 20, 113, 1.3);
    EXPECT_EQ(pick(board, over113), 113);
    // A tube less than two units from the eye has a depth below half the
    // range: the depths only order correctly when compared unsigned.
    placeOnSightLine(board, 200, 113, 0.09);
    EXPECT_EQ(pick(board, over113), 200);
}

TEST(Picking, TwoTubesAtTheSameDepthGoToTheLowerIndex) {
    Board board = shuffledBoard();
    board[113].angleY = 0;
    const Pointer over113 = pointerAt(projectOnTube(board[113], tubeSurfacePoint()));
    board[150].angleY = 0;
    std::copy(board[113].position, board[113].position + 3, board[150].position);
    EXPECT_EQ(pick(board, over113), 113);
    board[100].angleY = 0;
    std::copy(board[113].position, board[113].position + 3, board[100].position);
    EXPECT_EQ(pick(board, over113), 100);
}

// A board with one tube in sight, moved along z until the lowest point of
// its picture lies 0.1 pixel above the given GL window row.
Board boardWithOneTubeJustAbove(double windowRow, Pointer& lowestPoint) {
    Board board = shuffledBoard();
    for (int i = 1; i <= tubeCount; ++i) std::copy(outOfSight, outOfSight + 3, board[i].position);
    Tube& tube = board[113];
    tube.angleY = 0;
    const Model& model = tubeModel();
    WindowPoint lowest{};
    auto lowestAt = [&](double z) {
        tube.position[0] = 0;
        tube.position[1] = 0;
        tube.position[2] = static_cast<float>(z);
        lowest.y = 1e9;
        for (int v = 0; v < model.vertexCount; ++v) {
            const WindowPoint point = projectOnTube(tube, model.positions[v]);
            if (point.y < lowest.y) lowest = point;
        }
        return lowest.y;
    };
    // Further away is higher on the window.
    double near = 4, far = -50;
    for (int step = 0; step < 60; ++step) {
        const double middle = (near + far) / 2;
        (lowestAt(middle) < windowRow + 0.1 ? near : far) = middle;
    }
    lowestAt(far);
    lowestPoint = {static_cast<int>(std::lround(lowest.x)),
                   sharedView().height - static_cast<int>(std::lround(windowRow))};
    EXPECT_NEAR(lowest.y, windowRow + 0.1, 0.01);
    return board;
}

TEST(Picking, ThePickRegionOfTheTopRowIsCentredOnTheWindowsTopEdge) {
    // mouseY = 0 centres the region on GL row 768, the top edge: a tube whose
    // picture starts 0.1 pixel above that edge is still under it.
    Pointer pointer{};
    const Board board = boardWithOneTubeJustAbove(768, pointer);
    ASSERT_EQ(pointer.y, 0);
    EXPECT_EQ(pick(board, pointer), 113);
    EXPECT_EQ(pick(board, {pointer.x, 1}), 0) << "one row lower the region ends below the tube";
}

TEST(Picking, ThePickRegionOfTheBottomRowIsCentredOnePixelAboveTheBottomEdge) {
    // mouseY = 767 centres the region on GL row 1: a tube whose picture
    // starts 0.1 pixel above it is under it, and not one row lower.
    Pointer pointer{};
    const Board board = boardWithOneTubeJustAbove(1, pointer);
    ASSERT_EQ(pointer.y, 767);
    EXPECT_EQ(pick(board, pointer), 113);
    EXPECT_EQ(pick(board, {pointer.x, 768}), 0);
}

TEST(Picking, LeavesTheProjectionAsItWasAndTheCameraInTheModelview) {
    const Board board = shuffledBoard();
    const Pointer over113 = pointerAt(projectOnTube(board[113], tubeSurfacePoint()));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-3, 7, -2, 5, -1, 9);
    GLfloat before[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    glMatrixMode(GL_TEXTURE);  // whichever matrix was current, the modelview is afterwards

    EXPECT_EQ(pickTube(over113.x, over113.y, board, tubeModel(), sharedView(), camera), 113);

    glGetFloatv(GL_PROJECTION_MATRIX, after);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(after[k], before[k]) << k;
    GLint mode = 0, renderMode = 0, projectionDepth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_RENDER_MODE, &renderMode);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(renderMode, GL_RENDER);
    EXPECT_EQ(projectionDepth, 1);

    GLfloat modelview[16], lookAt[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glLoadIdentity();
    gluLookAt(camera.eye[0], camera.eye[1], camera.eye[2], camera.centre[0], camera.centre[1], camera.centre[2],
              camera.up[0], camera.up[1], camera.up[2]);
    glGetFloatv(GL_MODELVIEW_MATRIX, lookAt);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(modelview[k], lookAt[k]) << k;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

long residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * 4;
}

TEST(Picking, PickingEveryFrameTakesNoMoreMemory) {
    // Picking runs in every idle frame, for as long as the game runs.
    const Board board = shuffledBoard();
    for (int k = 0; k < 20; ++k) pickTube(512, 400, board, tubeModel(), sharedView(), camera);
    glFinish();
    const long before = residentKilobytes();
    for (int k = 0; k < 200; ++k) pickTube(400 + k, 400, board, tubeModel(), sharedView(), camera);
    glFinish();
    EXPECT_LT(residentKilobytes() - before, 20 * 1024) << "kilobytes more after 200 picks";
}

}  // namespace
