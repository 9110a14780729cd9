#include "render/scene.h"

#include "game/rules.h"

// TODO(scene): replaced by the scene passes. Until the tubes are drawn, the
// tube pass only steps each running lightning at its place in the frame.
SceneLists buildSceneLists(const Models&, const TextureSlots&) { return {}; }
void renderScene(GameState& state, SoundBank& sound, const SceneLists&, const Models&, const TextureSlots&,
                 std::uint32_t, const ViewSettings&, const Light&) {
    for (int i = 1; i <= tubeCount; ++i) {
        if (advanceLightning(state.board[i])) sparkLightning(state.board[i], sound);
    }
}
void deleteSceneLists(const SceneLists&) {}
