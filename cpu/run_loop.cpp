#include "cpu/run_loop.h"

#include "cpu/modes.h"
#include "machine/scanline.h"

CpuState Cpu{};

void ResetCpu(CpuState& cpu) {
    for (uint32_t& reg : cpu.R) reg = 0;
    cpu.CPSR = 0xD3;
    cpu.SavedCycles = 0;
    cpu.SliceBreak = 0;
    cpu.IrqPending = 0;
    cpu.Cycles = int32_t(cpu.SliceLength);
}

void RequestIrqCheck(CpuState& cpu) {
    cpu.IrqPending = 1;
    EndSliceEarly(cpu);
}

SliceEnd RunSlice(CpuState& cpu) {
    if (cpu.CPSR & FlagT)
        RunThumbSlice(cpu);
    else
        RunArmSlice(cpu);

    // Slice end. An early end gives back the cycles it set aside without
    // advancing time; a normal end hands over to the scanline driver.
    // Adding the new slice (rather than assigning it) carries the last
    // instruction's overshoot into the next slice.
    SliceEnd end = SliceEnd::Early;
    if (cpu.SliceBreak) {
        cpu.SliceBreak = 0;
        cpu.Cycles += cpu.SavedCycles;
    } else {
        const uint32_t pending = ScanlineTick(cpu);
        if (pending == StopRunLoop) return SliceEnd::Stop;
        cpu.IrqPending = pending;
        cpu.Cycles += int32_t(cpu.SliceLength);
        end = SliceEnd::Normal;
    }

    // Interrupts are taken only here, in any mode while I is clear. An
    // emulated BIOS call finishes inside its SWI, so it is never split.
    if (cpu.IrqPending && !(cpu.CPSR & FlagI)) EnterIrqException(cpu);
    return end;
}

uint32_t RunCpu(CpuState& cpu) {
    while (RunSlice(cpu) != SliceEnd::Stop) {
    }
    return cpu.R[15];
}
