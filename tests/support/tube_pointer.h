// Pointing at a tube: a point on its upper surface near the middle of its
// bend, and where a point of a tube lands on the window under the scene's camera.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <stdexcept>

#include "assets/model.h"
#include "game/board.h"
#include "game/rules.h"
#include "render/window.h"

// The centre of the upward face nearest to the mean of the vertices (in x and z), in the tube's own frame.
inline Vector3 tubeSurfacePoint(const Model& model) {
    double meanX = 0, meanZ = 0;
    for (int v = 0; v < model.vertexCount; ++v) {
        meanX += model.positions[v].x / model.vertexCount;
        meanZ += model.positions[v].z / model.vertexCount;
    }
    Vector3 surface;
    double nearest = 1e9;
    for (int f = 0; f < model.faceCount; ++f) {
        const Face& face = model.faces[f];
        const double distance = std::hypot(face.centre.x - meanX, face.centre.z - meanZ);
        if (face.normal.y >= 0.8f && distance < nearest) {
            nearest = distance;
            surface = face.centre;
        }
    }
    return surface;
}

// The scene's projection and view, as the frame sets them; the modelview is current after.
inline void loadSceneMatrices(const ViewSettings& view) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(view.fov, view.aspect, view.nearPlane, view.farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.eye[0], camera.eye[1], camera.eye[2], camera.centre[0], camera.centre[1], camera.centre[2],
              camera.up[0], camera.up[1], camera.up[2]);
}

inline void applyTubeTransform(const Tube& tube) {
    glTranslatef(tube.position[0], tube.position[1], tube.position[2]);
    glRotatef(static_cast<float>(tube.angleX), 1, 0, 0);
    glRotatef(static_cast<float>(tube.angleY), 0, 1, 0);
    glRotatef(static_cast<float>(tube.angleZ), 0, 0, 1);
}

struct WindowPoint {
    double x, y, depth;  // GL window coordinates: y up from the bottom edge
};

// Where a point given in a tube's own frame lands on the window (in the current GL context).
inline WindowPoint projectOnTube(const Tube& tube, const Vector3& local, const ViewSettings& view) {
    loadSceneMatrices(view);
    glPushMatrix();
    applyTubeTransform(tube);
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPopMatrix();
    WindowPoint point{};
    gluProject(local.x, local.y, local.z, modelview, projection, viewport, &point.x, &point.y, &point.depth);
    return point;
}

// A tube in the middle of the board whose quarter turn from where it stands
// meets none of its neighbours, so that a click on it sets off no chain.
inline int tubeWithoutChain(const Board& board) {
    for (int i = 6 * boardSide + 4; i <= 11 * boardSide; ++i) {
        const int column = (i - 1) % boardSide + 1;
        if (column < 4 || column > 12) continue;
        Tube turned = board[i];
        turned.angleY = (turned.angleY + 90) % 360;
        bool meets = false;
        for (int j : {i - 1, i + 1, i - boardSide, i + boardSide}) meets = meets || tubesConnect(turned, board[j]);
        if (!meets) return i;
    }
    throw std::runtime_error("no tube without a chain");
}
