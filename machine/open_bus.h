#pragma once
// What a load reads where no memory answers it. The CPU's bus then still
// holds the last opcode it fetched, two instructions ahead of the one that
// loads; and the BIOS ROM, which only answers the code running inside it,
// gives every other reader the BIOS opcode fetched last instead.

#include <cstdint>

#include "cpu/cpu_state.h"
#include "machine/machine.h"

// The BIOS opcodes left on the bus by the ways out of the BIOS: the jump to
// the cartridge at start-up, the return from a BIOS call (SWI), the branch
// into the game's interrupt handler and the return from the interrupt.
inline constexpr uint32_t BiosLatchAfterStartUp = 0xE129F000;
inline constexpr uint32_t BiosLatchAfterSwi = 0xE3A02004;
inline constexpr uint32_t BiosLatchInInterrupt = 0xE25EF004;
inline constexpr uint32_t BiosLatchAfterInterrupt = 0xE55EC002;

// R14 of IRQ mode, wherever it is kept just now.
inline uint32_t InterruptReturn(const CpuState& cpu) {
    return (cpu.CPSR & ModeMask) == ModeIrq ? cpu.R[14] : cpu.R14_irq;
}

// The BIOS has just been left at start-up or after a BIOS call, which left
// `opcode` on the bus. R14 of IRQ mode is noted with it: every interrupt
// taken writes it, so a change of it later tells that one was taken.
inline void LatchBiosOpcode(Machine& m, uint32_t opcode) {
    m.BiosLatch = opcode;
    m.InterruptReturnAtLatch = InterruptReturn(m.Cpu);
}

// The word a CPU load from nothing reads: the prefetched opcode. In ARM
// state that is the word two instructions after the load; a THUMB opcode
// comes doubled from the 16-bit memories and next to its neighbour from
// the 32-bit ones (internal work RAM, BIOS, OAM).
uint32_t CpuOpenBus(const Machine& m);

// The word a CPU load from the BIOS area (0x00000000-0x00003FFF) reads at
// the aligned address: the ROM itself from code inside the BIOS, else the
// BIOS opcode fetched last: inside the game's interrupt handler (in IRQ
// mode) the BIOS's return instruction, after an interrupt taken since the
// last latch the instruction behind it.
uint32_t BiosWord(const Machine& m, uint32_t address);
