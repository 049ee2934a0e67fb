#include "machine/clock.h"

#include <algorithm>

SliceClock Clock;

void AnchorClock(int64_t time) {
    Clock.AnchorTime = time;
    Clock.AnchorCycles = CyclesLeft();
}

void ResetClock(int64_t time) {
    AnchorClock(time);
    Clock.HalfLineEnd = time + Cpu.SliceLength;
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
