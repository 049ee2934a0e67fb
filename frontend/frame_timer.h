#pragma once
// Frame pacing: the program's event loop runs the machine a frame at a time
// (RunNextFrame, frontend/main_window.h) when the monotonic clock reaches
// each frame's due time, at the handheld's own rate: 16777216 cycles a
// second, 280896 a frame, 59.7275 frames a second. Menus, dialogs and the
// window's events are handled between two frames by the same event loop.

#include <cstdint>

inline constexpr double HandheldFrameRate = 16777216.0 / 280896.0;

// The due times of the frames. After each frame the next one is due a
// period later, counted from the last due time (not from when the frame
// ended), so the rate holds however long each frame took. A pacer that has
// fallen more than a few periods behind (a pause, a slow frame, the end of
// fast-forward) starts again from now instead of running the missed
// frames in a burst.
struct FramePacer {
    double Period = 1.0 / HandheldFrameRate;  // seconds; 0 = as fast as possible
    double NextDue = 0;
    bool Started = false;
};
// The next frame's due time, given the clock after a frame.
double NextFrameDue(FramePacer& pacer, double now);

// Stops the running timer and starts one. TimerPeriod hz: 60 runs the
// handheld's 59.7275 frames a second, less a share of that (30 half of
// it), 0 as fast as possible. Returns nonzero when the frames are paced.
int StartFrameTimer(int32_t hz);
void StopFrameTimer();
bool FrameTimerRunning();

// Fast-forward: frames come `speed` times as often (0: as fast as
// possible); 1 is the normal pace.
void SetFrameSpeed(int32_t speed);

// The period in seconds the frames come at now; 0 unpaced.
double FramePeriodSeconds();
