#include "cpu/run_loop.h"

#include <cstdio>

#include "cpu/modes.h"
#include "machine/interrupts.h"
#include "machine/machine.h"
#include "machine/scanline.h"

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

SliceEnd RunSlice(Machine& m) {
    CpuState& cpu = m.Cpu;
    // A halted CPU executes nothing until the scanline driver wakes it:
    // the slice passes at once. The halting store is repeated when it
    // wakes, and completes then.
    if (m.HaltState == Halt::Halted)
        cpu.Cycles = 0;
    else if (cpu.CPSR & FlagT)
        RunThumbSlice(m);
    else
        RunArmSlice(m);

    // Slice end. An early end gives back the cycles it set aside without
    // advancing time; a normal end hands over to the scanline driver.
    // Adding the new slice (rather than assigning it) carries the last
    // instruction's overshoot into the next slice.
    SliceEnd end = SliceEnd::Early;
    if (cpu.SliceBreak) {
        cpu.SliceBreak = 0;
        cpu.Cycles += cpu.SavedCycles;
        // A request that came while the CPU halted (a DMA's end, say) wakes
        // it at once, as the scanline driver does at a slice's end.
        if (m.HaltState == Halt::Halted && EnabledRequests(m)) m.HaltState = Halt::Woken;
    } else {
        const uint32_t pending = ScanlineTick(m);
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

FrameEnd RunFrame(Machine& m) {
    m.FramePresented = false;
    for (;;) {
        const SliceEnd end = RunSlice(m);
        if (end == SliceEnd::Stop) {
            if (m.Verbose) std::printf("Exited at %08Xh\n", m.Cpu.R[15]);
            return FrameEnd::Stopped;
        }
        if (end == SliceEnd::Normal && m.FramePresented) return FrameEnd::Presented;
    }
}
