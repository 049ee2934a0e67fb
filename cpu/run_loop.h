#pragma once
// The interpreter's run loop: slices of cycles handed out by the scanline
// driver, fetch/condition/dispatch, early slice ends and the IRQ check at
// each slice end.

#include <array>
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
inline void EndSliceEarly(CpuState& cpu) {
    if (!cpu.SliceBreak) {
        cpu.SliceBreak = 1;
        cpu.SavedCycles = cpu.Cycles;
        cpu.Cycles = 0;
    }
}

// For each condition code, a 16-bit mask with bit (CPSR >> 28) set when the
// condition holds for that NZCV combination. Code 15 never passes.
inline constexpr std::array<uint16_t, 16> ConditionTable = [] {
    std::array<uint16_t, 16> table{};
    for (uint32_t cond = 0; cond < 16; ++cond) {
        for (uint32_t nzcv = 0; nzcv < 16; ++nzcv) {
            const bool n = nzcv & 8, z = nzcv & 4, c = nzcv & 2, v = nzcv & 1;
            bool pass = false;
            switch (cond) {
            case 0x0: pass = z; break;
            case 0x1: pass = !z; break;
            case 0x2: pass = c; break;
            case 0x3: pass = !c; break;
            case 0x4: pass = n; break;
            case 0x5: pass = !n; break;
            case 0x6: pass = v; break;
            case 0x7: pass = !v; break;
            case 0x8: pass = c && !z; break;
            case 0x9: pass = !c || z; break;
            case 0xA: pass = n == v; break;
            case 0xB: pass = n != v; break;
            case 0xC: pass = !z && n == v; break;
            case 0xD: pass = z || n != v; break;
            case 0xE: pass = true; break;
            case 0xF: pass = false; break;
            }
            if (pass) table[cond] |= uint16_t(1u << nzcv);
        }
    }
    return table;
}();

inline bool ConditionPasses(uint32_t cond, uint32_t cpsr) {
    return (ConditionTable[cond] >> (cpsr >> 28)) & 1;
}

// One ARM or THUMB slice: runs instructions while Cycles >= 1.
void RunArmSlice(Machine& m);
void RunThumbSlice(Machine& m);
