// Models loaded by the tests, released when the value goes out of scope.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "assets/model.h"

struct ModelRelease {
    void operator()(Model* model) const { freeModel(model); }
};
using LoadedModel = std::unique_ptr<Model, ModelRelease>;

inline LoadedModel loadModelFile(const std::string& path, std::uint32_t textureSlotBase) {
    return LoadedModel(loadModel(path, textureSlotBase));
}

// Parses a model from the text of a file.
inline LoadedModel loadModelText(const std::string& text, std::uint32_t textureSlotBase) {
    return LoadedModel(parseModel(text, textureSlotBase));
}
