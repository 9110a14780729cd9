#include "render/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "assets/model_draw.h"
#include "render/shadow_matrix.h"

namespace {

// The tube's place on the board and its orientation, onto the modelview.
void placeTube(const Tube& tube) {
    glTranslatef(tube.position[0], tube.position[1], tube.position[2]);
    glRotatef(static_cast<float>(tube.angleX), 1, 0, 0);
    glRotatef(static_cast<float>(tube.angleY), 0, 1, 0);
    glRotatef(static_cast<float>(tube.angleZ), 0, 0, 1);
}

// Every material of the model is opaque white with no picture to bind: its
// slot holds no texture, so it binds texture 0, which never gets an image
// and leaves the stage untextured.
bool isPlainWhite(const Model& model, const TextureSlots& textureSlots) {
    for (std::int32_t m = 0; m < model.materialCount; ++m) {
        const Material& material = model.materials[m];
        const bool loadedSlot = material.textureSlot >= 1 && material.textureSlot <= textureSlotCount;
        if (loadedSlot && textureSlots[material.textureSlot] != 0) return false;
        for (const float channel : material.colour) {
            if (channel != 1.0f) return false;
        }
    }
    return true;
}

}  // namespace

SceneLists buildSceneLists(const Models& models, const TextureSlots& textureSlots) {
    const Model& tubeModel = *models[tubeModelEntry];
    const Model& tube2Model = *models[tube2ModelEntry];
    const GLuint base = glGenLists(4);
    SceneLists lists;
    lists.tubeList = base;
    lists.lightningList = base + 1;
    lists.outlineList = base + 2;
    lists.shadowList = base + 3;

    // Leaves blending and texturing off, the colour of the last material current.
    glNewList(lists.tubeList, GL_COMPILE);
    drawModel(tubeModel, textureSlots);
    glEndList();

    // The lightning shell, glowing through half-grey emission. Leaves
    // blending and texturing on with the lightning image bound.
    const GLfloat glow[4] = {0.5f, 0.5f, 0.5f, 0.0f};
    const GLfloat noGlow[4] = {0, 0, 0, 0};
    glNewList(lists.lightningList, GL_COMPILE);
    glEnable(GL_BLEND);
    // Source colour times itself plus the tube times min(source alpha, 1 -
    // destination alpha): over the opaque tube that is the squared overlay
    // alone, a deep electric blue with the arcs glowing white through it.
    // Plain alpha blending (what an older GL falls back to when it refuses
    // these factors) only tints the copper with faint veins that do not
    // read as a charged tube at the board's size, so we keep these factors.
    glBlendFunc(GL_SRC_COLOR, GL_SRC_ALPHA_SATURATE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureSlots[lightningTexture]);
    glMaterialfv(GL_FRONT, GL_EMISSION, glow);
    glPolygonMode(GL_FRONT, GL_FILL);
    drawModelGeometry(tube2Model);
    glMaterialfv(GL_FRONT, GL_EMISSION, noGlow);
    glEndList();

    // The tube as smoothed white lines. The line offset pulls the edges of
    // faces seen at a slant in front of the tube drawn just before, while
    // faces turned to the viewer fall one depth unit behind it and fail the
    // depth test: mostly the silhouette shows.
    glNewList(lists.outlineList, GL_COMPILE);
    glEnable(GL_POLYGON_OFFSET_LINE);
    glPolygonOffset(-1.0f, 1.0f);
    glPolygonMode(GL_FRONT, GL_LINE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 0.75f);
    drawModelGeometry(tubeModel);
    glDisable(GL_POLYGON_OFFSET_LINE);
    glPolygonMode(GL_FRONT, GL_FILL);
    glDisable(GL_BLEND);
    glEndList();

    // The tube in black at half opacity: it halves the colour under it.
    glNewList(lists.shadowList, GL_COMPILE);
    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.5f);
    drawModelGeometry(tubeModel);
    glDisable(GL_BLEND);
    glEndList();
    return lists;
}

void setUpSceneView(const ViewSettings& view, const Light& light) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(view.fov, view.aspect, view.nearPlane, view.farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.eye[0], camera.eye[1], camera.eye[2], camera.centre[0], camera.centre[1], camera.centre[2],
              camera.up[0], camera.up[1], camera.up[2]);
    // Given after the camera, so the light stands at its world point.
    glLightfv(GL_LIGHT0, GL_POSITION, light.position);
}

void drawStageWithScore(const Model& stageModel, const TextureSlots& textureSlots, std::uint32_t scoreTexture) {
    glDisable(GL_LIGHTING);
    glDepthFunc(GL_LEQUAL);
    // Stencil 1 wherever the stage covers the screen, written by the same
    // fragments that take its colour, whether or not they pass the depth test.
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, ~0u);
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glPushMatrix();
    if (isPlainWhite(stageModel, textureSlots)) {
        // Opaque white is white with blending or without.
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
        drawModelGeometry(stageModel);
    } else {
        // Unlit: the stage shows its material colour times its own texture.
        drawModel(stageModel, textureSlots);
    }
    // The same triangles again at the same depths, with the score laid over
    // them through the stage's own texture coordinates: every fragment lies
    // on the stage, so the stencil test would keep them all, and the depths
    // are those already written.
    glDisable(GL_STENCIL_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scoreTexture);
    drawModelGeometry(stageModel);
    glDepthMask(GL_TRUE);
    glEnable(GL_STENCIL_TEST);
    glPopMatrix();
    // The shadows fall only where the stage is.
    glStencilFunc(GL_EQUAL, 1, ~0u);
}

void drawShadows(const Board& board, const SceneLists& lists, const Model& stageModel, const Light& light) {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    // Only stage pixels that no shadow has darkened yet (stencil 1) take a
    // shadow, and each one it takes goes up to 2.
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);

    // The same light and floor for every tube: built once per frame. A stage
    // without faces has no floor to cast on.
    float shadowMatrix[16];
    const bool hasFloor = stageModel.faceCount > 0;
    if (hasFloor) buildShadowMatrix(shadowMatrix, light.position, stageModel.faces[0].plane);
    for (int i = 1; hasFloor && i <= tubeCount; ++i) {
        glPushMatrix();
        glMultMatrixf(shadowMatrix);
        placeTube(board[i]);
        glCallList(lists.shadowList);
        glPopMatrix();
    }

    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_TEXTURE_2D);
}

void drawTubes(const GameState& state, const SceneLists& lists) {
    for (int i = 1; i <= tubeCount; ++i) {
        const Tube& tube = state.board[i];
        glPushMatrix();
        placeTube(tube);
        glCallList(lists.tubeList);

        if (tube.lightningShown) {
            // The image turns by up to 45 degrees and jumps by up to 0.2
            // along t in every frame while it climbs steadily up the tube.
            glMatrixMode(GL_TEXTURE);
            glLoadIdentity();
            glPushMatrix();
            glRotatef(static_cast<float>(45.0 * tube.lightningJitter[0]), 0, 0, 1);
            glTranslatef(0, static_cast<float>(0.2 * tube.lightningJitter[1] + tube.lightningFrame / 25.0), 0);
            glCallList(lists.lightningList);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
        }

        if (state.hoveredTube == i) {
            glDisable(GL_LIGHTING);
            glCallList(lists.outlineList);
            glEnable(GL_LIGHTING);
        }
        glPopMatrix();
    }
}

void renderScene(const GameState& state, const SceneLists& lists, const Models& models,
                 const TextureSlots& textureSlots, std::uint32_t scoreTexture, const ViewSettings& view,
                 const Light& light) {
    const Model& stageModel = *models[stageModelEntry];
    setUpSceneView(view, light);
    drawStageWithScore(stageModel, textureSlots, scoreTexture);
    // A software renderer starts filling only when its queued work is
    // flushed: the stage, most of a frame's fill, then fills on the
    // renderer's threads while this thread sends the shadows and the tubes.
    glFlush();
    drawShadows(state.board, lists, stageModel, light);
    drawTubes(state, lists);
}

void deleteSceneLists(const SceneLists& lists) { glDeleteLists(lists.tubeList, 4); }
