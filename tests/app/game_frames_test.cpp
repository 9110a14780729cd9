// The real game's frames, from start-up through a click and its chain, read
// back before the swap. With TUBECHAIN_SCREENSHOTS set to a folder, the
// frames are also written there as PNG pictures.
#include <GL/gl.h>
#include <gtest/gtest.h>
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "app/frame.h"
#include "assets/image.h"
#include "render/render_test_support.h"
#include "support/camera_view.h"
#include "support/test_support.h"

namespace {

void keepPicture(const Picture& picture, const std::string& name) {
    const char* folder = std::getenv("TUBECHAIN_SCREENSHOTS");
    if (!folder || !*folder) return;
    const std::string path = std::string(folder) + "/" + name + ".png";
    const int stride = picture.width * 4;
    // Frame rows come bottom first; the picture file wants the top first.
    stbi_write_png(path.c_str(), picture.width, picture.height, 4,
                   picture.rgba.data() + static_cast<std::size_t>(picture.height - 1) * stride, -stride);
}

Picture opaque(Picture picture) {
    for (std::size_t i = 3; i < picture.rgba.size(); i += 4) picture.rgba[i] = 255;
    return picture;
}

struct GameFrames : ::testing::Test {
    void SetUp() override {
        resetRandomUnit();
        game = Game();
        ASSERT_TRUE(startUp(game));
    }
    void TearDown() override { shutDown(game); }

    // A click at the pointer, then frames until the board is idle again
    // (the click's own frame still finds the board idle at its flag update),
    // or until the frame limit. Keeps the frame with the most lightnings
    // running once the chain has scored 3.
    static void clickAndRun(const FrameInput& pointer, int frameLimit, Picture* busiest = nullptr,
                            int* mostLit = nullptr) {
        frame(pointer);  // the board is idle: this frame picks
        frame(at(pointer.mouseX, pointer.mouseY, true));
        for (int n = 0; n < frameLimit; ++n) {
            const Picture picture = frame(pointer);
            if (busiest && tubesWithLightning() > *mostLit && game.state.score >= 3) {
                *mostLit = tubesWithLightning();
                *busiest = picture;
            }
            if (idle()) break;
        }
    }
    static int tubesWithLightning() {
        int count = 0;
        for (int i = 1; i <= tubeCount; ++i) count += game.state.board[i].lightningFrame != 0;
        return count;
    }

    // The frame as the window shows it after the swap.
    static Picture frame(const FrameInput& input) {
        playFrameUpToSwap(game, input);
        const Picture picture = opaque(readFrame(game.view.width, game.view.height));
        finishFrame(game);
        return picture;
    }
    // The same frame with picking left out, so that no tube is hovered.
    static Picture frameWithoutPicking(const FrameInput& input) {
        givenPlay().given = input;
        runFrameStages(game, givenPlay(), FrameStage::input, FrameStage::pick);
        runFrameStages(game, givenPlay(), FrameStage::rules, FrameStage::swap);
        const Picture picture = opaque(readFrame(game.view.width, game.view.height));
        finishFrame(game);
        return picture;
    }
    static bool idle() { return !game.state.anyTubeTurning && !game.state.anyLightning; }
    static FrameInput at(int x, int y, bool left = false) {
        FrameInput input;
        input.mouseX = x, input.mouseY = y, input.leftButton = left;
        return input;
    }

    static inline Game game;
};

int differingPixels(const Picture& a, const Picture& b) {
    int count = 0;
    for (std::size_t i = 0; i < a.rgba.size(); i += 4) {
        count += a.rgba[i] != b.rgba[i] || a.rgba[i + 1] != b.rgba[i + 1] || a.rgba[i + 2] != b.rgba[i + 2];
    }
    return count;
}

// The colours over the tubes that a lightning lights: the pixels where a
// frame with lightning differs from the same frame without. The overlay
// squares its own colours over the tube, a deep electric blue (blue at
// least three times red and green) with pale blue-white arcs; without
// lightning the same pixels are mostly copper.
struct LitColours {
    int lit = 0, deepBlue = 0, arcs = 0, copperWhenIdle = 0, deepBlueWhenIdle = 0;
};
bool deepBlue(const std::uint8_t* p) { return p[2] >= 100 && p[2] > 3 * p[0] && p[2] > 3 * p[1]; }
LitColours litColours(const Picture& withLightning, const Picture& without) {
    LitColours colours;
    for (std::size_t i = 0; i < without.rgba.size(); i += 4) {
        const std::uint8_t* p = &withLightning.rgba[i];
        const std::uint8_t* idle = &without.rgba[i];
        if (p[0] == idle[0] && p[1] == idle[1] && p[2] == idle[2]) continue;
        ++colours.lit;
        colours.deepBlue += deepBlue(p);
        colours.arcs += p[2] >= 220 && p[1] >= 140 && p[0] >= 60;
        colours.copperWhenIdle += idle[0] > idle[1] + 30 && idle[1] > idle[2] + 10;
        colours.deepBlueWhenIdle += deepBlue(idle);
    }
    return colours;
}
std::ostream& operator<<(std::ostream& out, const LitColours& c) {
    return out << c.lit << " lit pixels: " << c.deepBlue << " deep blue, " << c.arcs << " arcs; idle "
               << c.copperWhenIdle << " copper, " << c.deepBlueWhenIdle << " deep blue";
}

// The hover outline: the largest 8-connected piece of pixels that it
// brightens by 60 or more in every channel. Drawn in front of the tube, its
// lines join into one web; sunk into the tube, they break into dashes.
int largestOutlinePiece(const Picture& outlined, const Picture& plain) {
    const auto brightened = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= plain.width || y >= plain.height) return false;
        for (int k = 0; k < 3; ++k) {
            if (outlined.at(x, y)[k] - plain.at(x, y)[k] < 60) return false;
        }
        return true;
    };
    std::vector<bool> seen(plain.rgba.size() / 4, false);
    int largest = 0;
    for (int y = 0; y < plain.height; ++y) {
        for (int x = 0; x < plain.width; ++x) {
            if (seen[y * plain.width + x] || !brightened(x, y)) continue;
            seen[y * plain.width + x] = true;
            std::vector<std::pair<int, int>> open = {{x, y}};
            int size = 0;
            while (!open.empty()) {
                const auto [px, py] = open.back();
                open.pop_back();
                ++size;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = px + dx, ny = py + dy;
                        if (!brightened(nx, ny) || seen[ny * plain.width + nx]) continue;
                        seen[ny * plain.width + nx] = true;
                        open.push_back({nx, ny});
                    }
                }
            }
            largest = std::max(largest, size);
        }
    }
    return largest;
}

// The window rectangle (origin lower left) where the stage's texture
// coordinates put the two text lines of the score texture: rows 215..251,
// eleven characters of 16 pixels from s = 0.
struct TextArea {
    int left, bottom, right, top;
};
TextArea scoreTextArea(const Model& stage) {
    const Face& floor = stage.faces[0];
    TextArea area = {1024, 768, 0, 0};
    for (double s : {0.0, 11 / 16.0}) {
        for (double t : {215 / 256.0, 251 / 256.0}) {
            const Vector3 p = pointAtTexCoord(stage, floor, s, t);
            const ScreenPoint at = projectToWindow(p.x, p.y, p.z);
            area.left = std::min(area.left, static_cast<int>(at.x));
            area.right = std::max(area.right, static_cast<int>(at.x) + 1);
            area.bottom = std::min(area.bottom, static_cast<int>(at.y));
            area.top = std::max(area.top, static_cast<int>(at.y) + 1);
        }
    }
    return area;
}

// The picture's pixels inside the area, row by row.
std::vector<std::uint8_t> pixelsIn(const Picture& picture, const TextArea& area) {
    std::vector<std::uint8_t> pixels;
    for (int y = std::max(area.bottom, 0); y < std::min(area.top, picture.height); ++y) {
        for (int x = std::max(area.left, 0); x < std::min(area.right, picture.width); ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * picture.width + x) * 4;
            pixels.insert(pixels.end(), picture.rgba.begin() + at, picture.rgba.begin() + at + 3);
        }
    }
    return pixels;
}

// The two lines of the score texture, read off it through the game's own
// font picture: each 16 x 16 cell is taken for the printable character of set
// 0 whose ink best covers the dark pixels there, and trailing blanks are dropped.
struct ScoreLines {
    std::string score, best;
    bool operator==(const ScoreLines&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const ScoreLines& lines) {
        return out << '"' << lines.score << "\" / \"" << lines.best << '"';
    }
};

Image fontPicture() {
    Image font;
    EXPECT_TRUE(readTgaFile("Texture/Font.tga", font));
    return font;
}

// Ink where the glyph's alpha is above half; x and y count from the cell's
// lower-left corner. Grid row 0 is the picture's top, and the reader keeps
// the rows bottom first.
bool glyphInk(const Image& font, char c, int x, int y) {
    const int cell = c - 32;
    const int left = cell % 16 * 16, bottom = font.height - 16 * (cell / 16 + 1);
    const std::size_t at = (static_cast<std::size_t>(bottom + y) * font.width + left + x) * font.channels;
    return font.pixels[at + 3] > 127;
}

std::string readLine(const Picture& texture, const Image& font, int bottom) {
    std::string line;
    for (int left = 0; left + 16 <= texture.width; left += 16) {
        // The one character with the fewest wrong pixels, if it has at most
        // 12: a few pixels of a glyph's smoothed edge may go either way.
        char read = '?';
        int fewestWrong = 13;
        for (char c = ' '; c <= '~'; ++c) {
            int wrong = 0;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    const std::uint8_t* p = texture.at(left + x, bottom + y);
                    wrong += glyphInk(font, c, x, y) != (p[0] + p[1] + p[2] < 3 * 80);
                }
            }
            if (wrong < fewestWrong) {
                fewestWrong = wrong, read = c;
            } else if (wrong == fewestWrong) {
                read = '?';
            }
        }
        line += read;
    }
    return line.substr(0, line.find_last_not_of(' ') + 1);
}

// The score line's glyphs sit at rows 235..250, the best line's at 215..230.
ScoreLines scoreLinesWritten(GLuint scoreTexture, const Image& font) {
    const Picture texture = readTexture(scoreTexture);
    return {readLine(texture, font, 235), readLine(texture, font, 215)};
}

TEST_F(GameFrames, TheStageShowsTheScoreAndBestAsTheyStoodBeforeTheFrame) {
    const Image font = fontPicture();
    const TextArea area = scoreTextArea(*game.models[stageModelEntry]);
    ASSERT_GT(area.right - area.left, 300);
    ASSERT_GT(area.top - area.bottom, 60);
    const FrameInput front = at(512, 596);  // a tube near the front, far from the text
    // The start-up lightning runs out (the flags call the board idle before
    // the first frame).
    do {
        frame(front);
    } while (!idle());
    EXPECT_EQ(scoreLinesWritten(game.scoreTexture, font), (ScoreLines{"Score 0", "Best 0"}));

    // Each frame writes the score and best that stood before it, each on
    // its own line, and the stage shows them.
    game.state.score = 360, game.state.best = 3;
    const std::vector<std::uint8_t> scored = pixelsIn(frame(front), area);
    EXPECT_EQ(scoreLinesWritten(game.scoreTexture, font), (ScoreLines{"Score 360", "Best 3"}));
    game.state.score = 0, game.state.best = 360;
    const std::vector<std::uint8_t> banked = pixelsIn(frame(front), area);
    EXPECT_EQ(scoreLinesWritten(game.scoreTexture, font), (ScoreLines{"Score 0", "Best 360"}));
    ASSERT_EQ(scored.size(), banked.size());
    int differing = 0;
    for (std::size_t i = 0; i < scored.size(); ++i) differing += scored[i] != banked[i];
    ASSERT_GT(differing, 1000) << "the two score lines look the same on the stage";

    // A frame whose click banks 360 into best still shows the score it met;
    // the next frame shows the banked one.
    game.state.score = 360, game.state.best = 3;
    const Picture clicked = frame(at(front.mouseX, front.mouseY, true));
    ASSERT_NE(game.state.clickedTube, 0) << "the pointer should be on a tube";
    ASSERT_EQ(game.state.score, 0);
    ASSERT_EQ(game.state.best, 360);
    EXPECT_EQ(scoreLinesWritten(game.scoreTexture, font), (ScoreLines{"Score 360", "Best 3"}));
    EXPECT_TRUE(pixelsIn(clicked, area) == scored);
    EXPECT_TRUE(pixelsIn(frame(front), area) == banked);
    EXPECT_EQ(scoreLinesWritten(game.scoreTexture, font), (ScoreLines{"Score 0", "Best 360"}));
}

TEST_F(GameFrames, AScoreTextureKeptFromAnEarlierFrameShowsAsIfDrawnAnew) {
    const TextArea area = scoreTextArea(*game.models[stageModelEntry]);
    const FrameInput front = at(512, 596);
    do {
        frame(front);
    } while (!idle());
    // "Score 0" as the first frame drew it, with blending still off.
    const Picture kept = frame(front);
    game.state.score = 5;  // drawn anew, then back to 0, with blending on
    frame(front);
    game.state.score = 0;
    const Picture redrawn = frame(front);
    frame(at(100, 100));  // the cursor elsewhere, which the next frame must clear away
    const Picture reused = frame(front);
    EXPECT_EQ(differingPixels(redrawn, kept), 0);
    EXPECT_EQ(differingPixels(reused, kept), 0);

    // A shuffle leaves the score as it was, on the stage too.
    frame(FrameInput{.mouseX = front.mouseX, .mouseY = front.mouseY, .rightButton = true});
    ASSERT_FALSE(idle());
    EXPECT_TRUE(pixelsIn(frame(front), area) == pixelsIn(kept, area));
}

TEST_F(GameFrames, EveryFramePlacesTheLightInTheScene) {
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "start-up only compiles lists: the first frame meets blending off";
    // GL keeps the position in eye coordinates: a light given again after
    // the camera in each frame stands where the camera sees (8, 12, 8), even
    // when something moved it in between.
    const EyePoint expected = eyeCoordinates(8, 12, 8);
    for (int n = 0; n < 2; ++n) {
        frame(at(1, 1));
        float position[4];
        glGetLightfv(GL_LIGHT0, GL_POSITION, position);
        EXPECT_NEAR(position[0], expected.x, 1e-4) << "frame " << n;
        EXPECT_NEAR(position[1], expected.y, 1e-4) << "frame " << n;
        EXPECT_NEAR(position[2], expected.z, 1e-4) << "frame " << n;
        EXPECT_EQ(position[3], 1.0f);
        const float elsewhere[4] = {0, 0, 0, 1};
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glLightfv(GL_LIGHT0, GL_POSITION, elsewhere);
        glPopMatrix();
    }
}

TEST_F(GameFrames, FramesRaiseNoGlErrorAndLeaveTheMatrixStacksAsTheyFoundThem) {
    while (glGetError() != GL_NO_ERROR) {
    }
    // The start-up flash (every tube's lightning), a hovered tube, a click
    // whose tube turns with its lightning, and the frames after it.
    frame(at(512, 596));
    while (!idle()) frame(at(512, 596));
    frame(at(512, 596));
    ASSERT_NE(game.state.hoveredTube, 0);
    frame(at(512, 596, true));
    for (int n = 0; n < 5; ++n) {
        frame(at(512, 596));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "frame " << n;
    }
    EXPECT_EQ(glInteger(GL_MODELVIEW_STACK_DEPTH), 1);
    EXPECT_EQ(glInteger(GL_PROJECTION_STACK_DEPTH), 1);
    EXPECT_EQ(glInteger(GL_TEXTURE_STACK_DEPTH), 1);
    EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);
}

// Walks through a game: the start-up flash, an idle board under the pointer,
// clicks until one sets off a chain, and the score and best it leaves.
TEST_F(GameFrames, FromTheStartUpFlashToAChainAndItsScore) {
    const FrameInput centre = at(512, 384);
    const Picture startUp = frame(centre);
    EXPECT_EQ(tubesWithLightning(), tubeCount) << "every tube flashes at start-up";
    keepPicture(startUp, "start-up");
    // The first frame that finds the board idle draws no lightning and
    // picks no tube: the start-up frame's tubes without their lightning.
    Picture idleBoard;
    int frames = 1;
    while (!idle() && frames < 100) idleBoard = frame(centre), ++frames;
    ASSERT_TRUE(idle());
    // Every tube flashing reads deep blue with bright arcs through it, not a
    // pale wash over the copper, nor a white glare.
    const LitColours colours = litColours(startUp, idleBoard);
    EXPECT_GT(colours.lit, 100000) << colours;
    EXPECT_GT(colours.deepBlue, colours.lit / 3) << colours;
    EXPECT_GT(colours.arcs, 1000) << colours;
    EXPECT_LT(colours.arcs, colours.lit / 10) << colours;
    EXPECT_GT(colours.copperWhenIdle, colours.lit / 5) << colours;
    EXPECT_EQ(colours.deepBlueWhenIdle, 0) << colours;

    // The pointer on a tube to the right, then on the open end of a big
    // tube near the front: each is outlined in unbroken white lines.
    Picture hovered;
    for (const FrameInput& pointer : {at(800, 500), at(512, 596)}) {
        hovered = frame(pointer);
        const int tube = game.state.hoveredTube;
        ASSERT_NE(tube, 0);
        EXPECT_GT(largestOutlinePiece(hovered, frameWithoutPicking(pointer)), 300)
            << "the outline of tube " << tube << " sinks into it";
    }
    keepPicture(hovered, "idle-outline");

    // A click on the start-up board's upper left sets off a long chain.
    // Unless pictures are asked for, the test stops a few activations in.
    const bool pictures = std::getenv("TUBECHAIN_SCREENSHOTS") != nullptr;
    Picture busiest;
    int mostLit = 0;
    clickAndRun(at(200, 250), pictures ? 100000 : 150, &busiest, &mostLit);
    EXPECT_GE(game.state.score, 6);
    EXPECT_GE(mostLit, 4);
    EXPECT_GT(differingPixels(busiest, hovered), 2000);
    keepPicture(busiest, "chain");
    if (!pictures) return;

    // One more click banks the chain's score as best; once its turn and
    // chain have run out, the stage shows both.
    ASSERT_TRUE(idle());
    const int chainScore = game.state.score;
    for (int attempt = 0; attempt < 20 && game.state.best != chainScore; ++attempt) {
        clickAndRun(at(300 + (attempt * 89) % 400, 300 + (attempt * 53) % 300), 100000);
    }
    ASSERT_EQ(game.state.best, chainScore);
    frame(at(880, 700));
    keepPicture(frame(at(880, 700)), "score");
}

}  // namespace
