#include "machine/clock.h"

#include <algorithm>

void AnchorClock(const CpuState& cpu, SliceClock& clock, int64_t time) {
    clock.AnchorTime = time;
    clock.AnchorCycles = CyclesLeft(cpu);
}

void ResetClock(const CpuState& cpu, SliceClock& clock, int64_t time) {
    AnchorClock(cpu, clock, time);
    clock.HalfLineEnd = time + cpu.SliceLength;
}

void EndSliceBy(CpuState& cpu, SliceClock& clock, int64_t time) {
    const int64_t planned = clock.AnchorTime + clock.AnchorCycles;
    if (time >= planned) return;
    const int32_t cut = int32_t(std::min<int64_t>(planned - time, INT32_MAX));
    if (cpu.SliceBreak)
        cpu.SavedCycles -= cut;
    else
        cpu.Cycles -= cut;
    clock.AnchorCycles -= cut;
}
