#include "assets/textures.h"
// TODO(loader): replaced by the texture loader.
bool loadTextures(TextureSlots&) { return true; }
void deleteTextures(TextureSlots&) {}
