#include "cpu/modes.h"

#include "cpu/run_loop.h"

namespace {

// Where a mode keeps its R13 and R14 while another mode is current. FIQ has
// no bank of its own here and shares Undefined's, as do invalid modes.
struct Bank {
    uint32_t& r13;
    uint32_t& r14;
};

Bank BankOf(CpuState& cpu, uint32_t mode) {
    switch (mode) {
    case ModeUser:
    case ModeSystem: return {cpu.R13_usr, cpu.R14_usr};
    case ModeIrq: return {cpu.R13_irq, cpu.R14_irq};
    case ModeSupervisor: return {cpu.R13_svc, cpu.R14_svc};
    case ModeAbort: return {cpu.R13_abt, cpu.R14_abt};
    default: return {cpu.R13_und, cpu.R14_und};
    }
}

}  // namespace

uint32_t* CurrentSpsr(CpuState& cpu) {
    switch (cpu.CPSR & ModeMask) {
    case ModeFiq: return &cpu.SPSR_fiq;
    case ModeIrq: return &cpu.SPSR_irq;
    case ModeSupervisor: return &cpu.SPSR_svc;
    case ModeAbort: return &cpu.SPSR_abt;
    case ModeUndefined: return &cpu.SPSR_und;
    default: return nullptr;
    }
}

void WriteCpsr(CpuState& cpu, uint32_t value) {
    const uint32_t oldMode = cpu.CPSR & ModeMask;
    const uint32_t newMode = value & ModeMask;
    if (oldMode != newMode) {
        Bank oldBank = BankOf(cpu, oldMode);
        oldBank.r13 = cpu.R[13];
        oldBank.r14 = cpu.R[14];
        Bank newBank = BankOf(cpu, newMode);
        cpu.R[13] = newBank.r13;
        cpu.R[14] = newBank.r14;
    }
    // A change of mode, instruction set or interrupt mask must be seen
    // before the next instruction; a change of F alone need not.
    if ((cpu.CPSR ^ value) & (ModeMask | FlagT | FlagI)) EndSliceEarly(cpu);
    cpu.CPSR = value;
}

void EnterIrqException(CpuState& cpu) {
    cpu.SPSR_irq = cpu.CPSR;
    WriteCpsr(cpu, (cpu.CPSR & 0xFFFFFFC0u) | 0x92);
    cpu.R[14] = cpu.R[15] + 4;
    cpu.R[15] = 0x18;
}

void EnterSwiException(CpuState& cpu) {
    cpu.SPSR_svc = cpu.CPSR;
    // Like every exception, SWI masks interrupts; the BIOS's handler
    // decides when to let them in again.
    WriteCpsr(cpu, (cpu.CPSR & 0xFFFFFFC0u) | FlagI | ModeSupervisor);
    cpu.R[14] = cpu.R[15];
    cpu.R[15] = 0x08;
}

void EnterHandOverState(CpuState& cpu, uint32_t entry) {
    cpu.R13_svc = 0x03007FE0;
    cpu.R13_irq = 0x03007FA0;
    cpu.R14_svc = cpu.R14_irq = 0;
    cpu.SPSR_svc = cpu.SPSR_irq = 0;
    // Set in place, not through WriteCpsr: System mode's own R13 and R14
    // are set below as the live registers.
    cpu.CPSR = ModeSystem;
    cpu.R[13] = 0x03007F00;
    cpu.R[14] = 0;
    cpu.R[15] = entry;
}
