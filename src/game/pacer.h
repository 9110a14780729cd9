// The frame loop's one clock: at most sixty frames a second on average,
// however fast the display refreshes or the renderer swaps, without ever
// holding back a frame from a display that refreshes at about 60 Hz.
#pragma once

// When the next frame may start, on a steady clock in seconds.
struct FramePacer {
    double due = 0;        // seconds: the next frame may start from here on
    bool started = false;  // a frame has been paced
};

inline constexpr double framePeriod = 1.0 / 60;  // seconds
// A frame at most this early counts as on time and is not held: a display
// at up to 61 Hz brings its frames no more than 0.27 ms early.
inline constexpr double onTimeMargin = 0.0005;  // seconds
// How far behind its schedule a late frame may leave the next one to make
// up: enough for a display whose refreshes do not divide the period, too
// little for a burst of frames after a pause.
inline constexpr double catchUpLimit = framePeriod / 2;  // seconds

// Per frame
// Right after the buffer swap, with the steady clock's reading then: how
// long to wait before the next frame starts, in seconds, 0 for not at all.
// An early frame is held to its time and a late one made up for, so the
// average keeps to the period; a frame a little early starts the schedule
// afresh from itself.
double holdAfterSwap(FramePacer& pacer, double now);
