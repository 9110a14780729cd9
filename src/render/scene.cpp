#include "render/scene.h"
// TODO(scene): replaced by the scene passes.
SceneLists buildSceneLists(const Models&, const TextureSlots&) { return {}; }
void renderScene(GameState&, SoundBank&, const SceneLists&, const Models&, const TextureSlots&, std::uint32_t,
                 const ViewSettings&, const Light&) {}
void deleteSceneLists(const SceneLists&) {}
