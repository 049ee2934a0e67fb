#pragma once
// ARM loads and stores. Loads read host memory straight through the read
// map and charge their own cycles; stores go through the bus functions,
// which carry the side effects of I/O, backup memory and read-only pages.

#include <bit>
#include <cstdint>

#include "cpu/alu.h"
#include "cpu/core.h"
#include "cpu/data_access.h"
#include "cpu/modes.h"

namespace arm {

// Opcode bits of the transfer classes, taken from the table row.
inline constexpr uint32_t RowP = 0x10, RowU = 0x08, RowB = 0x04, RowW = 0x02, RowL = 0x01;

// LDR / STR / LDRB / STRB. Row bits: P U B W L. RegisterOffset: the offset
// is Rm shifted by an immediate (the shifter never touches C here).
template <uint32_t Row, bool RegisterOffset, uint32_t Type>
void SingleTransfer(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    constexpr bool pre = Row & RowP, up = Row & RowU, byte = Row & RowB, writeBack = Row & RowW, load = Row & RowL;
    const uint32_t rn = (opcode >> 16) & 15;
    const uint32_t rd = (opcode >> 12) & 15;

    core.ShowPc(4);  // R15 reads as the instruction's address + 8
    const uint32_t base = cpu.R[rn];
    uint32_t offset;
    if constexpr (RegisterOffset)
        offset = ShiftByImmediate<Type>(cpu.R[opcode & 15], (opcode >> 7) & 31, core.c).value;
    else
        offset = opcode & 0xFFF;

    const uint32_t moved = up ? base + offset : base - offset;
    const uint32_t address = pre ? moved : base;
    if constexpr (load) {
        core.SetRegister(rd, byte ? LoadByte(core, address) : LoadWord(core, address));
        core.cycles -= 1;
    } else {
        // Storing R15 gives the instruction's address + 12.
        const uint32_t value = core.Operand(rd, 8);
        if constexpr (byte)
            StoreByte(core, address, value);
        else
            StoreWord(core, address, value);
    }
    // Written back after the load, so with Rd = Rn the base value wins. W on
    // a post-indexed transfer (the T forms) changes nothing here.
    if constexpr (!pre || writeBack) core.SetRegister(rn, moved);
}

enum class HalfKind { Half, SignedByte, SignedHalf };

// STRH / LDRH / LDRSB / LDRSH. Row bit 2 selects an 8-bit immediate offset.
// A post-indexed transfer always writes back; W set on it changes nothing.
template <uint32_t Row, HalfKind Kind>
void HalfwordTransfer(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    constexpr bool pre = Row & RowP, up = Row & RowU, immediate = Row & RowB, writeBack = Row & RowW,
                   load = Row & RowL;
    const uint32_t rn = (opcode >> 16) & 15;
    const uint32_t rd = (opcode >> 12) & 15;

    core.ShowPc(4);
    const uint32_t base = cpu.R[rn];
    const uint32_t offset = immediate ? ((opcode >> 4) & 0xF0) | (opcode & 0xF) : cpu.R[opcode & 15];

    const uint32_t moved = up ? base + offset : base - offset;
    const uint32_t address = pre ? moved : base;
    if constexpr (load) {
        uint32_t value;
        if constexpr (Kind == HalfKind::Half)
            value = LoadHalf(core, address);
        else if constexpr (Kind == HalfKind::SignedByte)
            value = uint32_t(int32_t(int8_t(LoadByte(core, address))));
        else
            value = uint32_t(int32_t(int16_t(LoadHalf(core, address))));
        core.SetRegister(rd, value);
        core.cycles -= 1;
    } else {
        StoreHalf(core, address, core.Operand(rd, 8));
    }
    if constexpr (!pre || writeBack) core.SetRegister(rn, moved);
}

// SWP / SWPB: load, store, then write Rd, so Rd = Rm exchanges.
template <bool Byte>
void Swap(Core& core, uint32_t opcode) {
    core.ShowPc(0);
    const uint32_t address = core.cpu.R[(opcode >> 16) & 15];
    const uint32_t source = core.cpu.R[opcode & 15];
    uint32_t old;
    if constexpr (Byte) {
        old = LoadByte(core, address);
        StoreByte(core, address, source);
    } else {
        old = LoadWord(core, address);
        StoreWord(core, address, source);
    }
    core.SetRegister((opcode >> 12) & 15, old);
    core.cycles -= 1;
}

// LDM / STM, one handler per row (P U S W L). The memory image is the
// architectural one: registers go in ascending order from the lowest
// address, which the two address bits of a misaligned base do not move.
template <uint32_t Row>
void BlockTransfer(Core& core, uint32_t opcode) {
    constexpr bool pre = Row & RowP, up = Row & RowU, userBank = Row & RowB, writeBack = Row & RowW,
                   load = Row & RowL;
    const uint32_t rn = (opcode >> 16) & 15;
    const uint32_t list = opcode & 0xFFFF;
    const uint32_t size = 4 * CountRegisters(list);

    // R15 as a stored register or as the base of a store reads as the
    // instruction's address + 12; a load reads it without offset.
    constexpr uint32_t pcLead = load ? 0 : 8;
    const uint32_t base = core.Operand(rn, pcLead);
    const uint32_t final = up ? base + size : base - size;
    uint32_t address = (up ? base : final) + (pre == up ? 4 : 0);

    if constexpr (load) {
        // The base is written back before the words arrive, so a loaded base
        // keeps the loaded value, and before a status restore, so the base
        // of the mode that ran the instruction is the one written.
        if constexpr (writeBack) core.SetRegister(rn, final);
        for (uint32_t rest = list; rest != 0; rest &= rest - 1) {
            core.SetRegister(std::countr_zero(rest), LoadWord(core, address & ~3u));
            address += 4;
        }
        // LDM with S and R15 in the list returns from an exception.
        if constexpr (userBank) {
            if (list & 0x8000) core.CallOut([](Machine& machine) { RestoreCpsrFromSpsr(machine.Cpu); });
        }
        core.cycles -= 1;
    } else {
        // The base is written back once the first register is stored: a
        // listed base stores its old value when it is the lowest register,
        // else the written-back address.
        const uint32_t lowest = list & (0u - list);
        for (uint32_t rest = list; rest != 0; rest &= rest - 1) {
            const uint32_t reg = std::countr_zero(rest);
            uint32_t value = core.Operand(reg, pcLead);
            if (writeBack && reg == rn && (1u << reg) != lowest) value = final;
            StoreWord(core, address & ~3u, value);
            address += 4;
        }
        if constexpr (writeBack) core.SetRegister(rn, final);
    }
}

}  // namespace arm
