#pragma once
// A periodic timer in the program's event loop: the callback runs on the
// main thread, between the window's events, like any other event.

#include <cstdint>

// Calls tick every intervalMs milliseconds (as precisely as the event loop
// allows), or with an interval of 0 whenever the event loop is idle;
// returns a handle, or 0 when no timer could be made.
int StartPeriodicTimer(uint32_t intervalMs, void (*tick)());

// Stops the timer; once this returns the callback no longer runs.
void StopPeriodicTimer(int handle);
