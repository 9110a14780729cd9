// Feeds arbitrary bytes to the TGA reader and checks the size of what it
// accepts.
#include <cstdint>
#include <cstdlib>

#include "assets/image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Image image;
    if (!decodeTga(data, size, image)) return 0;
    if (image.width < 1 || image.height < 1 || image.channels < 1 || image.channels > 4) std::abort();
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * image.channels) std::abort();
    // The pixel data can hold no more pixels than 128 for every byte of the
    // file (a run-length packet of two bytes gives at most 128).
    if (static_cast<std::size_t>(image.width) * image.height > 128 * size) std::abort();
    return 0;
}
