#include "machine/clock.h"

#include <algorithm>

#include "cpu/cpu_state.h"

SliceClock Clock;

namespace {

// Cycles left before the slice ends. While an early slice end is in
// progress the run loop has set the rest aside in SavedCycles.
int32_t CyclesLeft() { return Cpu.Cycles + (Cpu.SliceBreak ? Cpu.SavedCycles : 0); }

}  // namespace

int64_t ClockNow() { return Clock.AnchorTime + (int64_t(Clock.AnchorCycles) - CyclesLeft()); }

void AnchorClock(int64_t time) {
    Clock.AnchorTime = time;
    Clock.AnchorCycles = CyclesLeft();
}

void ResetClock(int64_t time) {
    AnchorClock(time);
    Clock.HalfLineEnd = time + Cpu.SliceLength;
}

void GrantSlice(int64_t end) {
    const int64_t now = ClockNow();
    const int64_t length = std::clamp<int64_t>(end - now - Cpu.Cycles, 0, INT32_MAX);
    Cpu.SliceLength = uint32_t(length);
    // The run loop adds the length to its count before the first
    // instruction: anchor to the count it will then hold.
    Clock.AnchorTime = now;
    Clock.AnchorCycles = CyclesLeft() + int32_t(length);
}

void EndSliceBy(int64_t time) {
    const int64_t planned = Clock.AnchorTime + Clock.AnchorCycles;
    if (time >= planned) return;
    const int32_t cut = int32_t(std::min<int64_t>(planned - time, INT32_MAX));
    if (Cpu.SliceBreak)
        Cpu.SavedCycles -= cut;
    else
        Cpu.Cycles -= cut;
    Clock.AnchorCycles -= cut;
}
