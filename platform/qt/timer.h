#pragma once
// The frame timer's clock and alarm in the program's event loop: the
// callback runs on the main thread, between the window's events, like any
// other event.

#include <cstdint>

// Seconds on the system's monotonic clock (never set back, not moved by
// changes of the wall-clock time).
double MonotonicSeconds();

// Calls tick once, when the monotonic clock reaches `due` (at once, after
// the events that are waiting, when it has already passed). A new call
// replaces the alarm that was set.
void SetAlarm(double due, void (*tick)());
void CancelAlarm();
bool AlarmSet();
