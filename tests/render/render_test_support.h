// Helpers for the render tests: textures made on the spot, the frame buffer
// read back, and GL's feedback mode parsed into polygons.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <vector>

// An RGBA picture, bottom row first, as GL stores textures and frames.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // width * height * 4 bytes

    const std::uint8_t* at(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
    std::uint8_t* at(int x, int y) { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

inline Picture blankPicture(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    Picture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = picture.at(x, y);
            p[0] = r, p[1] = g, p[2] = b, p[3] = a;
        }
    }
    return picture;
}

// A texture with level 0 only and the given filter for both directions.
inline GLuint makeTexture(const Picture& picture, GLint filter) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, picture.width, picture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 picture.rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    return name;
}

inline Picture readTexture(GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    Picture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    return picture;
}

// The back buffer as the frame left it.
inline Picture readFrame(int width, int height) {
    Picture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    return picture;
}

inline std::vector<std::uint8_t> readStencil(int width, int height) {
    std::vector<std::uint8_t> stencil(static_cast<std::size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil.data());
    return stencil;
}

// One polygon as feedback mode reports it, in window coordinates.
struct FeedbackVertex {
    float x, y, z;
    float colour[4];
    float texCoord[4];
};
using FeedbackPolygon = std::vector<FeedbackVertex>;

// Runs draw in GL_FEEDBACK mode (GL_3D_COLOR_TEXTURE) and returns the
// polygons GL would have rasterised; otherTokens, if given, counts what else
// came (points, lines, pixels, pass-through), or is -1 when the buffer overflowed.
template <typename Draw>
std::vector<FeedbackPolygon> feedbackPolygons(Draw draw, int* otherTokens = nullptr) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    std::vector<FeedbackPolygon> polygons;
    if (otherTokens) *otherTokens = count < 0 ? -1 : 0;
    for (GLint i = 0; i < count;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const GLint corners = static_cast<GLint>(buffer[i++]);
            FeedbackPolygon polygon;
            for (GLint c = 0; c < corners; ++c) {
                FeedbackVertex v;
                v.x = buffer[i], v.y = buffer[i + 1], v.z = buffer[i + 2];
                for (int k = 0; k < 4; ++k) v.colour[k] = buffer[i + 3 + k], v.texCoord[k] = buffer[i + 7 + k];
                i += 11;
                polygon.push_back(v);
            }
            polygons.push_back(polygon);
            continue;
        }
        if (otherTokens) ++*otherTokens;
        if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
            token == GL_COPY_PIXEL_TOKEN) {
            i += 11;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 22;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else {
            break;
        }
    }
    return polygons;
}
