#include "render/font.h"
// TODO(scene): replaced by the bitmap font.
void buildFontLists(std::uint32_t) {}
void printText(std::int32_t, std::int32_t, std::string_view, std::int32_t, float, std::uint32_t, const TextureSlots&) {}
