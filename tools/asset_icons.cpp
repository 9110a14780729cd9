// The desktop icon at the sizes the menus ask for, drawn by the game's own
// icon code.
#include <string>

#include "asset_files.h"
#include "assets/icon.h"

void writeIcons(const std::filesystem::path& root) {
    for (int size : {16, 32, 48, 64, 128, 256}) {
        Image image = makeImage(size, size);
        image.pixels = iconPixels(size);
        writePng(root / "packaging" / "icons" / (std::to_string(size) + ".png"), image);
    }
}
