// Feeds arbitrary bytes to the model parser and checks that a model it
// accepts keeps every invariant the drawing code relies on.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "assets/model.h"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

bool finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The vector operations store the edges and their cross product as floats, so
// a face's normal can only be unit when that cross product is neither too
// large for a float nor so small that it loses its precision.
bool crossProductFitsAFloat(const Model& model, const Face& face) {
    const Vector3& p1 = model.positions[face.vertexIndex[0]];
    const Vector3& p2 = model.positions[face.vertexIndex[1]];
    const Vector3& p3 = model.positions[face.vertexIndex[2]];
    const double e1[3] = {float(double(p2.x) - p1.x), float(double(p2.y) - p1.y), float(double(p2.z) - p1.z)};
    const double e2[3] = {float(double(p3.x) - p1.x), float(double(p3.y) - p1.y), float(double(p3.z) - p1.z)};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    return length == 0.0 || (length >= 1e-25 && length <= 1e36);
}

// A unit vector, or the zero vector.
bool unitOrZero(const Vector3& v) {
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    return length == 0.0 || std::fabs(length - 1.0) < 1e-3;
}

void checkModel(const Model& model) {
    check(model.materialCount >= 1 && model.vertexCount >= 0 && model.faceCount >= 0);
    check(model.materials[0].firstFace == 0);
    for (int m = 0; m < model.materialCount; ++m) {
        const Material& material = model.materials[m];
        if (m > 0) check(material.firstFace == model.materials[m - 1].lastFace + 1);
        check(material.lastFace >= material.firstFace - 1);
        check(material.textureSlot >= 0);
        check(material.colour[3] == 1.0f && material.shininess == 50.0f);
    }
    check(model.materials[model.materialCount - 1].lastFace == model.faceCount - 1);
    bool allFinite = true;
    for (int v = 0; v < model.vertexCount; ++v) allFinite = allFinite && finite(model.positions[v]);
    bool allNormalsUnit = allFinite;
    for (int f = 0; f < model.faceCount; ++f) {
        const Face& face = model.faces[f];
        for (int corner = 0; corner < 3; ++corner)
            check(face.vertexIndex[corner] >= 0 && face.vertexIndex[corner] < model.vertexCount);
        if (!allFinite) continue;
        check(finite(face.centre));
        if (crossProductFitsAFloat(model, face))
            check(unitOrZero(face.normal));
        else
            allNormalsUnit = false;
    }
    if (allNormalsUnit)
        for (int v = 0; v < model.vertexCount; ++v) check(unitOrZero(model.normals[v]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint32_t textureSlotBase = size % 7;
    Model* model = parseModel(std::string_view(reinterpret_cast<const char*>(data), size), textureSlotBase);
    if (!model) return 0;
    checkModel(*model);
    freeModel(model);
    return 0;
}
