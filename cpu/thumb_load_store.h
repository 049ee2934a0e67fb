#pragma once
// THUMB loads and stores, made through the CPU's data accesses
// (cpu/data_access.h): loads read host memory straight through the read
// map and charge their region plus one internal cycle; stores charge their
// region and take the bus's slow path where they have side effects (I/O,
// backup memory, the video memories' mirrors).

#include <bit>
#include <cstdint>

#include "cpu/core.h"
#include "cpu/data_access.h"

namespace thumb {

enum class Width { Word, Half, Byte, SignedHalf, SignedByte };

// One load of the given width. A misaligned word comes back shifted right;
// both halfword forms read the halfword at the even address, so a signed
// halfword from an odd address is still a halfword.
template <Width W>
inline uint32_t Load(Core& core, uint32_t address) {
    if constexpr (W == Width::Word)
        return LoadWord(core, address);
    else if constexpr (W == Width::Half)
        return LoadHalf(core, address);
    else if constexpr (W == Width::Byte)
        return LoadByte(core, address);
    else if constexpr (W == Width::SignedHalf)
        return uint32_t(int32_t(int16_t(LoadHalf(core, address))));
    else
        return uint32_t(int32_t(int8_t(LoadByte(core, address))));
}

template <Width W>
inline void Store(Core& core, uint32_t address, uint32_t value) {
    static_assert(W == Width::Word || W == Width::Half || W == Width::Byte);
    if constexpr (W == Width::Word)
        StoreWord(core, address, value);
    else if constexpr (W == Width::Half)
        StoreHalf(core, address, value);
    else
        StoreByte(core, address, value);
}

// A single load or store of Rd (bits 2-0) at a computed address; loads take
// one internal cycle beyond the access.
template <Width W, bool IsLoad>
inline void Transfer(Core& core, uint32_t rd, uint32_t address) {
    if constexpr (IsLoad) {
        core.cpu.R[rd] = Load<W>(core, address);
        core.cycles -= 1;
    } else {
        Store<W>(core, address, core.cpu.R[rd]);
    }
}

// STR / STRH / STRB / LDSB / LDR / LDRH / LDRB / LDSH Rd, [Rb, Ro].
template <Width W, bool IsLoad>
void RegisterOffsetTransfer(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t address = cpu.R[(opcode >> 3) & 7] + cpu.R[(opcode >> 6) & 7];
    Transfer<W, IsLoad>(core, opcode & 7, address);
}

// STR / LDR / STRB / LDRB / STRH / LDRH Rd, [Rb, #imm5], the offset scaled
// by the access size.
template <Width W, bool IsLoad>
void ImmediateOffsetTransfer(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    constexpr uint32_t scale = W == Width::Word ? 4 : W == Width::Half ? 2 : 1;
    const uint32_t address = cpu.R[(opcode >> 3) & 7] + ((opcode >> 6) & 31) * scale;
    Transfer<W, IsLoad>(core, opcode & 7, address);
}

// LDR Rd, [PC, #imm8 x 4]: the PC is rounded down to a word first.
template <uint32_t Rd>
void LoadPcRelative(Core& core, uint32_t opcode) {
    const uint32_t address = ((core.pc + 2) & ~3u) + (opcode & 0xFF) * 4;
    Transfer<Width::Word, true>(core, Rd, address);
}

// STR / LDR Rd, [SP, #imm8 x 4].
template <bool IsLoad, uint32_t Rd>
void StackRelativeTransfer(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    Transfer<Width::Word, IsLoad>(core, Rd, cpu.R[13] + (opcode & 0xFF) * 4);
}

// The block transfers below work on the base rounded down to a word and give
// the written-back base the low two bits the old one had.

// PUSH {Rlist} / {Rlist, LR}: LR first at the top, then R7 down to R0, so the
// lowest register lands at the lowest address.
template <bool WithLinkRegister>
void Push(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t base = cpu.R[13];
    uint32_t address = base & ~3u;
    if constexpr (WithLinkRegister) {
        address -= 4;
        StoreWord(core, address, cpu.R[14]);
    }
    for (uint32_t list = opcode & 0xFF; list != 0;) {
        const uint32_t reg = 31 - std::countl_zero(list);
        list &= ~(1u << reg);
        address -= 4;
        StoreWord(core, address, cpu.R[reg]);
    }
    cpu.R[13] = address | (base & 3);
}

// POP {Rlist} / {Rlist, PC}. The popped PC loses bit 0 and the CPU stays in
// THUMB state. Unlike single loads, no internal cycle is charged.
template <bool WithProgramCounter>
void Pop(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t base = cpu.R[13];
    uint32_t address = base & ~3u;
    for (uint32_t list = opcode & 0xFF; list != 0; list &= list - 1) {
        cpu.R[std::countr_zero(list)] = LoadWord(core, address);
        address += 4;
    }
    if constexpr (WithProgramCounter) {
        core.Jump(LoadWord(core, address) & ~1u);
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
void MultipleTransfer(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t list = opcode & 0xFF;
    const uint32_t base = cpu.R[Rb];
    uint32_t address = base & ~3u;
    const uint32_t final = (address + 4 * CountRegisters(list)) | (base & 3);
    if constexpr (IsLoad) {
        cpu.R[Rb] = final;
        for (uint32_t rest = list; rest != 0; rest &= rest - 1) {
            cpu.R[std::countr_zero(rest)] = LoadWord(core, address);
            address += 4;
        }
    } else {
        const uint32_t lowest = list & (0u - list);
        for (uint32_t rest = list; rest != 0; rest &= rest - 1) {
            const uint32_t reg = std::countr_zero(rest);
            const bool newBase = reg == Rb && (1u << reg) != lowest;
            StoreWord(core, address, newBase ? final : cpu.R[reg]);
            address += 4;
        }
        cpu.R[Rb] = final;
    }
}

}  // namespace thumb
