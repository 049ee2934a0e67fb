#pragma once
// THUMB loads and stores. Loads read host memory straight through the read
// map and charge their region plus one internal cycle; stores go through the
// bus functions, which charge their own cycles and carry the side effects of
// I/O, backup memory and read-only pages.

#include <bit>
#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/direct_load.h"
#include "machine/bus.h"
#include "machine/machine.h"

namespace thumb {

enum class Width { Word, Half, Byte, SignedHalf, SignedByte };

// One load of the given width. A misaligned word comes back shifted right;
// both halfword forms read the halfword at the even address, so a signed
// halfword from an odd address is still a halfword.
template <Width W>
inline uint32_t Load(Machine& m, uint32_t address) {
    if constexpr (W == Width::Word)
        return LoadWord(m, address);
    else if constexpr (W == Width::Half)
        return LoadHalf(m, address);
    else if constexpr (W == Width::Byte)
        return LoadByte(m, address);
    else if constexpr (W == Width::SignedHalf)
        return uint32_t(int32_t(int16_t(LoadHalf(m, address))));
    else
        return uint32_t(int32_t(int8_t(LoadByte(m, address))));
}

template <Width W>
inline void Store(Machine& m, uint32_t address, uint32_t value) {
    static_assert(W == Width::Word || W == Width::Half || W == Width::Byte);
    if constexpr (W == Width::Word)
        BusWrite32(m, address, value);
    else if constexpr (W == Width::Half)
        BusWrite16(m, address, uint16_t(value));
    else
        BusWrite8(m, address, uint8_t(value));
}

// A single load or store of Rd (bits 2-0) at a computed address; loads take
// one internal cycle beyond the access.
template <Width W, bool IsLoad>
inline void Transfer(Machine& m, uint32_t rd, uint32_t address) {
    CpuState& cpu = m.Cpu;
    if constexpr (IsLoad) {
        cpu.R[rd] = Load<W>(m, address);
        cpu.Cycles -= 1;
    } else {
        Store<W>(m, address, cpu.R[rd]);
    }
}

// STR / STRH / STRB / LDSB / LDR / LDRH / LDRB / LDSH Rd, [Rb, Ro].
template <Width W, bool IsLoad>
void RegisterOffsetTransfer(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t address = cpu.R[(opcode >> 3) & 7] + cpu.R[(opcode >> 6) & 7];
    Transfer<W, IsLoad>(m, opcode & 7, address);
}

// STR / LDR / STRB / LDRB / STRH / LDRH Rd, [Rb, #imm5], the offset scaled
// by the access size.
template <Width W, bool IsLoad>
void ImmediateOffsetTransfer(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    constexpr uint32_t scale = W == Width::Word ? 4 : W == Width::Half ? 2 : 1;
    const uint32_t address = cpu.R[(opcode >> 3) & 7] + ((opcode >> 6) & 31) * scale;
    Transfer<W, IsLoad>(m, opcode & 7, address);
}

// LDR Rd, [PC, #imm8 x 4]: the PC is rounded down to a word first.
template <uint32_t Rd>
void LoadPcRelative(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t address = ((cpu.R[15] + 2) & ~3u) + (opcode & 0xFF) * 4;
    Transfer<Width::Word, true>(m, Rd, address);
}

// STR / LDR Rd, [SP, #imm8 x 4].
template <bool IsLoad, uint32_t Rd>
void StackRelativeTransfer(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    Transfer<Width::Word, IsLoad>(m, Rd, cpu.R[13] + (opcode & 0xFF) * 4);
}

// The block transfers below work on the base rounded down to a word and give
// the written-back base the low two bits the old one had.

// PUSH {Rlist} / {Rlist, LR}: LR first at the top, then R7 down to R0, so the
// lowest register lands at the lowest address.
template <bool WithLinkRegister>
void Push(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t base = cpu.R[13];
    uint32_t address = base & ~3u;
    if constexpr (WithLinkRegister) {
        address -= 4;
        BusWrite32(m, address, cpu.R[14]);
    }
    for (uint32_t list = opcode & 0xFF; list != 0;) {
        const uint32_t reg = 31 - std::countl_zero(list);
        list &= ~(1u << reg);
        address -= 4;
        BusWrite32(m, address, cpu.R[reg]);
    }
    cpu.R[13] = address | (base & 3);
}

// POP {Rlist} / {Rlist, PC}. The popped PC loses bit 0 and the CPU stays in
// THUMB state. Unlike single loads, no internal cycle is charged.
template <bool WithProgramCounter>
void Pop(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t base = cpu.R[13];
    uint32_t address = base & ~3u;
    for (uint32_t list = opcode & 0xFF; list != 0; list &= list - 1) {
        cpu.R[std::countr_zero(list)] = LoadWord(m, address);
        address += 4;
    }
    if constexpr (WithProgramCounter) {
        cpu.R[15] = LoadWord(m, address) & ~1u;
        address += 4;
    }
    cpu.R[13] = address | (base & 3);
}

// STMIA / LDMIA Rb!, {Rlist} with Rb (bits 10-8) fixed per handler. As in
// ARM state the base is written back before the loads, so a loaded Rb keeps
// the loaded word (GCC's struct copies rely on it), and after the first
// store, so a stored Rb is its old value only when it is the lowest listed
// register. An empty list changes nothing.
template <bool IsLoad, uint32_t Rb>
void MultipleTransfer(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t list = opcode & 0xFF;
    const uint32_t base = cpu.R[Rb];
    uint32_t address = base & ~3u;
    const uint32_t final = (address + 4 * uint32_t(std::popcount(list))) | (base & 3);
    if constexpr (IsLoad) {
        cpu.R[Rb] = final;
        for (uint32_t rest = list; rest != 0; rest &= rest - 1) {
            cpu.R[std::countr_zero(rest)] = LoadWord(m, address);
            address += 4;
        }
    } else {
        const uint32_t lowest = list & (0u - list);
        for (uint32_t rest = list; rest != 0; rest &= rest - 1) {
            const uint32_t reg = std::countr_zero(rest);
            const bool newBase = reg == Rb && (1u << reg) != lowest;
            BusWrite32(m, address, newBase ? final : cpu.R[reg]);
            address += 4;
        }
        cpu.R[Rb] = final;
    }
}

}  // namespace thumb
