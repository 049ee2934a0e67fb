#pragma once
// Emulated time in CPU cycles. The run loop counts each slice down in
// CpuState::Cycles and knows nothing of time; the clock remembers which
// time stood for which count, so the time of the access the CPU is making
// now follows from the count alone, exact to the cycle, at no cost to the
// run loop. Time never runs backwards, not even through a machine reset.
//
// The scanline driver decides where slices end: at the end of the display's
// half-line, or earlier at a timer overflow that requests an interrupt, so
// that the CPU sees the request at its exact cycle.

#include <algorithm>
#include <cstdint>

#include "cpu/cpu_state.h"

struct SliceClock {
    int64_t AnchorTime = 0;    // the time at which ...
    int32_t AnchorCycles = 0;  // ... the CPU's remaining cycles stood at this count
    int64_t HalfLineEnd = 0;   // when the display's current half-line ends
};

// The clock works on the CPU's count, so each operation takes both.

// Cycles left before the slice ends. While an early slice end is in
// progress the run loop has set the rest aside in SavedCycles.
inline int32_t CyclesLeft(const CpuState& cpu) { return cpu.Cycles + (cpu.SliceBreak ? cpu.SavedCycles : 0); }

// The time of the access being made now.
inline int64_t ClockNow(const CpuState& cpu, const SliceClock& clock) {
    return clock.AnchorTime + (int64_t(clock.AnchorCycles) - CyclesLeft(cpu));
}

// From now on the CPU's cycle count as it stands means `time`: after
// anything replaced the count (a snapshot load, the machine reset).
void AnchorClock(const CpuState& cpu, SliceClock& clock, int64_t time);

// The machine reset: the count restarts at the first half-line's length,
// and that half-line starts at `time`.
void ResetClock(const CpuState& cpu, SliceClock& clock, int64_t time);

// Lets the CPU run until `end`: sets SliceLength, which the run loop adds to
// its (overrun) count. An end already past gives the run loop nothing to do.
inline void GrantSlice(CpuState& cpu, SliceClock& clock, int64_t end) {
    const int64_t now = ClockNow(cpu, clock);
    const int64_t length = std::clamp<int64_t>(end - now - cpu.Cycles, 0, INT32_MAX);
    cpu.SliceLength = uint32_t(length);
    // The run loop adds the length to its count before the first
    // instruction: anchor to the count it will then hold.
    clock.AnchorTime = now;
    clock.AnchorCycles = CyclesLeft(cpu) + int32_t(length);
}

// Cuts the running slice short so that it ends by `time`, when that is
// sooner than planned (a timer was set to interrupt earlier).
void EndSliceBy(CpuState& cpu, SliceClock& clock, int64_t time);
