#include "game/picking.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <vector>

namespace {

// With one name on the stack while a tube is drawn, each hit record is four
// words: name count, minimum depth, maximum depth, tube index.
constexpr int hitRecordWords = 4;

// The corners of the tube model's triangles, material by material, in the
// order in which drawModelGeometry sends them.
std::vector<GLuint> triangleCorners(const Model& model) {
    std::vector<GLuint> corners;
    for (std::int32_t m = 0; m < model.materialCount; ++m) {
        for (std::int32_t f = model.materials[m].firstFace; f <= model.materials[m].lastFace; ++f) {
            for (int corner = 0; corner < 3; ++corner) {
                corners.push_back(static_cast<GLuint>(model.faces[f].vertexIndex[corner]));
            }
        }
    }
    return corners;
}

}  // namespace

std::int32_t pickTube(std::int32_t mouseX, std::int32_t mouseY, const Board& board, const Model& tubeModel,
                      const ViewSettings& view, const Camera& camera) {
    // Room for a record for every tube, plus one spare word.
    const int bufferWords = hitRecordWords * tubeCount;
    std::vector<GLuint> buffer(bufferWords + 1, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);

    glSelectBuffer(bufferWords, buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);

    // The pick region is one pixel, centred on the pointer; GL counts window
    // rows from the bottom, so its centre is at height - mouseY.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPickMatrix(mouseX, view.height - mouseY, 1.0, 1.0, viewport);
    gluPerspective(view.fov, view.aspect, view.nearPlane, view.farPlane);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.eye[0], camera.eye[1], camera.eye[2], camera.centre[0], camera.centre[1], camera.centre[2],
              camera.up[0], camera.up[1], camera.up[2]);

    // The same triangles as drawModelGeometry, sent as one indexed array:
    // Mesa's selection mode keeps memory for every vertex given between
    // glBegin and glEnd and never frees it (2.6 MB per pick of the board),
    // while arrays cost nothing. Only positions count for a hit.
    const std::vector<GLuint> corners = triangleCorners(tubeModel);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vector3), tubeModel.positions);

    // Each tube under its own name, with the transform the tube pass draws it with.
    for (int i = 1; i <= tubeCount; ++i) {
        const Tube& tube = board[i];
        glLoadName(i);
        glPushMatrix();
        glTranslatef(tube.position[0], tube.position[1], tube.position[2]);
        glRotatef(static_cast<float>(tube.angleX), 1, 0, 0);
        glRotatef(static_cast<float>(tube.angleY), 0, 1, 0);
        glRotatef(static_cast<float>(tube.angleZ), 0, 0, 1);
        if (!corners.empty())
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(corners.size()), GL_UNSIGNED_INT, corners.data());
        glPopMatrix();
    }
    glPopClientAttrib();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const GLint hits = glRenderMode(GL_RENDER);

    // The nearest hit by minimum depth, compared unsigned; on a tie the
    // earliest record, that is the lowest index, stays.
    std::int32_t picked = 0;
    if (hits > 0) {
        // GL never reports more records than fit; the bound only guards the reads.
        const int records = hits < tubeCount ? hits : tubeCount;
        int best = 0;
        for (int k = 1; k < records; ++k) {
            if (buffer[hitRecordWords * k + 1] < buffer[hitRecordWords * best + 1]) best = k;
        }
        picked = static_cast<std::int32_t>(buffer[hitRecordWords * best + 3]);
    }
    return picked;
}
