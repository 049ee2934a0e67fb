#pragma once
// The status register and processor modes: R13/R14 banking, the saved
// status registers, and the two exceptions this CPU enters (IRQ, and SWI
// when a real BIOS image is loaded).

#include <cstdint>

#include "cpu/cpu_state.h"

// The only way a new mode is entered: swaps the R13/R14 banks when the mode
// changes, cuts the slice short when the mode, T or I changes, then sets all
// 32 bits of CPSR.
void WriteCpsr(CpuState& cpu, uint32_t value);

// The saved status register of the current mode, or null in User, System
// and invalid modes (which have none).
uint32_t* CurrentSpsr(CpuState& cpu);

// Restores CPSR from the current mode's SPSR (exception return); does
// nothing in modes without one.
inline void RestoreCpsrFromSpsr(CpuState& cpu) {
    if (uint32_t* spsr = CurrentSpsr(cpu)) WriteCpsr(cpu, *spsr);
}

// IRQ entry at a slice end: IRQ mode, ARM state, I set, R14 = R15 + 4,
// R15 = 0x18.
void EnterIrqException(CpuState& cpu);

// SWI entry through a real BIOS image: Supervisor mode, ARM state, I set,
// R14 = the instruction after the SWI, R15 = 0x08.
void EnterSwiException(CpuState& cpu);

// The state in which the BIOS hands the machine to a game, at power-on and
// after SoftReset: System mode with interrupts enabled, ARM state, the
// stacks of System (0x03007F00), Supervisor (0x03007FE0) and IRQ mode
// (0x03007FA0) set, the saved status and link registers of the two
// exception modes cleared, and R15 = entry. Registers R0-R12 are left alone
// and the slice is not ended: a caller inside a running slice ends it.
void EnterHandOverState(CpuState& cpu, uint32_t entry);
