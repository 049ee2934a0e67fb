#pragma once
// THUMB shifts, additions, immediate operations, the ALU group, hi-register
// operations, address generation, branches and SWI: the handler templates
// behind ThumbHandlerTable. While a handler runs R15 holds the instruction's
// address + 2; where the PC is an operand it reads as the address + 4.

#include <bit>
#include <cstdint>

#include "cpu/alu.h"
#include "cpu/bios.h"
#include "cpu/cpu_state.h"
#include "cpu/run_loop.h"
#include "machine/machine.h"

namespace thumb {

// The PC as an operand: one halfword ahead of R15.
inline uint32_t ProgramCounter(const CpuState& cpu) { return cpu.R[15] + 2; }

// LSL / LSR / ASR Rd, Rs, #n (n = bits 10-6). An amount of 0 keeps the value
// and C for LSL and means 32 for LSR and ASR, as in the ARM shifter.
template <uint32_t Type>
void ShiftImmediate(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const Shifted shifted = ShiftByImmediate<Type>(cpu.R[(opcode >> 3) & 7], (opcode >> 6) & 31, CarryIn(cpu));
    cpu.R[opcode & 7] = shifted.value;
    SetNZC(cpu, shifted.value, shifted.carry);
}

// ADD / SUB Rd, Rs, Rn and ADD / SUB Rd, Rs, #imm3 (bits 8-6).
template <bool Subtract, bool Immediate>
void AddSubtract(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t field = (opcode >> 6) & 7;
    const uint32_t a = cpu.R[(opcode >> 3) & 7];
    const uint32_t b = Immediate ? field : cpu.R[field];
    const uint32_t result = Subtract ? a - b : a + b;
    cpu.R[opcode & 7] = result;
    if constexpr (Subtract)
        SetSubFlagsNoBorrow(cpu, a, b, result);
    else
        SetAddFlagsNoCarry(cpu, a, b, result);
}

enum ImmediateOp : uint32_t { ImmMOV, ImmCMP, ImmADD, ImmSUB };

// MOV / CMP / ADD / SUB Rd, #imm8, with Rd (bits 10-8) fixed per handler.
// MOV sets N and Z only: N is always clear for an 8-bit value.
template <uint32_t Op, uint32_t Rd>
void ImmediateOperation(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t imm = opcode & 0xFF;
    const uint32_t a = cpu.R[Rd];
    if constexpr (Op == ImmMOV) {
        cpu.R[Rd] = imm;
        SetNZ(cpu, imm);
    } else if constexpr (Op == ImmCMP) {
        SetSubFlagsNoBorrow(cpu, a, imm, a - imm);
    } else if constexpr (Op == ImmADD) {
        cpu.R[Rd] = a + imm;
        SetAddFlagsNoCarry(cpu, a, imm, a + imm);
    } else {
        cpu.R[Rd] = a - imm;
        SetSubFlagsNoBorrow(cpu, a, imm, a - imm);
    }
}

enum AluOp : uint32_t {
    AluAND,
    AluEOR,
    AluLSL,
    AluLSR,
    AluASR,
    AluADC,
    AluSBC,
    AluROR,
    AluTST,
    AluNEG,
    AluCMP,
    AluCMN,
    AluORR,
    AluMUL,
    AluBIC,
    AluMVN
};

// One of the sixteen two-register ALU operations, Rd op= Rs.
template <uint32_t Op>
inline void AluOperation(CpuState& cpu, uint32_t opcode) {
    const uint32_t rd = opcode & 7;
    const uint32_t d = cpu.R[rd];
    const uint32_t s = cpu.R[(opcode >> 3) & 7];

    if constexpr (Op == AluLSL || Op == AluLSR || Op == AluASR || Op == AluROR) {
        // Register-specified shifts take one internal cycle. They use the
        // low byte of Rs as in ARM state: ROR by a nonzero multiple of 32
        // keeps the value and sets C from bit 31.
        constexpr uint32_t type = Op == AluLSL   ? ShiftLSL
                                  : Op == AluLSR ? ShiftLSR
                                  : Op == AluASR ? ShiftASR
                                                 : ShiftROR;
        const Shifted shifted = ShiftByRegister<type>(d, s & 0xFF, CarryIn(cpu));
        cpu.R[rd] = shifted.value;
        SetNZC(cpu, shifted.value, shifted.carry);
        cpu.Cycles -= 1;
    } else if constexpr (Op == AluADC) {
        const uint32_t result = d + s + CarryIn(cpu);
        cpu.R[rd] = result;
        SetAddFlags(cpu, d, s, result);
    } else if constexpr (Op == AluSBC) {
        const uint32_t result = d - s - 1 + CarryIn(cpu);
        cpu.R[rd] = result;
        SetSubFlags(cpu, d, s, result);
    } else if constexpr (Op == AluNEG) {
        // A subtraction from zero: V is set only for 0x80000000, whose
        // negation does not fit.
        const uint32_t result = 0u - s;
        cpu.R[rd] = result;
        SetSubFlagsNoBorrow(cpu, 0, s, result);
    } else if constexpr (Op == AluCMP) {
        SetSubFlagsNoBorrow(cpu, d, s, d - s);
    } else if constexpr (Op == AluCMN) {
        SetAddFlagsNoCarry(cpu, d, s, d + s);
    } else if constexpr (Op == AluMUL) {
        const uint32_t result = d * s;
        cpu.R[rd] = result;
        cpu.CPSR = (cpu.CPSR & 0x0FFFFFFF) | (result & FlagN) | (result == 0 ? FlagZ : 0);
        cpu.Cycles -= 4;
    } else if constexpr (Op == AluTST) {
        SetNZ(cpu, d & s);
    } else {
        uint32_t result;
        if constexpr (Op == AluAND)
            result = d & s;
        else if constexpr (Op == AluEOR)
            result = d ^ s;
        else if constexpr (Op == AluORR)
            result = d | s;
        else if constexpr (Op == AluBIC)
            result = d & ~s;
        else
            result = ~s;
        cpu.R[rd] = result;
        SetNZ(cpu, result);
    }
}

// Top bytes 0x40-0x43 hold the upper two bits of the ALU opcode (bits 9-8);
// the lower two (bits 7-6) are chosen here.
template <uint32_t Group>
void AluGroup(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    switch ((opcode >> 6) & 3) {
    case 0: AluOperation<Group * 4 + 0>(cpu, opcode); break;
    case 1: AluOperation<Group * 4 + 1>(cpu, opcode); break;
    case 2: AluOperation<Group * 4 + 2>(cpu, opcode); break;
    default: AluOperation<Group * 4 + 3>(cpu, opcode); break;
    }
}

enum HiOp : uint32_t { HiADD, HiCMP, HiMOV, HiBX };

// A hi-register operand: R15 reads as the PC.
inline uint32_t ReadHiRegister(const CpuState& cpu, uint32_t reg) { return cpu.R[reg] + (reg == 15 ? 2 : 0); }

// ADD / CMP / MOV / BX on any registers: the destination is bits 2-0 with H1
// (bit 7) as bit 3, the source bits 5-3 with H2 (bit 6) as bit 3. With both
// H bits clear the same operation runs on lo registers.
template <uint32_t Op>
void HiRegisterOperation(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t source = ReadHiRegister(cpu, (opcode >> 3) & 15);
    if constexpr (Op == HiBX) {
        // Bit 0 of the target selects THUMB. Going to ARM state ends the slice
        // so that the ARM loop fetches the next instruction.
        if (source & 1) {
            cpu.R[15] = source & ~1u;
        } else {
            cpu.R[15] = source & ~3u;
            cpu.CPSR &= ~FlagT;
            EndSliceEarly(cpu);
        }
        return;
    }
    const uint32_t rd = (opcode & 7) | ((opcode >> 4) & 8);
    if constexpr (Op == HiCMP) {
        const uint32_t a = ReadHiRegister(cpu, rd);
        SetSubFlagsNoBorrow(cpu, a, source, a - source);
    } else {
        // A write to R15 is a jump that stays in THUMB state: the halfword
        // alignment is forced whatever the destination was.
        cpu.R[rd] = Op == HiADD ? ReadHiRegister(cpu, rd) + source : source;
        cpu.R[15] &= ~1u;
    }
}

// ADD Rd, PC, #imm8 x 4 (the PC word-aligned) and ADD Rd, SP, #imm8 x 4.
template <bool StackPointer, uint32_t Rd>
void AddressGenerate(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t base = StackPointer ? cpu.R[13] : ProgramCounter(cpu) & ~3u;
    cpu.R[Rd] = base + (opcode & 0xFF) * 4;
}

// ADD SP, #+/-imm7 x 4; bit 7 gives the sign.
inline void AdjustStack(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t offset = (opcode & 0x7F) * 4;
    cpu.R[13] = (opcode & 0x80) ? cpu.R[13] - offset : cpu.R[13] + offset;
}

// B{cond}: the target is the instruction's address + 4 + offset x 2.
template <uint32_t Cond>
void ConditionalBranch(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    if (ConditionPasses(Cond, cpu.CPSR)) cpu.R[15] += uint32_t(int32_t(int8_t(opcode)) * 2 + 2);
}

inline void Branch(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const int32_t offset = int32_t(opcode << 21) >> 20;
    cpu.R[15] += uint32_t(offset + 2);
}

// BL is two independent instructions. The first half leaves the upper part
// of the offset, relative to the PC, in R14.
inline void LongBranchFirst(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const int32_t offset = int32_t(opcode << 21) >> 9;
    cpu.R[14] = ProgramCounter(cpu) + uint32_t(offset);
}

// The second half jumps to R14 plus the lower part of the offset and leaves
// the return address, marked as THUMB by bit 0, in R14. Run alone it jumps
// relative to whatever R14 holds.
inline void LongBranchSecond(Machine& m, uint32_t opcode) {
    CpuState& cpu = m.Cpu;
    const uint32_t next = cpu.R[15];
    cpu.R[15] = cpu.R[14] + ((opcode & 0x7FF) << 1);
    cpu.R[14] = next | 1;
}

inline void SoftwareInterrupt(Machine& m, uint32_t opcode) { BiosCall(m, opcode & 0xFF); }

}  // namespace thumb
