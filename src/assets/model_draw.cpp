#include "assets/model_draw.h"
// TODO(loader): replaced by model drawing.
void drawModel(const Model&, const TextureSlots&) {}
void drawModelGeometry(const Model&) {}
void freeModel(Model* model) { delete model; }
