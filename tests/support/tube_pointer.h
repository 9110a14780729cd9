// Pointing at a tube: where a point of a tube lands on the window under the
// scene's camera (the point the game's keys aim at: tubeAimPoint).
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "assets/model.h"
#include "game/board.h"
#include "game/rules.h"
#include "game/steering.h"
#include "render/window.h"

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

// Two clicks on the start-up board planned with the rules alone, for a test
// that plays them on the real game: one on a tube in the middle whose chain
// scores a few, then, once the board is idle, one that banks that score and
// turns a tube that meets none of its neighbours, one the chain left where
// it stood (so that it is pointed at as on the start-up board).
struct ChainPlan {
    int chainTube = 0, chainScore = 0;
    int quietTube = 0;
};
inline ChainPlan planChainAndQuietClick(int leastScore, int mostScore) {
    const auto play = [](const std::vector<int>& clicks, GameState& state) {
        resetRandomUnit();
        createBoard(state.board);
        shuffleBoard(state.board);
        const auto untilIdle = [&] {
            for (int frame = 0; frame < 5000 && (frame == 0 || !pickingAllowed(state)); ++frame)
                runRules(state, false, false);
        };
        untilIdle();
        for (const int tube : clicks) {
            state.hoveredTube = tube;
            runRules(state, true, false);
            state.hoveredTube = 0;
            untilIdle();
        }
        return pickingAllowed(state);
    };
    ChainPlan plan;
    GameState start, chained;
    play({}, start);
    for (int tube = 4 * boardSide + 4; tube <= 11 * boardSide && plan.quietTube == 0; ++tube) {
        const int column = (tube - 1) % boardSide + 1;
        GameState state;
        if (column < 4 || column > 12 || !play({tube}, state) || state.score < leastScore || state.score > mostScore)
            continue;
        plan = {tube, state.score, 0};
        for (int quiet = tube; quiet <= tubeCount && plan.quietTube == 0; quiet += boardSide + 1) {
            GameState banked;
            if (state.board[quiet].angleY == start.board[quiet].angleY && play({tube, quiet}, banked) &&
                banked.score == 0 && banked.best == plan.chainScore)
                plan.quietTube = quiet;
        }
    }
    return plan;
}
