#include "render/score_texture.h"
// TODO(scene): replaced by the score pass and the cursor.
std::uint32_t createScoreTexture() { return 0; }
void renderScoreTexture(std::int32_t, std::int32_t, std::uint32_t, std::uint32_t, const TextureSlots&,
                        const ViewSettings&) {}
void drawCursor(std::int32_t, std::int32_t, const TextureSlots&, const ViewSettings&) {}
