#include "game/picking.h"
// TODO(rules): replaced by selection-mode picking.
std::int32_t pickTube(std::int32_t, std::int32_t, const Board&, const Model&, const ViewSettings&, const Camera&) {
    return 0;
}
