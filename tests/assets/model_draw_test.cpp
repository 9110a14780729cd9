// Model drawing in the game's real GL context: feedback mode shows which
// vertices reached GL, in which order, with which colour and texture coordinate.
#include "assets/model_draw.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/model.h"
#include "render/render_test_support.h"
#include "support/loaded_model.h"
#include "support/test_support.h"

namespace {

LoadedModel loadText(const std::string& text, std::uint32_t textureSlotBase) {
    return loadModelText(text, textureSlotBase);
}

// Faces numbered from 1, each with its own corners and texture coordinates,
// grouped under the given material lines.
std::string modelText(const std::vector<std::pair<std::string, int>>& materials) {
    int faces = 0;
    for (const auto& material : materials) faces += material.second;
    std::string text = "# Vertices: 6\n# Faces: " + std::to_string(faces) +
                       "\n# Materials: " + std::to_string(materials.size()) + "\n";
    text += "v -0.5 -0.5 0\nv 0.5 -0.5 0.25\nv 0.5 0.5 -0.25\nv -0.5 0.5 0\nv 0 0.75 0.5\nv 0.75 0 -0.5\n";
    int face = 0;
    for (const auto& [line, count] : materials) {
        text += line + "\n";
        for (int k = 0; k < count; ++k, ++face) {
            for (int corner = 3; corner >= 1; --corner)
                text += "vt " + std::to_string(face + corner * 0.125) + " " + std::to_string(-face * 0.5) + "\n";
            text += "f " + std::to_string(face % 6 + 1) + " " + std::to_string((face + 2) % 6 + 1) + " " +
                    std::to_string((face + 3) % 6 + 1) + "\n";
        }
    }
    return text;
}

// What the drawing sends, polygon corner by corner, in order: the
// projection, view and texture matrices are identities, culling and
// lighting are off, so every triangle comes through unclipped.
template <typename Draw>
std::vector<FeedbackVertex> feedback(Draw draw) {
    sharedWindow();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    for (GLenum mode : {GL_PROJECTION, GL_MODELVIEW, GL_TEXTURE}) {
        glMatrixMode(mode);
        glPushMatrix();
        glLoadIdentity();
    }
    int otherTokens = 0;
    const std::vector<FeedbackPolygon> polygons = feedbackPolygons(draw, &otherTokens);
    for (GLenum mode : {GL_TEXTURE, GL_MODELVIEW, GL_PROJECTION}) {
        glMatrixMode(mode);
        glPopMatrix();
    }
    glPopAttrib();
    EXPECT_EQ(otherTokens, 0) << "something besides triangles, or an overflow";
    std::vector<FeedbackVertex> vertices;
    for (const FeedbackPolygon& polygon : polygons) {
        EXPECT_EQ(polygon.size(), 3u);
        vertices.insert(vertices.end(), polygon.begin(), polygon.end());
    }
    return vertices;
}

// The vertices the model should send, face by face and corner by corner.
void expectModelVertices(const Model& model, const std::vector<FeedbackVertex>& sent) {
    ASSERT_EQ(static_cast<int>(sent.size()), model.faceCount * 3);
    for (int f = 0; f < model.faceCount; ++f)
        for (int corner = 0; corner < 3; ++corner) {
            const FeedbackVertex& vertex = sent[f * 3 + corner];
            const Vector3& p = model.positions[model.faces[f].vertexIndex[corner]];
            EXPECT_NEAR(vertex.x, (p.x + 1) * 512, 1e-2) << f << "/" << corner;
            EXPECT_NEAR(vertex.y, (p.y + 1) * 384, 1e-2) << f << "/" << corner;
            EXPECT_NEAR(vertex.z, (p.z + 1) / 2, 1e-4) << f << "/" << corner;
            EXPECT_FLOAT_EQ(vertex.texCoord[0], model.faces[f].texCoord[corner][0]) << f << "/" << corner;
            EXPECT_FLOAT_EQ(vertex.texCoord[1], model.faces[f].texCoord[corner][1]) << f << "/" << corner;
        }
}

TextureSlots someTextureSlots() {
    sharedWindow();
    TextureSlots slots = {};
    glGenTextures(textureSlotCount, &slots[1]);
    for (int slot = 1; slot <= textureSlotCount; ++slot) glBindTexture(GL_TEXTURE_2D, slots[slot]);
    glBindTexture(GL_TEXTURE_2D, 0);
    for (int slot = 1; slot <= textureSlotCount; ++slot) EXPECT_TRUE(glIsTexture(slots[slot]));
    return slots;
}

TEST(ModelDraw, BothRoutinesSendTheSameFifteenVerticesWithTheirTextureCoordinates) {
    const LoadedModel model = loadText(modelText({{"usemtl 0 body", 2}, {"usemtl 1 rims", 3}}), 2);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->faceCount, 5);
    const TextureSlots slots = someTextureSlots();
    // Each material its own colour, so that the batches can be told apart.
    const float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1};
    std::copy(red, red + 4, model->materials[0].colour);
    std::copy(green, green + 4, model->materials[1].colour);

    const std::vector<FeedbackVertex> withMaterials = feedback([&] { drawModel(*model, slots); });
    const std::vector<FeedbackVertex> geometry = feedback([&] {
        glColor4f(0, 0, 1, 1);
        drawModelGeometry(*model);
    });
    expectModelVertices(*model, withMaterials);
    expectModelVertices(*model, geometry);
    ASSERT_EQ(withMaterials.size(), 15u);
    for (int v = 0; v < 15; ++v) {
        const float* expected = v < 6 ? red : green;
        for (int channel = 0; channel < 4; ++channel) {
            EXPECT_FLOAT_EQ(withMaterials[v].colour[channel], expected[channel]) << v;
            EXPECT_FLOAT_EQ(geometry[v].colour[channel], channel == 2 || channel == 3 ? 1.0f : 0.0f) << v;
        }
    }

    // Recorded in a display list, drawModel sends the same.
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    drawModel(*model, slots);
    glEndList();
    const std::vector<FeedbackVertex> replayed = feedback([&] { glCallList(list); });
    glDeleteLists(list, 1);
    expectModelVertices(*model, replayed);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glDeleteTextures(textureSlotCount, &slots[1]);
}

TEST(ModelDraw, AMaterialWithNoFacesSendsNothingButItsState) {
    const LoadedModel model = loadText(
        modelText({{"usemtl 0 body", 2}, {"usemtl 1 none", 0}, {"usemtl 2 rest", 3}, {"usemtl 3 last", 0}}), 2);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->materials[1].lastFace, model->materials[1].firstFace - 1);
    const TextureSlots slots = someTextureSlots();
    Material& last = model->materials[3];
    const float lastColour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    std::copy(lastColour, lastColour + 4, last.colour);
    last.specular[0] = 0.125f;
    last.shininess = 7.0f;

    sharedWindow();
    while (glGetError() != GL_NO_ERROR) {
    }
    const std::vector<FeedbackVertex> sent = feedback([&] { drawModel(*model, slots); });
    expectModelVertices(*model, sent);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The empty last material still set its colour, material values and
    // texture (slot 2 + 3 = 5).
    drawModel(*model, slots);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GLfloat colour[4], specular[4], shininess = 0;
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    for (int channel = 0; channel < 4; ++channel) EXPECT_FLOAT_EQ(colour[channel], lastColour[channel]);
    EXPECT_FLOAT_EQ(specular[0], 0.125f);
    EXPECT_FLOAT_EQ(specular[1], 0.5f);
    EXPECT_FLOAT_EQ(shininess, 7.0f);
    EXPECT_EQ(static_cast<GLuint>(glInteger(GL_TEXTURE_BINDING_2D)), slots[5]);
    glDeleteTextures(textureSlotCount, &slots[1]);
}

TEST(ModelDraw, EachMaterialBindsItsSlotsTextureAndASlotWithoutOneBindsNone) {
    const LoadedModel model = loadText(modelText({{"usemtl 0 body", 2}, {"usemtl 1 rims", 3}}), 2);
    ASSERT_TRUE(model);
    const TextureSlots slots = someTextureSlots();
    sharedWindow();
    drawModel(*model, slots);
    EXPECT_EQ(static_cast<GLuint>(glInteger(GL_TEXTURE_BINDING_2D)), slots[3]);

    // A slot that holds no texture binds none: slot 0 (2 - 3, clamped), and
    // slot 7 (6 + 1).
    const std::pair<const char*, std::uint32_t> outsideSlots[] = {{"usemtl -3 rims", 2}, {"usemtl 1 rims", 6}};
    for (const auto& [line, base] : outsideSlots) {
        const LoadedModel outside = loadText(modelText({{"usemtl 0 body", 2}, {line, 3}}), base);
        ASSERT_TRUE(outside);
        EXPECT_TRUE(outside->materials[1].textureSlot == 0 || outside->materials[1].textureSlot == 7);
        glBindTexture(GL_TEXTURE_2D, slots[1]);
        drawModel(*outside, slots);
        EXPECT_EQ(glInteger(GL_TEXTURE_BINDING_2D), 0) << "slot " << outside->materials[1].textureSlot;
    }
    glDeleteTextures(textureSlotCount, &slots[1]);
}

}  // namespace
