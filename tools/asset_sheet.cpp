// Draws a contact sheet of the game's data into a PNG file: the six pictures
// over a checkerboard (so their alpha shows), the tube with and without its
// lightning shell close up under the game's light, and a real frame of the
// game, which shows the stage, the board and the score under the game's
// camera. Run from the repository root (the game finds its data there) on a
// display, e.g. under xvfb-run: asset_sheet docs/assets.png
#include <GL/gl.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/frame.h"
#include "assets/image.h"

namespace {

constexpr int sheetWidth = 1024, sheetHeight = 768;

// The sheet: RGB bytes, row 0 at the top.
struct Sheet {
    std::vector<unsigned char> rgb = std::vector<unsigned char>(sheetWidth * sheetHeight * 3, 0);
};

void blend(Sheet& sheet, int x, int y, const double colour[3], double alpha) {
    if (x < 0 || y < 0 || x >= sheetWidth || y >= sheetHeight) return;
    unsigned char* p = &sheet.rgb[(static_cast<size_t>(y) * sheetWidth + x) * 3];
    for (int c = 0; c < 3; ++c) {
        p[c] = static_cast<unsigned char>(std::lround(p[c] * (1 - alpha) + 255 * colour[c] * alpha));
    }
}

// A picture read by the game's own reader (rows bottom first), drawn with
// nearest sampling into a square on the sheet over a checkerboard.
void drawPicture(Sheet& sheet, const ::Image& image, int left, int top, int size) {
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double check = ((x / 10 + y / 10) % 2) ? 0.55 : 0.4;
            const double grey[3] = {check, check, check};
            blend(sheet, left + x, top + y, grey, 1.0);
            const int sx = x * image.width / size;
            const int sy = image.height - 1 - y * image.height / size;
            const std::uint8_t* p =
                &image.pixels[(static_cast<size_t>(sy) * image.width + sx) * static_cast<size_t>(image.channels)];
            const double colour[3] = {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0};
            blend(sheet, left + x, top + y, colour, image.channels == 4 ? p[3] / 255.0 : 1.0);
        }
    }
}

// A label in the game's own font, 12 pixels a character.
void drawLabel(Sheet& sheet, const ::Image& font, const std::string& text, int left, int top) {
    const double white[3] = {0.95, 0.95, 0.95};
    for (size_t i = 0; i < text.size(); ++i) {
        const int glyph = static_cast<unsigned char>(text[i]) - 32;
        if (glyph < 0 || glyph > 127) continue;
        const int cellX = (glyph % 16) * 16, cellTop = (glyph / 16) * 16;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const int row = font.height - 1 - (cellTop + y);
                const double alpha = font.pixels[(static_cast<size_t>(row) * font.width + cellX + x) * 4 + 3] / 255.0;
                if (alpha > 0) blend(sheet, left + static_cast<int>(i) * 12 + x - 2, top + y, white, alpha);
            }
        }
    }
}

// The lower-left width x height pixels of the back buffer, box-filtered down
// to outWidth x outHeight at (left, top) of the sheet.
void copyFrame(Sheet& sheet, int width, int height, int left, int top, int outWidth, int outHeight) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    for (int y = 0; y < outHeight; ++y) {
        for (int x = 0; x < outWidth; ++x) {
            const int x0 = x * width / outWidth, x1 = std::max(x0 + 1, (x + 1) * width / outWidth);
            const int y0 = y * height / outHeight, y1 = std::max(y0 + 1, (y + 1) * height / outHeight);
            double sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    // GL rows run bottom first.
                    const unsigned char* p = &pixels[(static_cast<size_t>(height - 1 - sy) * width + sx) * 3];
                    for (int c = 0; c < 3; ++c) sum[c] += p[c];
                }
            }
            const double n = (x1 - x0) * (y1 - y0);
            const double colour[3] = {sum[0] / n / 255, sum[1] / n / 255, sum[2] / n / 255};
            blend(sheet, left + x, top + y, colour, 1.0);
        }
    }
}

// The tube at the origin seen from the game camera's direction, close up,
// lit by the game's light; with its lightning shell when asked.
void drawCloseUp(const Game& game, bool withLightning) {
    glClearColor(0.12f, 0.12f, 0.14f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glViewport(0, 0, 512, 512);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 0.5, 50.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // The game looks along (0, -17, -15); stand back along it from the elbow's middle.
    const double scale = 1.45 / std::sqrt(17.0 * 17.0 + 15.0 * 15.0);
    gluLookAt(-0.22, 17 * scale, 0.22 + 15 * scale, -0.22, 0, 0.22, 0, 1, 0);
    glLightfv(GL_LIGHT0, GL_POSITION, game.light.position);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glCallList(game.sceneLists.tubeList);
    if (withLightning) {
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glTranslatef(0.0f, 0.3f, 0.0f);
        glCallList(game.sceneLists.lightningList);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_BLEND);
    }
    glClearColor(0, 0, 0, 1);
}

bool writePng(const char* path, const Sheet& sheet) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, sheetWidth, sheetHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < sheetHeight; ++y) {
        png_write_row(png, const_cast<png_bytep>(&sheet.rgb[static_cast<size_t>(y) * sheetWidth * 3]));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: asset_sheet <output.png>\n");
        return 2;
    }
    static Game game;
    if (!startUp(game)) return 1;

    Sheet sheet;
    const double backdrop[3] = {0.12, 0.12, 0.14};
    for (int y = 0; y < sheetHeight; ++y) {
        for (int x = 0; x < sheetWidth; ++x) blend(sheet, x, y, backdrop, 1.0);
    }
    ::Image font;
    if (!readTgaFile("Texture/Font.tga", font) || font.channels != 4) return 1;

    const char* names[6] = {"Font", "Tube", "Ends", "Background", "Cursor", "Lightning"};
    for (int i = 0; i < 6; ++i) {
        ::Image image;
        const std::string path = std::string("Texture/") + names[i] + ".tga";
        if (!readTgaFile(path.c_str(), image)) return 1;
        const int left = 14 + i * 168;
        drawPicture(sheet, image, left, 10, 152);
        drawLabel(sheet, font, names[i], left, 166);
    }

    drawCloseUp(game, false);
    copyFrame(sheet, 512, 512, 14, 200, 250, 250);
    drawLabel(sheet, font, "Tube.OBJ", 14, 454);
    drawCloseUp(game, true);
    copyFrame(sheet, 512, 512, 14, 480, 250, 250);
    drawLabel(sheet, font, "+ Tube2.OBJ", 14, 734);

    // A real frame: after the start-up lightning has run out, a few tubes are
    // set flashing again and the score lines get numbers.
    FramePlay play;
    play.fromWindow = false;
    play.paced = false;
    play.given.mouseX = 600;
    play.given.mouseY = 300;
    for (int frame = 0; frame < 40; ++frame) runFrame(game, play);
    for (int tube : {97, 98, 113, 128, 129}) game.state.board[tube].lightningFrame = 12;
    game.state.score = 42;
    game.state.best = 317;
    runFrame(game, play);  // the score pass shows the previous frame's values
    runFrameStages(game, play, FrameStage::input, FrameStage::swap);
    copyFrame(sheet, 1024, 768, 292, 200, 718, 538);
    drawLabel(sheet, font, "Stage.OBJ and the board in a game frame", 292, 746);

    shutDown(game);
    if (!writePng(argv[1], sheet)) {
        std::fprintf(stderr, "asset_sheet: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
