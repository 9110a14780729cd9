#include "platform/web/frame_pace.h"

bool frameIsDue(const TickPacer& pacer, double now) {
    return !pacer.pacer.started || now >= pacer.nextStart - onTimeMargin;
}

void frameRan(TickPacer& pacer, double now) { pacer.nextStart = now + holdAfterSwap(pacer.pacer, now); }
