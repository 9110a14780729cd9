#include "assets/model_draw.h"

#include <GL/gl.h>

namespace {

// The faces first..last of the model, three calls per corner: texture
// coordinate, the vertex's smoothed normal, its position.
void sendFaces(const Model& model, std::int32_t firstFace, std::int32_t lastFace) {
    for (std::int32_t f = firstFace; f <= lastFace; ++f) {
        const Face& face = model.faces[f];
        for (int corner = 0; corner < 3; ++corner) {
            const std::int32_t vertex = face.vertexIndex[corner];
            glTexCoord2fv(face.texCoord[corner]);
            glNormal3fv(&model.normals[vertex].x);
            glVertex3fv(&model.positions[vertex].x);
        }
    }
}

}  // namespace

void drawModel(const Model& model, const TextureSlots& textureSlots) {
    for (std::int32_t m = 0; m < model.materialCount; ++m) {
        const Material& material = model.materials[m];
        glMaterialfv(GL_FRONT, GL_AMBIENT, material.ambient);
        glMaterialfv(GL_FRONT, GL_DIFFUSE, material.diffuse);
        glMaterialfv(GL_FRONT, GL_SPECULAR, material.specular);
        glMaterialfv(GL_FRONT, GL_EMISSION, material.emission);
        glMaterialfv(GL_FRONT, GL_SHININESS, &material.shininess);
        // With colour material on, this colour replaces the ambient and
        // diffuse values just set, so it comes after them.
        glColor4fv(material.colour);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_TEXTURE_2D);
        // A slot that holds no texture binds none.
        const bool loadedSlot = material.textureSlot >= 1 && material.textureSlot <= textureSlotCount;
        glBindTexture(GL_TEXTURE_2D, loadedSlot ? textureSlots[material.textureSlot] : 0);
        glBegin(GL_TRIANGLES);
        sendFaces(model, material.firstFace, material.lastFace);
        glEnd();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
    }
}

void drawModelGeometry(const Model& model) {
    glBegin(GL_TRIANGLES);
    for (std::int32_t m = 0; m < model.materialCount; ++m)
        sendFaces(model, model.materials[m].firstFace, model.materials[m].lastFace);
    glEnd();
}
