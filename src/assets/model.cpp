#include "assets/model.h"
// TODO(loader): replaced by the model loader.
Model* loadModel(const std::string&, std::uint32_t) { return new Model{}; }
void computeFaceGeometry(Model&) {}
void computeFacePlanes(Model&) {}
Vector3 crossProduct(const Vector3&, const Vector3&) { return {}; }
float vectorLength(const Vector3&) { return 1; }
void normalizeVector(Vector3&) {}
Vector3 triangleNormal(const Vector3&, const Vector3&, const Vector3&) { return {}; }
