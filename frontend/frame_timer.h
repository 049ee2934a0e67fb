#pragma once
// Frame pacing: a periodic timer on its own thread raises a tick flag; the
// emulation waits for the flag before each presented frame and clears it.
// Ticks that come while nobody waits collapse into one.

#include <cstdint>

// Stops the running timer and starts one at hz ticks per second (a period
// of 1000 / hz ms). Returns nonzero when a timer runs afterwards: never for
// hz below 1 or above 60.
int StartFrameTimer(int32_t hz);

// Blocks (without spinning) until the tick flag is up, then clears it.
// Returns at once when no timer runs.
void WaitFrameTick();

bool FrameTimerRunning();
