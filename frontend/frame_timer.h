#pragma once
// Frame pacing: a timer in the program's event loop that runs the machine
// a frame at a time (RunNextFrame, frontend/main_window.h), at the pace
// TimerPeriod asks for or, unpaced, whenever the event loop has nothing
// else to do. Menus, dialogs and the window's events are handled between
// two frames by the same event loop.

#include <cstdint>

// Stops the running timer and starts one: hz frames per second (a period of
// 1000 / hz ms) for 1-60 Hz, unpaced otherwise. Returns nonzero when the
// frames are paced.
int StartFrameTimer(int32_t hz);
void StopFrameTimer();

bool FrameTimerRunning();
// The timer's period in milliseconds; 0 unpaced.
uint32_t FramePeriodMs();
