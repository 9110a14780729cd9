#include "render/font.h"

#include <GL/gl.h>

#include <vector>

void buildFontLists(std::uint32_t fontListBase) {
    for (std::uint32_t glyph = 0; glyph < glyphCount; ++glyph) {
        // Row 0 of the grid is the top of the picture, where t = 1.
        const float s0 = static_cast<float>(glyph % 16) / 16.0f;
        const float d = static_cast<float>(glyph / 16) / 16.0f;
        const float s1 = s0 + 0.0625f;
        const float t0 = 0.9375f - d;
        const float t1 = 1.0f - d;

        glNewList(fontListBase + glyph, GL_COMPILE);
        glBegin(GL_QUADS);
        glTexCoord2f(s0, t0);
        glVertex2i(0, 0);
        glTexCoord2f(s1, t0);
        glVertex2i(16, 0);
        glTexCoord2f(s1, t1);
        glVertex2i(16, 16);
        glTexCoord2f(s0, t1);
        glVertex2i(0, 16);
        glEnd();
        // The pen moves one cell on: the font is monospaced.
        glTranslatef(16, 0, 0);
        glEndList();
    }
}

void pushTextSpace() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 256, 0, 256, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void popTextSpace() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void printText(std::int32_t x, std::int32_t y, std::string_view text, std::uint32_t fontListBase,
               const TextureSlots& textureSlots) {
    std::vector<std::uint8_t> glyphs;
    glyphs.reserve(text.size());
    for (const char c : text) glyphs.push_back(static_cast<std::uint8_t>(static_cast<unsigned char>(c) - 32u));

    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureSlots[fontTexture]);
    glDisable(GL_DEPTH_TEST);

    pushTextSpace();
    glTranslated(x, y, 0);

    glListBase(fontListBase);
    if (!glyphs.empty()) glCallLists(static_cast<GLsizei>(glyphs.size()), GL_UNSIGNED_BYTE, glyphs.data());

    popTextSpace();

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}
