#include "game/pacer.h"

#include <algorithm>

double holdAfterSwap(FramePacer& pacer, double now) {
    if (!pacer.started) {
        pacer.started = true;
        pacer.due = now + framePeriod;
        return 0;
    }
    if (now < pacer.due - onTimeMargin) {
        const double hold = pacer.due - now;
        pacer.due += framePeriod;
        return hold;
    }
    if (now < pacer.due) {
        pacer.due = now + framePeriod;
    } else {
        pacer.due = std::max(pacer.due + framePeriod, now + framePeriod - catchUpLimit);
    }
    return 0;
}
