#pragma once
// The interpreter's run loop: slices of cycles handed out by the scanline
// driver, fetch/condition/dispatch, early slice ends and the IRQ check at
// each slice end.

#include <cstdint>

#include "cpu/cpu_state.h"

struct Machine;

// Runs the machine until the scanline driver has presented the next frame
// (with frame skip, the next one drawn), or until it stops the game run
// because the front-end asked for it (StopRequested). Returns at the end of
// a slice, with any interrupt of that slice end already taken, so the next
// call goes on exactly where this one stopped.
enum class FrameEnd { Presented, Stopped };
FrameEnd RunFrame(Machine& m);

// One pass of the run loop: runs a slice, ends it (early, or through the
// scanline driver) and takes a pending interrupt.
enum class SliceEnd { Early, Normal, Stop };
SliceEnd RunSlice(Machine& m);

// Registers to 0, CPSR = 0xD3 (Supervisor, I and F set, ARM), slice restarted.
// Banks, saved status registers and TraceUndefined keep their values.
void ResetCpu(CpuState& cpu);

// Marks an interrupt as pending and cuts the slice short so the run loop sees
// it before the next instruction.
void RequestIrqCheck(CpuState& cpu);

// Cuts the current slice short: the running loop stops at its next cycle test
// and the run loop gives the set-aside cycles back without a scanline tick.
// (Inside the slice loops Core::EndSliceEarly does the same on the loop's
// cycle count.)
inline void EndSliceEarly(CpuState& cpu) {
    if (!cpu.SliceBreak) {
        cpu.SliceBreak = 1;
        cpu.SavedCycles = cpu.Cycles;
        cpu.Cycles = 0;
    }
}

// One ARM or THUMB slice: runs instructions while Cycles >= 1
// (cpu/arm_table.cpp, cpu/thumb.cpp).
void RunArmSlice(Machine& m);
void RunThumbSlice(Machine& m);
