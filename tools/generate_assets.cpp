// Writes every data file the game opens (models, images, sounds), and the
// desktop icons, below the folder named on the command line. The output is the same, byte for byte,
// at every run: nothing depends on the time or on uninitialised memory.
#include <exception>
#include <iostream>

#include "asset_files.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: generate_assets <output folder>\n";
        return 2;
    }
    try {
        const std::filesystem::path root = argv[1];
        writeModels(root);
        writeFont(root);
        writeImages(root);
        writeSounds(root);
        writeIcons(root);
    } catch (const std::exception& error) {
        std::cerr << "generate_assets: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
