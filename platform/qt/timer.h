#pragma once
// A periodic timer on its own thread. The callback runs on that thread, so
// it must do no more than set a flag the main thread reads.

#include <cstdint>

// Calls tick every intervalMs milliseconds; returns a handle, or 0 when no
// timer could be made.
int StartPeriodicTimer(uint32_t intervalMs, void (*tick)());

// Stops the timer; once this returns the callback no longer runs.
void StopPeriodicTimer(int handle);
