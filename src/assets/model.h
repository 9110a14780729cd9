// Triangle meshes read from the game's restricted OBJ text files, with their
// face centres, normals, planes and smoothed vertex normals derived at load.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A point or a direction in scene units, y up.
struct Vector3 {
    float x = 0, y = 0, z = 0;
};

// One triangle.
struct Face {
    std::int32_t vertexIndex[3] = {0, 0, 0};  // 0-based into positions and normals, corners 1..3
    float texCoord[3][2] = {};                // (u, v) of corners 1..3
    Vector3 normal;                           // unit normal, counter-clockwise corners face the viewer
    Vector3 centre;                           // mean of the three corners, scene units
    float plane[4] = {0, 0, 0, 0};            // a x + b y + c z + d = 0, (a, b, c) not normalised
};

// How one material's run of faces is drawn.
struct Material {
    std::int32_t firstFace = 0;    // index of the material's first face
    std::int32_t lastFace = -1;    // index of its last face, inclusive (firstFace - 1 when it has none)
    std::int32_t textureSlot = 0;  // texture slot bound while drawing; only 1..6 hold a texture
    float colour[4] = {};          // RGBA for glColor4fv
    float ambient[4] = {};         // RGBA
    float diffuse[4] = {};         // RGBA
    float specular[4] = {};        // RGBA
    float emission[4] = {};        // RGBA
    float shininess = 0;           // GL_SHININESS, 0..128
};

// A loaded mesh; it owns its four arrays.
struct Model {
    std::int32_t vertexCount = 0;    // from the "Vertices:" count line
    std::int32_t faceCount = 0;      // from the "Faces:" count line
    std::int32_t materialCount = 0;  // from the "Materials:" count line, at least 1
    Vector3* positions = nullptr;    // vertexCount entries, scene units
    Vector3* normals = nullptr;      // vertexCount smoothed unit normals
    Face* faces = nullptr;           // faceCount triangles, grouped by material
    Material* materials = nullptr;   // materialCount, in order of first appearance
};

// Set-up
// Reads the whole model file at path and parses it (parseModel). Returns
// null when the file cannot be read or breaks the format's rules (a missing, repeated or wrong count, a vertex
// before its count, a face index outside the vertices, a face with fewer than
// three corners or without exactly three texture lines ahead of it, a count
// keyword past the 127th character, a material line over 75 characters); the
// caller stops start-up then. Touches no GL state.
Model* loadModel(const std::string& path, std::uint32_t textureSlotBase);
// The same from the file's bytes in memory.
Model* parseModel(std::string_view text, std::uint32_t textureSlotBase);

// Derived geometry, run by loadModel: centres, face normals and smoothed
// vertex normals first, then the face planes.
void computeFaceGeometry(Model& model);
void computeFacePlanes(Model& model);

// Vector operations: each forms its result in double precision and stores it
// as floats.
Vector3 crossProduct(const Vector3& a, const Vector3& b);
float vectorLength(const Vector3& v);  // 1.0 for the zero vector
void normalizeVector(Vector3& v);      // the zero vector stays zero
// Unit normal of the triangle, built from those steps: the two edges from p1
// stored as floats, their crossProduct, then normalizeVector. Counter-clockwise
// corners give a normal towards the viewer, collinear corners give (0, 0, 0).
Vector3 triangleNormal(const Vector3& p1, const Vector3& p2, const Vector3& p3);

// Shutdown
// Releases the model and its four arrays; nothing for null.
void freeModel(Model* model);
