// The frame loop's pacer against displays simulated swap by swap: a
// renderer that never waits, and displays that wait for their refresh at
// 59.94, 60.05, 75, 120 and 144 Hz. Times are given, never measured.
#include "game/pacer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Seconds at which the swaps of a run returned, and how long the pacer held
// each frame after them.
struct PacedRun {
    std::vector<double> swapped;
    std::vector<double> held;
};

// refreshHz 0 is a swap that returns at once; otherwise the swap returns at
// the first refresh after the frame was drawn. Each frame takes drawSeconds
// to draw, from the moment the pacer lets it start. The first frame has no
// frame before it to be paced against: measures start from the second.
PacedRun run(double refreshHz, double drawSeconds, int frames) {
    PacedRun paced;
    FramePacer pacer;
    double start = 0.25;  // the first frame starts a little after the display's refresh 0
    for (int frame = 0; frame < frames; ++frame) {
        const double drawn = start + drawSeconds;
        double swapped = drawn;
        if (refreshHz > 0) swapped = (std::floor(drawn * refreshHz) + 1) / refreshHz;
        const double hold = holdAfterSwap(pacer, swapped);
        paced.swapped.push_back(swapped);
        paced.held.push_back(hold);
        start = swapped + hold;
    }
    return paced;
}

// Frames a second from the second swap to the last.
double averageRate(const PacedRun& paced) {
    return (paced.swapped.size() - 2) / (paced.swapped.back() - paced.swapped[1]);
}

// The refreshes between one shown frame and the next, from the second on.
std::vector<long> refreshesBetweenFrames(const PacedRun& paced, double refreshHz) {
    std::vector<long> refreshes;
    for (std::size_t k = 2; k < paced.swapped.size(); ++k) {
        refreshes.push_back(std::lround((paced.swapped[k] - paced.swapped[k - 1]) * refreshHz));
    }
    return refreshes;
}

TEST(Pacer, ARendererThatNeverWaitsGetsSixtyEvenFramesASecond) {
    for (double drawSeconds : {0.0, 0.002, 0.010, 0.016}) {
        SCOPED_TRACE(drawSeconds);
        const PacedRun paced = run(0, drawSeconds, 3600);
        EXPECT_NEAR(averageRate(paced), 60.0, 0.001);
        for (std::size_t k = 2; k < paced.swapped.size(); ++k) {
            ASSERT_NEAR(paced.swapped[k] - paced.swapped[k - 1], 1 / 60.0, 1e-9) << "frame " << k;
        }
    }
    // Slower than sixty a second, no frame is held.
    const PacedRun slow = run(0, 0.020, 600);
    for (double hold : slow.held) ASSERT_EQ(hold, 0);
    EXPECT_NEAR(averageRate(slow), 50.0, 0.001);
}

TEST(Pacer, AFasterDisplayShowsSixtyFramesASecondAsEvenlyAsItsRefreshAllows) {
    const struct {
        double hz;
        long fewest, most;  // refreshes between two shown frames
    } displays[] = {{75, 1, 2}, {120, 2, 2}, {144, 2, 3}};
    for (const auto& display : displays) {
        for (double drawSeconds : {0.001, 0.005, 0.012}) {
            SCOPED_TRACE(testing::Message() << display.hz << " Hz, drawn in " << drawSeconds << " s");
            // A minute of frames: within one frame of sixty a second, the
            // display's phase at the two ends.
            const PacedRun paced = run(display.hz, drawSeconds, 3600);
            EXPECT_NEAR(averageRate(paced), 60.0, 60.0 / 3600);
            for (long refreshes : refreshesBetweenFrames(paced, display.hz)) {
                ASSERT_GE(refreshes, display.fewest);
                ASSERT_LE(refreshes, display.most);
            }
        }
    }
}

TEST(Pacer, ADisplayAtAboutSixtyHertzIsNeverHeldAndNoRefreshIsMissed) {
    for (double hz : {59.0, 59.94, 60.0, 60.05, 61.0}) {
        for (double drawSeconds : {0.001, 0.010, 0.016}) {
            SCOPED_TRACE(testing::Message() << hz << " Hz, drawn in " << drawSeconds << " s");
            const PacedRun paced = run(hz, drawSeconds, 36000);  // ten minutes
            for (std::size_t k = 0; k < paced.held.size(); ++k) ASSERT_EQ(paced.held[k], 0) << "frame " << k;
            for (long refreshes : refreshesBetweenFrames(paced, hz)) ASSERT_EQ(refreshes, 1);
        }
    }
}

TEST(Pacer, AFrameAfterALongPauseMakesUpNoMoreThanHalfAPeriod) {
    FramePacer pacer;
    EXPECT_EQ(holdAfterSwap(pacer, 10.0), 0) << "the first frame is never held";
    EXPECT_NEAR(holdAfterSwap(pacer, 10.001), 1 / 60.0 - 0.001, 1e-12);
    // Minimised for a minute: the frame after it starts at once, and the
    // next one still waits half a period instead of rushing to catch up.
    EXPECT_EQ(holdAfterSwap(pacer, 70.0), 0);
    EXPECT_NEAR(holdAfterSwap(pacer, 70.001), 1 / 120.0 - 0.001, 1e-12);
    EXPECT_NEAR(holdAfterSwap(pacer, 70.002), 1 / 120.0 + 1 / 60.0 - 0.002, 1e-12);
}

}  // namespace
