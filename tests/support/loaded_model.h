// Models loaded by the tests, released when the value goes out of scope.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "assets/model.h"
#include "assets/model_draw.h"

struct ModelRelease {
    void operator()(Model* model) const { freeModel(model); }
};
using LoadedModel = std::unique_ptr<Model, ModelRelease>;

inline LoadedModel loadModelFile(const std::string& path, std::uint32_t textureSlotBase) {
    return LoadedModel(loadModel(path, textureSlotBase));
}

// Loads a model from text written to a temporary file, removed again after.
inline LoadedModel loadModelText(const std::string& text, std::uint32_t textureSlotBase) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tubechain-model-" + std::to_string(getpid()) + ".OBJ");
    std::ofstream(path, std::ios::binary) << text;
    LoadedModel model(loadModel(path.string(), textureSlotBase));
    std::filesystem::remove(path);
    return model;
}
