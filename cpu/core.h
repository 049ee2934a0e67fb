#pragma once
// The interpreter's working copy of the CPU while a slice runs. The slice
// loops keep R15, the cycle count, the four flags and where instructions
// are fetched from in a Core, a local record that the compiler holds in
// host registers; every instruction handler is inlined into the loop and
// works on it. CpuState holds the same values whenever anything outside the
// loop can look at them: the loop writes them back at the slice end, and a
// handler wraps every call out of the CPU (a store with side effects, a
// timer read, a BIOS call, a status register write) in CallOut, which
// writes them back before and reads them again after, so the call sees the
// CPU as it stands and may change it (a halt moves R15 back, an interrupt
// request ends the slice, WAITCNT changes the fetch cost).

#include <array>
#include <cstdint>
#include <cstdlib>

#include "cpu/cpu_state.h"
#include "machine/machine.h"

// Marks a path the compiler may assume is never taken.
[[noreturn]] inline void Unreachable() {
#if defined(__GNUC__)
    __builtin_unreachable();
#else
    std::abort();
#endif
}

struct Core {
    Machine& m;
    CpuState& cpu;
    const bool thumb;  // the state the loop runs, fixed for the slice
    uint32_t pc;       // R15: the next instruction
    int32_t cycles;    // CpuState::Cycles
    // The flags, each in a word of its own so that an instruction sets them
    // without touching the rest of CPSR: N is bit 31 of n, Z is set when z
    // is 0 (so both can hold a result as it is), C is c (0 or 1) and V is
    // bit 31 of v. CPSR's other bits stay in CpuState.
    uint32_t n, z, c, v;
    // The fetch window: the bus page the loop fetches from, its host page
    // and the fetch cost of its region. It serves as long as the PC stays in
    // that page (InFetchWindow): a jump elsewhere opens it anew at once, and
    // the loop does when the PC runs off the page's end.
    uint32_t fetchWindow = 0;
    const uint8_t* fetchPage = nullptr;
    int32_t fetchCost = 0;

    Core(Machine& machine, bool thumbState) : m(machine), cpu(machine.Cpu), thumb(thumbState) { Reload(); }

    uint32_t Cpsr() const {
        return (cpu.CPSR & 0x0FFFFFFF) | (n & FlagN) | (z == 0 ? FlagZ : 0) | (c << 29) | ((v >> 31) << 28);
    }
    void SetFlags(uint32_t cpsr) {
        n = cpsr;
        z = ~cpsr & FlagZ;
        c = (cpsr >> 29) & 1;
        v = cpsr << 3;
    }

    // Opens the fetch window on the PC's page: its host page and the fetch
    // cost of its region in the running state's table.
    void OpenFetchWindow() {
        fetchWindow = pc & ~PageOffsetMask;
        fetchPage = m.PageTable.Read[pc >> PageShift];
        fetchCost = (thumb ? m.AccessCost16 : m.AccessCost32)[(pc >> 24) & 15];
    }
    // Whether the next fetch can use the window: the PC is in its page and,
    // in ARM state, word-aligned (a misaligned ARM fetch takes another path).
    bool InFetchWindow() const { return ((pc ^ fetchWindow) & ~(PageOffsetMask & (thumb ? ~0u : ~3u))) == 0; }

    // CpuState brought up to date, and the loop's copy taken from it again
    // (the call may have moved R15 or changed the fetch costs).
    void WriteBack() {
        cpu.R[15] = pc;
        cpu.Cycles = cycles;
        cpu.CPSR = Cpsr();
    }
    void Reload() {
        pc = cpu.R[15];
        cycles = cpu.Cycles;
        SetFlags(cpu.CPSR);
        OpenFetchWindow();
    }
    // The call gets the machine as its argument and must not capture the
    // Core itself: a pointer to the Core kept in a closure would make the
    // compiler keep the whole Core in memory instead of in host registers.
    template <typename Call>
    [[gnu::always_inline]] void CallOut(Call call) {
        WriteBack();
        call(m);
        Reload();
    }

    // A jump opens the window on the target's page at once when it leaves
    // the page. (Written as a branch in the handler: were the new PC chosen
    // by a conditional move instead, every fetch would wait for the result
    // of the instruction before it.)
    void Jump(uint32_t target) {
        pc = target;
        if ((target ^ fetchWindow) >> PageShift) OpenFetchWindow();
    }
    // A register named by an opcode field: R15 as destination is a jump.
    void SetRegister(uint32_t reg, uint32_t value) {
        cpu.R[reg] = value;
        if (reg == 15) [[unlikely]]
            Jump(value);
    }
    // R15 as an operand shows the instruction's address plus the pipeline's
    // lead; a handler that may read it through a register field stores that
    // value in R[15] first (pc already is the address + 4 in ARM state, + 2
    // in THUMB state). Nothing outside the loop sees it: a call out writes
    // the real R15 back.
    void ShowPc(uint32_t lead) { cpu.R[15] = pc + lead; }
    // A register read as an operand where R15 shows pc + lead, for handlers
    // whose reads interleave with calls out.
    uint32_t Operand(uint32_t reg, uint32_t lead) const { return reg == 15 ? pc + lead : cpu.R[reg]; }

    // Cuts the slice short: the loop stops at its next cycle test and the run
    // loop gives the set-aside cycles back without a scanline tick.
    void EndSliceEarly() {
        if (!cpu.SliceBreak) {
            cpu.SliceBreak = 1;
            cpu.SavedCycles = cycles;
            cycles = 0;
        }
    }

    // The ARM condition codes. Each test reads only the flag words it needs.
    bool ConditionPasses(uint32_t cond) const {
        switch (cond & 15) {
        case 0x0: return z == 0;
        case 0x1: return z != 0;
        case 0x2: return c != 0;
        case 0x3: return c == 0;
        case 0x4: return int32_t(n) < 0;
        case 0x5: return int32_t(n) >= 0;
        case 0x6: return int32_t(v) < 0;
        case 0x7: return int32_t(v) >= 0;
        case 0x8: return c != 0 && z != 0;
        case 0x9: return c == 0 || z == 0;
        case 0xA: return int32_t(n ^ v) >= 0;  // N == V
        case 0xB: return int32_t(n ^ v) < 0;
        case 0xC: return z != 0 && int32_t(n ^ v) >= 0;
        case 0xD: return z == 0 || int32_t(n ^ v) < 0;
        case 0xE: return true;
        default: return false;
        }
    }
};
