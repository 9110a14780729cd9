// The 1024 x 768 frame on windows of any size: where the picture stands, how
// the pointer maps between window and frame pixels, and the real game's
// frame drawn off screen against the same frame drawn straight.
#include "render/frame_target.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/frame.h"
#include "render/render_test_support.h"
#include "support/test_support.h"

namespace {

TEST(Letterbox, ThePictureKeepsItsShapeCentredOnAnyWindow) {
    const struct {
        int width, height;
        PictureRectangle picture;  // GL window pixels, origin lower left
    } windows[] = {
        {1024, 768, {0, 0, 1024, 768}},     {1920, 1080, {240, 0, 1680, 1080}}, {1280, 1024, {0, 32, 1280, 992}},
        {800, 600, {0, 0, 800, 600}},       {1366, 768, {171, 0, 1195, 768}},   {640, 1024, {0, 272, 640, 752}},
        {3840, 2160, {480, 0, 3360, 2160}},
    };
    for (const auto& window : windows) {
        SCOPED_TRACE(testing::Message() << window.width << " x " << window.height);
        const Letterbox box = fitFrame(1024, 768, window.width, window.height);
        const PictureRectangle picture = pictureRectangle(box, 1024, 768, window.height);
        EXPECT_EQ(picture.x0, window.picture.x0);
        EXPECT_EQ(picture.y0, window.picture.y0);
        EXPECT_EQ(picture.x1, window.picture.x1);
        EXPECT_EQ(picture.y1, window.picture.y1);
    }
}

TEST(Letterbox, ThePointerMapsToTheFramePixelUnderItAndAHeldPixelNeverDrifts) {
    for (const auto& size : {std::pair{1024, 768}, {1920, 1080}, {1280, 1024}, {800, 600}, {1366, 768}, {333, 250}}) {
        SCOPED_TRACE(testing::Message() << size.first << " x " << size.second);
        const Letterbox box = fitFrame(1024, 768, size.first, size.second);
        // The window's middle is the frame's middle; the picture's top-left
        // window pixel is frame pixel (0, 0).
        const FramePointer middle = framePointer(box, {size.first / 2.0, size.second / 2.0});
        EXPECT_EQ(middle.x, 512);
        EXPECT_EQ(middle.y, 384);
        const FramePointer corner = framePointer(box, {box.left, box.top});
        EXPECT_EQ(corner.x, 0);
        EXPECT_EQ(corner.y, 0);
        // Every frame pixel the pointer can be held at, and some beyond,
        // read back as itself, however often it is held.
        for (int y = -2; y <= 770; ++y) {
            for (int x = -2; x <= 1026; ++x) {
                FramePointer held = {x, y};
                for (int again = 0; again < 3; ++again) held = framePointer(box, windowPointer(box, held));
                ASSERT_EQ(held.x, x) << "at " << x << ", " << y;
                ASSERT_EQ(held.y, y) << "at " << x << ", " << y;
            }
        }
    }
    // Without scaling a window pixel is a frame pixel.
    const Letterbox same = fitFrame(1024, 768, 1024, 768);
    const FramePointer read = framePointer(same, {-20.75, 900.25});
    EXPECT_EQ(read.x, -21);
    EXPECT_EQ(read.y, 900);
}

// The board and flags as they stand, to be put back.
struct SavedState {
    std::vector<Tube> tubes;
    std::int32_t score, best, hoveredTube, previousHoveredTube;
    Flag anyTubeTurning, anyLightning;
};
SavedState save(const GameState& state) {
    SavedState saved{{},
                     state.score,
                     state.best,
                     state.hoveredTube,
                     state.previousHoveredTube,
                     state.anyTubeTurning,
                     state.anyLightning};
    for (int i = 1; i <= tubeCount; ++i) saved.tubes.push_back(state.board[i]);
    return saved;
}
void restore(GameState& state, const SavedState& saved) {
    for (int i = 1; i <= tubeCount; ++i) state.board[i] = saved.tubes[i - 1];
    state.score = saved.score, state.best = saved.best, state.hoveredTube = saved.hoveredTube;
    state.previousHoveredTube = saved.previousHoveredTube;
    state.anyTubeTurning = saved.anyTubeTurning, state.anyLightning = saved.anyLightning;
}

// A window without a stencil buffer cannot take the frame straight: it is
// drawn off screen and shown 1:1, and must look the same, from the score
// written on the stage to the lightning, the shadows and the cursor. Only
// pixels right on the edge of a triangle or of a smoothed line may fall the
// other way in a frame buffer object (about 800 of them, 0.1 %); a pass
// without its stencil, say, changes ten times as many.
TEST(OffscreenFrame, DrawsTheSamePictureAsTheWindowItself) {
    Game& game = startedGame();
    ASSERT_NE(game.frameTarget.framebuffer, 0u) << "no off-screen frame on this GL";
    FrameInput input;
    input.mouseX = 512, input.mouseY = 596;  // a tube near the front, outlined
    game.state.score = 360, game.state.best = 3;

    for (const char* moment : {"start-up flash", "outline and score"}) {
        SCOPED_TRACE(moment);
        const SavedState before = save(game.state);
        resetRandomUnit();
        playFrameUpToSwap(game, input);
        ASSERT_FALSE(game.frameTarget.offScreen);
        const Picture straight = readFrame(1024, 768);
        finishFrame(game);

        restore(game.state, before);
        resetRandomUnit();
        const std::int32_t stencilBits = game.frameTarget.stencilBits;
        game.frameTarget.stencilBits = 0;
        playFrameUpToSwap(game, input);
        game.frameTarget.stencilBits = stencilBits;
        ASSERT_TRUE(game.frameTarget.offScreen);
        const Picture shown = readFrame(1024, 768);
        finishFrame(game);

        int differing = 0;
        for (std::size_t i = 0; i < straight.rgba.size(); i += 4) {
            differing += straight.rgba[i] != shown.rgba[i] || straight.rgba[i + 1] != shown.rgba[i + 1] ||
                         straight.rgba[i + 2] != shown.rgba[i + 2];
        }
        EXPECT_LT(differing, 2000);
        // Let the start-up lightning run out before the second look.
        while (game.state.anyLightning || game.state.anyTubeTurning) playFrame(game, input);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
