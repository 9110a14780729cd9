// The browser's frame pace: requestAnimationFrame calls at the display's
// rate, and a tick that comes before the game's pacer would start the next
// frame is skipped, so the game advances at most sixty steps a second on a
// 120 or 144 Hz display too, and on every tick of a 60 Hz one.
#pragma once

#include "game/pacer.h"

struct TickPacer {
    FramePacer pacer;
    double nextStart = 0;  // seconds on the page's clock: no frame before this, less the on-time margin
};

// Per frame
// At a tick, with the animation frame's time: true when the frame runs.
bool frameIsDue(const TickPacer& pacer, double now);
// After the frame ran, with the same time: when the next may start, by the
// desktop's rule (holdAfterSwap).
void frameRan(TickPacer& pacer, double now);
