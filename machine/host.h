#pragma once
// The core's one window to the outside world. A front-end fills in the
// operations it offers; each has a do-nothing default, so the core runs
// headless (tests, the headless runner) with no host at all.

#include <cstdint>

struct HostInterface {
    // Called once per frame at the start of vertical blank. Dispatches the
    // host's pending events and returns the pressed keys (keypad mask,
    // 1 = pressed: bit 0 A, 1 B, 2 Select, 3 Start, 4 Right, 5 Left, 6 Up,
    // 7 Down, 8 R, 9 L). May raise StopRequested.
    uint32_t (*PollInput)() = [] { return 0u; };

    // Shows the finished frame surface (500 x 160 16-bit pixels).
    void (*PresentFrame)(const uint16_t* surface) = [](const uint16_t*) {};

    // Blocks until the frame timer's next tick when pacing is on.
    void (*WaitFrameTick)() = [] {};
};

extern HostInterface Host;
