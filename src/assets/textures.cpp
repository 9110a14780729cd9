#include "assets/textures.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "assets/image.h"

namespace {

constexpr const char* slotFiles[textureSlotCount + 1] = {
    nullptr,
    "Texture/Font.tga",
    "Texture/Tube.tga",
    "Texture/Ends.tga",
    "Texture/Background.tga",
    "Texture/Cursor.tga",
    "Texture/Lightning.tga",
};

GLenum pixelFormat(int channels) {
    switch (channels) {
        case 1:
            return GL_LUMINANCE;
        case 2:
            return GL_LUMINANCE_ALPHA;
        case 3:
            return GL_RGB;
        default:
            return GL_RGBA;
    }
}

}  // namespace

void setImageTextureParameters() {
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
}

bool loadTextureImage(const char* path) {
    Image image;
    if (!readTgaFile(path, image)) return false;
    const GLenum format = pixelFormat(image.channels);
    // Rows are packed tight, whatever their width.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLint built = gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(format), image.width, image.height, format,
                                          GL_UNSIGNED_BYTE, image.pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    if (built != 0) return false;
    // Every slot texture filters as the window set-up asks for textures.
    setImageTextureParameters();
    return true;
}

bool loadTextures(TextureSlots& textureSlots) {
    textureSlots[0] = 0;
    glGenTextures(textureSlotCount, &textureSlots[1]);
    for (int slot = 1; slot <= textureSlotCount; ++slot) {
        glBindTexture(GL_TEXTURE_2D, textureSlots[slot]);
        if (!loadTextureImage(slotFiles[slot])) return false;
    }
    return true;
}

void deleteTextures(TextureSlots& textureSlots) {
    glDeleteTextures(textureSlotCount, &textureSlots[1]);
    textureSlots.fill(0);
}
