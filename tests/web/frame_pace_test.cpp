// The browser's frame pace on displays of every common refresh rate, with
// requestAnimationFrame's ticks simulated at the display's exact times (the
// times the browser hands the page), also with some jitter.
#include "platform/web/frame_pace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The ticks at which frames ran over the given seconds.
std::vector<double> framesRun(double hertz, double seconds, double jitter = 0) {
    TickPacer pacer;
    std::vector<double> ran;
    for (int k = 0; k < hertz * seconds; ++k) {
        // A deterministic jitter of up to +-jitter seconds around each vsync.
        const double now = 100 + k / hertz + jitter * std::sin(k * 12.9898);
        if (!frameIsDue(pacer, now)) continue;
        frameRan(pacer, now);
        ran.push_back(now);
    }
    return ran;
}

TEST(FramePace, FastDisplaysGetSixtyFramesASecond) {
    for (const double hertz : {75.0, 90.0, 120.0, 144.0, 165.0, 240.0}) {
        for (const double jitter : {0.0, 0.0002}) {
            const std::vector<double> ran = framesRun(hertz, 20, jitter);
            EXPECT_NEAR(ran.size(), 1200.0, 2.0) << hertz << " Hz, jitter " << jitter;
            // No second of it runs fast, after the first frame's start.
            for (std::size_t k = 1; k + 61 < ran.size(); ++k)
                ASSERT_GT(ran[k + 61] - ran[k], 1.0) << hertz << " Hz at frame " << k;
        }
    }
}

TEST(FramePace, SixtyHertzAndSlowerRunEveryTick) {
    for (const double hertz : {60.0, 59.94, 50.0, 30.0, 4.0}) {
        for (const double jitter : {0.0, 0.0002}) {
            const double seconds = 20;
            EXPECT_EQ(framesRun(hertz, seconds, jitter).size(), static_cast<std::size_t>(std::ceil(hertz * seconds)))
                << hertz << " Hz, jitter " << jitter;
        }
    }
}

}  // namespace
