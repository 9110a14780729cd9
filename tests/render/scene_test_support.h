// A small world for the scene tests, made on the spot: box-shaped tubes, a
// square stage under part of the board, and plain-coloured slot textures,
// so that every pixel of a pass can be predicted.
#pragma once

#include <vector>

#include "assets/model.h"
#include "assets/model_draw.h"
#include "render/render_test_support.h"
#include "render/scene.h"

// Adds the quad a b c d as two triangles whose front faces away from inside.
inline void addQuad(std::vector<std::array<Vector3, 3>>& triangles, Vector3 a, Vector3 b, Vector3 c, Vector3 d,
                    Vector3 inside) {
    for (std::array<Vector3, 3> t : {std::array<Vector3, 3>{a, b, c}, std::array<Vector3, 3>{a, c, d}}) {
        const Vector3 n = crossProduct({t[1].x - t[0].x, t[1].y - t[0].y, t[1].z - t[0].z},
                                       {t[2].x - t[0].x, t[2].y - t[0].y, t[2].z - t[0].z});
        const Vector3 out = {t[0].x - inside.x, t[0].y - inside.y, t[0].z - inside.z};
        if (n.x * out.x + n.y * out.y + n.z * out.z < 0) std::swap(t[1], t[2]);
        triangles.push_back(t);
    }
}

// A model of one textured material from loose triangles; texture
// coordinates follow x and z over the given span.
inline Model* modelFromTriangles(const std::vector<std::array<Vector3, 3>>& triangles, int textureSlot, float span) {
    Model* model = new Model;
    model->vertexCount = static_cast<std::int32_t>(triangles.size() * 3);
    model->faceCount = static_cast<std::int32_t>(triangles.size());
    model->materialCount = 1;
    model->positions = new Vector3[model->vertexCount];
    model->normals = new Vector3[model->vertexCount];
    model->faces = new Face[model->faceCount];
    model->materials = new Material[1];
    for (std::int32_t f = 0; f < model->faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            const Vector3 p = triangles[f][k];
            model->positions[3 * f + k] = p;
            model->faces[f].vertexIndex[k] = 3 * f + k;
            model->faces[f].texCoord[k][0] = p.x / span + 0.5f;
            model->faces[f].texCoord[k][1] = -p.z / span + 0.5f;
        }
    }
    Material& m = model->materials[0];
    m.firstFace = 0;
    m.lastFace = model->faceCount - 1;
    m.textureSlot = textureSlot;
    const float colour[4] = {1, 1, 1, 1}, ambient[4] = {0.5f, 0.5f, 0.5f, 0.5f},
                diffuse[4] = {0.75f, 0.75f, 0.75f, 0.75f}, specular[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    for (int k = 0; k < 4; ++k) {
        m.colour[k] = colour[k], m.ambient[k] = ambient[k], m.diffuse[k] = diffuse[k], m.specular[k] = specular[k];
    }
    m.shininess = 50;
    computeFaceGeometry(*model);
    computeFacePlanes(*model);
    return model;
}

// A closed box, x and z within +-half, y from bottom to top.
inline Model* boxModel(float half, float bottom, float top, int textureSlot) {
    std::vector<std::array<Vector3, 3>> t;
    const float h = half;
    const Vector3 inside = {0, (bottom + top) / 2, 0};
    auto v = [&](float x, float y, float z) { return Vector3{x, y, z}; };
    addQuad(t, v(-h, bottom, -h), v(h, bottom, -h), v(h, bottom, h), v(-h, bottom, h), inside);
    addQuad(t, v(-h, top, -h), v(h, top, -h), v(h, top, h), v(-h, top, h), inside);
    addQuad(t, v(-h, bottom, -h), v(h, bottom, -h), v(h, top, -h), v(-h, top, -h), inside);
    addQuad(t, v(-h, bottom, h), v(h, bottom, h), v(h, top, h), v(-h, top, h), inside);
    addQuad(t, v(-h, bottom, -h), v(-h, bottom, h), v(-h, top, h), v(-h, top, -h), inside);
    addQuad(t, v(h, bottom, -h), v(h, bottom, h), v(h, top, h), v(h, top, -h), inside);
    return modelFromTriangles(t, textureSlot, 2 * half);
}

// The floor square x in [x0, x1], z in [z0, z1] at y 0, facing up: face 0
// gives the shadow plane (0, b > 0, 0, 0).
inline Model* stageSquare(float x0, float x1, float z0, float z1, int textureSlot) {
    std::vector<std::array<Vector3, 3>> t;
    addQuad(t, {x0, 0, z0}, {x0, 0, z1}, {x1, 0, z1}, {x1, 0, z0}, {0, -1, 0});
    Model* model = modelFromTriangles(t, textureSlot, 1);
    // The score texture spans the square.
    for (std::int32_t f = 0; f < model->faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            const Vector3 p = model->positions[model->faces[f].vertexIndex[k]];
            model->faces[f].texCoord[k][0] = (p.x - x0) / (x1 - x0);
            model->faces[f].texCoord[k][1] = (p.z - z0) / (z1 - z0);
        }
    }
    return model;
}
