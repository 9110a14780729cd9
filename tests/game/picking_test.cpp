// Picking in the game's own window with the real tube model, against a
// depth-tested drawing of the board in one flat colour per tube.
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
#include "support/tube_pointer.h"

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

WindowPoint projectOnTube(const Tube& tube, const Vector3& local) { return projectOnTube(tube, local, sharedView()); }
Vector3 tubeSurfacePoint() { return tubeAimPoint(tubeModel()); }

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
    loadSceneMatrices(view);
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
            ASSERT_EQ(pick(board, {mouseX, mouseY}), expected) << "pointer at (" << mouseX << ", " << mouseY << ")";
        }
    }
    EXPECT_GT(onTubes, 500) << compared;
    EXPECT_GT(background, 500) << compared;
    EXPECT_GT(compared, 4000);
}

TEST(Picking, TheBackgroundGivesNoTube) {
    const Board board = shuffledBoard();
    EXPECT_EQ(pick(board, {512, 20}), 0) << "above the board";
    EXPECT_EQ(pick(board, {20, 740}), 0) << "bottom left";
    EXPECT_EQ(pick(board, {-300, 384}), 0) << "left of the window";
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

// mouseY = 0 centres the pick region on GL row 768 (the top edge), mouseY =
// 767 on GL row 1: a tube starting 0.1 pixel above that row is under the
// pointer, and not one row lower.
TEST(Picking, ThePickRegionIsCentredOnTheRowEdgeAboveThePointerAtBothWindowEdges) {
    const struct {
        double windowRow;
        int mouseY;
    } edges[] = {{768, 0}, {1, 767}};
    for (const auto& edge : edges) {
        SCOPED_TRACE(testing::Message() << "mouseY " << edge.mouseY);
        Pointer pointer{};
        const Board board = boardWithOneTubeJustAbove(edge.windowRow, pointer);
        ASSERT_EQ(pointer.y, edge.mouseY);
        EXPECT_EQ(pick(board, pointer), 113);
        EXPECT_EQ(pick(board, {pointer.x, pointer.y + 1}), 0);
    }
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

    EXPECT_EQ(pick(board, over113), 113);

    glGetFloatv(GL_PROJECTION_MATRIX, after);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(after[k], before[k]) << k;
    EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(glInteger(GL_RENDER_MODE), GL_RENDER);
    EXPECT_EQ(glInteger(GL_PROJECTION_STACK_DEPTH), 1);

    GLfloat modelview[16], lookAt[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    loadSceneMatrices(sharedView());
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
    for (int k = 0; k < 20; ++k) pick(board, {512, 400});
    glFinish();
    const long before = residentKilobytes();
    for (int k = 0; k < 200; ++k) pick(board, {400 + k, 400});
    glFinish();
    EXPECT_LT(residentKilobytes() - before, 20 * 1024) << "kilobytes more after 200 picks";
}

}  // namespace
