#pragma once
// ARM loads and stores. Loads read host memory straight through the read
// map and charge their own cycles; stores go through the bus functions,
// which carry the side effects of I/O, backup memory and read-only pages.

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/direct_load.h"
#include "cpu/modes.h"
#include "machine/bus.h"

namespace arm {

// Opcode bits of the transfer classes, taken from the table row.
inline constexpr uint32_t RowP = 0x10, RowU = 0x08, RowB = 0x04, RowW = 0x02, RowL = 0x01;

// LDR / STR / LDRB / STRB. Row bits: P U B W L. RegisterOffset: the offset
// is Rm shifted by an immediate (the shifter never touches C here).
template <uint32_t Row, bool RegisterOffset, uint32_t Type>
void SingleTransfer(CpuState& cpu, uint32_t opcode) {
    constexpr bool pre = Row & RowP, up = Row & RowU, byte = Row & RowB, writeBack = Row & RowW, load = Row & RowL;
    const uint32_t rn = (opcode >> 16) & 15;
    const uint32_t rd = (opcode >> 12) & 15;

    cpu.R[15] += 4;  // R15 reads as the instruction's address + 8
    const uint32_t base = cpu.R[rn];
    uint32_t offset;
    if constexpr (RegisterOffset)
        offset = ShiftByImmediate<Type>(cpu.R[opcode & 15], (opcode >> 7) & 31, CarryIn(cpu)).value;
    else
        offset = opcode & 0xFFF;
    cpu.R[15] -= 4;

    const uint32_t moved = up ? base + offset : base - offset;
    const uint32_t address = pre ? moved : base;
    if constexpr (load) {
        cpu.R[rd] = byte ? LoadByte(cpu, address) : LoadWord(cpu, address);
        cpu.Cycles -= 1;
    } else {
        // Storing R15 gives the instruction's address + 12.
        const uint32_t value = rd == 15 ? cpu.R[15] + 8 : cpu.R[rd];
        if constexpr (byte) BusWrite8(address, uint8_t(value));
        else BusWrite32(address, value);
    }
    // Written back after the load, so with Rd = Rn the base value wins. W on
    // a post-indexed transfer (the T forms) changes nothing here.
    if constexpr (!pre || writeBack) cpu.R[rn] = moved;
}

enum class HalfKind { Half, SignedByte, SignedHalf };

// STRH / LDRH / LDRSB / LDRSH. Row bit 2 selects an 8-bit immediate offset.
template <uint32_t Row, HalfKind Kind>
void HalfwordTransfer(CpuState& cpu, uint32_t opcode) {
    constexpr bool pre = Row & RowP, up = Row & RowU, immediate = Row & RowB, writeBack = Row & RowW,
                   load = Row & RowL;
    const uint32_t rn = (opcode >> 16) & 15;
    const uint32_t rd = (opcode >> 12) & 15;

    cpu.R[15] += 4;
    const uint32_t base = cpu.R[rn];
    const uint32_t offset = immediate ? ((opcode >> 4) & 0xF0) | (opcode & 0xF) : cpu.R[opcode & 15];
    cpu.R[15] -= 4;

    const uint32_t moved = up ? base + offset : base - offset;
    const uint32_t address = pre ? moved : base;
    if constexpr (load) {
        uint32_t value;
        if constexpr (Kind == HalfKind::Half) value = LoadHalf(cpu, address);
        else if constexpr (Kind == HalfKind::SignedByte) value = uint32_t(int32_t(int8_t(LoadByte(cpu, address))));
        else value = uint32_t(int32_t(int16_t(LoadHalf(cpu, address))));
        cpu.R[rd] = value;
        cpu.Cycles -= 1;
    } else {
        const uint32_t value = rd == 15 ? cpu.R[15] + 8 : cpu.R[rd];
        BusWrite16(address, uint16_t(value));
    }
    if constexpr (!pre || writeBack) cpu.R[rn] = moved;
}

// SWP / SWPB: load, store, then write Rd, so Rd = Rm exchanges.
template <bool Byte>
void Swap(CpuState& cpu, uint32_t opcode) {
    const uint32_t address = cpu.R[(opcode >> 16) & 15];
    const uint32_t source = cpu.R[opcode & 15];
    uint32_t old;
    if constexpr (Byte) {
        old = LoadByte(cpu, address);
        BusWrite8(address, uint8_t(source));
    } else {
        old = LoadWord(cpu, address);
        BusWrite32(address, source);
    }
    cpu.R[(opcode >> 12) & 15] = old;
    cpu.Cycles -= 1;
}

// LDM / STM, one handler per row (P U S W L). The memory image is the
// architectural one: the lowest register at the lowest address.
template <uint32_t Row>
void BlockTransfer(CpuState& cpu, uint32_t opcode) {
    constexpr bool pre = Row & RowP, up = Row & RowU, userBank = Row & RowB, writeBack = Row & RowW,
                   load = Row & RowL;
    const uint32_t rn = (opcode >> 16) & 15;
    const uint32_t list = opcode & 0xFFFF;

    if constexpr (load) {
        uint32_t address = cpu.R[rn];
        if constexpr (up) {
            for (uint32_t reg = 0; reg < 16; ++reg) {
                if (!(list & (1u << reg))) continue;
                if constexpr (pre) address += 4;
                cpu.R[reg] = LoadWord(cpu, address);
                if constexpr (!pre) address += 4;
            }
        } else {
            for (int reg = 15; reg >= 0; --reg) {
                if (!(list & (1u << reg))) continue;
                if constexpr (pre) address -= 4;
                cpu.R[reg] = LoadWord(cpu, address);
                if constexpr (!pre) address -= 4;
            }
        }
        // LDM with S and R15 in the list returns from an exception; the
        // write-back then lands in the restored mode's registers.
        if constexpr (userBank) {
            if (list & 0x8000) RestoreCpsrFromSpsr(cpu);
        }
        if constexpr (writeBack) cpu.R[rn] = address;
        cpu.Cycles -= 1;
    } else {
        // R15 as a listed register or base reads as the address + 12. A
        // listed base is stored with its value from before the instruction.
        cpu.R[15] += 8;
        uint32_t address = cpu.R[rn];
        if constexpr (up) {
            for (uint32_t reg = 0; reg < 16; ++reg) {
                if (!(list & (1u << reg))) continue;
                if constexpr (pre) address += 4;
                BusWrite32(address, cpu.R[reg]);
                if constexpr (!pre) address += 4;
            }
        } else {
            for (int reg = 15; reg >= 0; --reg) {
                if (!(list & (1u << reg))) continue;
                if constexpr (pre) address -= 4;
                BusWrite32(address, cpu.R[reg]);
                if constexpr (!pre) address -= 4;
            }
        }
        cpu.R[15] -= 8;
        if constexpr (writeBack) cpu.R[rn] = address;
    }
}

}  // namespace arm
