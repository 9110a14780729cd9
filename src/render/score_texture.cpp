#include "render/score_texture.h"

#include <GL/gl.h>

#include <cstdio>
#include <vector>

#include "render/font.h"

namespace {

// One unit a frame pixel, from the frame's lower-left corner, unlit; the
// projection is saved, and given back by leaveFramePixels with the light.
void enterFramePixels(const ViewSettings& view) {
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, view.width, 0, view.height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void leaveFramePixels() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_LIGHTING);
}

}  // namespace

std::uint32_t createScoreTexture() {
    GLuint scoreTexture = 0;
    glGenTextures(1, &scoreTexture);
    glBindTexture(GL_TEXTURE_2D, scoreTexture);
    {
        const std::vector<std::uint8_t> zeros(scoreTextureSize * scoreTextureSize * 4, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, 4, scoreTextureSize, scoreTextureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     zeros.data());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return scoreTexture;
}

void renderScoreTexture(std::int32_t score, std::int32_t best, std::uint32_t scoreTexture, std::uint32_t fontListBase,
                        const TextureSlots& textureSlots, const ViewSettings& view) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glViewport(0, 0, scoreTextureSize, scoreTextureSize);
    glDisable(GL_DEPTH_TEST);

    // One unit is one pixel of the lower-left corner of the back buffer.
    pushTextSpace();

    // Blending is left as the previous frame's cursor left it (off in the
    // very first frame), so the background's alpha reaches the texture.
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureSlots[backgroundTexture]);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex3f(0, 256, 0);
    glTexCoord2f(0, 0);
    glVertex3f(0, 0, 0);
    glTexCoord2f(1, 0);
    glVertex3f(256, 0, 0);
    glTexCoord2f(1, 1);
    glVertex3f(256, 256, 0);
    glEnd();

    glColor4f(0, 0, 0, 1);
    // Written with snprintf: joining std::strings here made GCC 14 call a
    // libstdc++ function that Debian 12's does not have, so a package built
    // on Debian 13 would not install there.
    char line[32];
    std::snprintf(line, sizeof line, "Score %d", static_cast<int>(score));
    printText(0, 235, line, fontListBase, textureSlots);
    std::snprintf(line, sizeof line, "Best %d", static_cast<int>(best));
    printText(0, 215, line, fontListBase, textureSlots);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scoreTexture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, scoreTextureSize, scoreTextureSize, 0);

    popTextSpace();

    // Nothing of this pass is ever shown.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glViewport(0, 0, view.width, view.height);
    glEnable(GL_DEPTH_TEST);
}

bool updateScoreTexture(ScoreText& shown, std::int32_t score, std::int32_t best, std::uint32_t scoreTexture,
                        std::uint32_t fontListBase, const TextureSlots& textureSlots, const ViewSettings& view) {
    // The background picture is opaque, so the texture comes out the same
    // whether the first frame draws it with blending off or a later one with
    // blending on.
    if (!shown.drawn || shown.score != score || shown.best != best) {
        renderScoreTexture(score, best, scoreTexture, fontListBase, textureSlots, view);
        shown = {true, score, best};
        return true;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glViewport(0, 0, view.width, view.height);
    // What the text, the copy and the restored matrices leave for the scene.
    glPolygonMode(GL_FRONT, GL_FILL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scoreTexture);
    glColor4f(0, 0, 0, 1);
    glListBase(fontListBase);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    return false;
}

void deleteScoreTexture(std::uint32_t scoreTexture) {
    const GLuint name = scoreTexture;
    glDeleteTextures(1, &name);
}

void drawCursor(std::int32_t mouseX, std::int32_t mouseY, const TextureSlots& textureSlots, const ViewSettings& view) {
    enterFramePixels(view);

    // Half the side of the square in pixels: about 7.5 at the top row, 22.5
    // at the bottom. mouseY is taken as read, before the frame clamps it.
    const float cursorScale =
        static_cast<float>(15.0 * (mouseY + view.height / 2.0) / static_cast<double>(view.height));
    // The square's upper-left corner, the image's hot spot, on the pointer;
    // window pixels count y down, GL counts it up.
    glTranslatef(static_cast<float>(mouseX) + cursorScale, static_cast<float>(view.height - mouseY) - cursorScale, 0);
    glScalef(cursorScale, cursorScale, cursorScale);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureSlots[cursorTexture]);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_QUADS);
    glColor3f(1, 1, 1);
    glTexCoord2f(0, 1);
    glVertex3f(-1, 1, 0);
    glTexCoord2f(0, 0);
    glVertex3f(-1, -1, 0);
    glTexCoord2f(1, 0);
    glVertex3f(1, -1, 0);
    glTexCoord2f(1, 1);
    glVertex3f(1, 1, 0);
    glEnd();
    leaveFramePixels();
}

void drawMuteSign(const ViewSettings& view) {
    // A lit tube drawn last leaves the lightning's blending on: the sign is
    // drawn opaque all the same, and the blending handed on as it was.
    const bool blending = glIsEnabled(GL_BLEND);
    enterFramePixels(view);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    // Corners in frame pixels left of and below the frame's top-right corner.
    const auto corner = [&](float left, float down) {
        glVertex3f(static_cast<float>(view.width) - left, static_cast<float>(view.height) - down, 0);
    };
    glBegin(GL_QUADS);
    glColor4f(0.6f, 0.6f, 0.6f, 1);
    // The loudspeaker: its box, then its cone opening towards the cross.
    corner(40, 23), corner(40, 33), corner(33, 33), corner(33, 23);
    corner(33, 23), corner(33, 33), corner(24, 38), corner(24, 18);
    // The cross, two bars 2.5 pixels thick.
    corner(20, 21.2f), corner(21.8f, 23), corner(11.8f, 33), corner(10, 31.2f);
    corner(11.8f, 23), corner(10, 24.8f), corner(20, 34.8f), corner(21.8f, 33);
    glEnd();
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    if (blending) glEnable(GL_BLEND);
    leaveFramePixels();
}
