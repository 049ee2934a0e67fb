#pragma once
// THUMB shifts, additions, immediate operations, the ALU group, hi-register
// operations, address generation, branches and SWI: the handler templates
// behind ThumbHandlerTable. While a handler runs the loop's pc holds the
// instruction's address + 2; where the PC is an operand it reads as the
// address + 4.

#include <bit>
#include <cstdint>

#include "cpu/alu.h"
#include "cpu/bios.h"
#include "cpu/core.h"

namespace thumb {

// The PC as an operand: one halfword ahead of R15.
inline uint32_t ProgramCounter(const Core& core) { return core.pc + 2; }

// LSL / LSR / ASR Rd, Rs, #n (n = bits 10-6). An amount of 0 keeps the value
// and C for LSL and means 32 for LSR and ASR, as in the ARM shifter.
template <uint32_t Type>
void ShiftImmediate(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const Shifted shifted = ShiftByImmediate<Type>(cpu.R[(opcode >> 3) & 7], (opcode >> 6) & 31, core.c);
    cpu.R[opcode & 7] = shifted.value;
    SetNZC(core, shifted.value, shifted.carry);
}

// ADD / SUB Rd, Rs, Rn and ADD / SUB Rd, Rs, #imm3 (bits 8-6).
template <bool Subtract, bool Immediate>
void AddSubtract(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t field = (opcode >> 6) & 7;
    const uint32_t a = cpu.R[(opcode >> 3) & 7];
    const uint32_t b = Immediate ? field : cpu.R[field];
    const uint32_t result = Subtract ? a - b : a + b;
    cpu.R[opcode & 7] = result;
    if constexpr (Subtract)
        SetSubFlagsNoBorrow(core, a, b, result);
    else
        SetAddFlagsNoCarry(core, a, b, result);
}

enum ImmediateOp : uint32_t { ImmMOV, ImmCMP, ImmADD, ImmSUB };

// MOV / CMP / ADD / SUB Rd, #imm8, with Rd (bits 10-8) fixed per handler.
// MOV sets N and Z only: N is always clear for an 8-bit value.
template <uint32_t Op, uint32_t Rd>
void ImmediateOperation(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t imm = opcode & 0xFF;
    const uint32_t a = cpu.R[Rd];
    if constexpr (Op == ImmMOV) {
        cpu.R[Rd] = imm;
        SetNZ(core, imm);
    } else if constexpr (Op == ImmCMP) {
        SetSubFlagsNoBorrow(core, a, imm, a - imm);
    } else if constexpr (Op == ImmADD) {
        cpu.R[Rd] = a + imm;
        SetAddFlagsNoCarry(core, a, imm, a + imm);
    } else {
        cpu.R[Rd] = a - imm;
        SetSubFlagsNoBorrow(core, a, imm, a - imm);
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
inline void AluOperation(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
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
        const Shifted shifted = ShiftByRegister<type>(d, s & 0xFF, core.c);
        cpu.R[rd] = shifted.value;
        SetNZC(core, shifted.value, shifted.carry);
        core.cycles -= 1;
    } else if constexpr (Op == AluADC) {
        const uint32_t result = d + s + core.c;
        cpu.R[rd] = result;
        SetAddFlags(core, d, s, result);
    } else if constexpr (Op == AluSBC) {
        const uint32_t result = d - s - 1 + core.c;
        cpu.R[rd] = result;
        SetSubFlags(core, d, s, result);
    } else if constexpr (Op == AluNEG) {
        // A subtraction from zero: V is set only for 0x80000000, whose
        // negation does not fit.
        const uint32_t result = 0u - s;
        cpu.R[rd] = result;
        SetSubFlagsNoBorrow(core, 0, s, result);
    } else if constexpr (Op == AluCMP) {
        SetSubFlagsNoBorrow(core, d, s, d - s);
    } else if constexpr (Op == AluCMN) {
        SetAddFlagsNoCarry(core, d, s, d + s);
    } else if constexpr (Op == AluMUL) {
        const uint32_t result = d * s;
        cpu.R[rd] = result;
        SetNZ(core, result);
        core.c = core.v = 0;
        core.cycles -= 4;
    } else if constexpr (Op == AluTST) {
        SetNZ(core, d & s);
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
        SetNZ(core, result);
    }
}

enum HiOp : uint32_t { HiADD, HiCMP, HiMOV, HiBX };

// ADD / CMP / MOV / BX on any registers: the destination is bits 2-0 with H1
// (bit 7) as bit 3, the source bits 5-3 with H2 (bit 6) as bit 3, H1 and H2
// fixed per handler. With both H bits clear the same operation runs on lo
// registers. A hi-register operand R15 reads as the PC.
template <uint32_t Op, bool H1, bool H2>
void HiRegisterOperation(Core& core, uint32_t opcode) {
    const uint32_t sourceReg = ((opcode >> 3) & 7) | (H2 ? 8 : 0);
    const uint32_t source = H2 ? core.Operand(sourceReg, 2) : core.cpu.R[sourceReg];
    if constexpr (Op == HiBX) {
        // Bit 0 of the target selects THUMB. Going to ARM state ends the slice
        // so that the ARM loop fetches the next instruction.
        if (source & 1) {
            core.Jump(source & ~1u);
        } else {
            core.Jump(source & ~3u);
            core.cpu.CPSR &= ~FlagT;
            core.EndSliceEarly();
        }
        return;
    }
    const uint32_t rd = (opcode & 7) | (H1 ? 8 : 0);
    const uint32_t destination = H1 ? core.Operand(rd, 2) : core.cpu.R[rd];
    if constexpr (Op == HiCMP) {
        SetSubFlagsNoBorrow(core, destination, source, destination - source);
    } else {
        // A write to R15 is a jump that stays in THUMB state: the halfword
        // alignment is forced whatever the destination was (and R15's bit 0
        // is cleared whatever register was written).
        core.SetRegister(rd, Op == HiADD ? destination + source : source);
        core.pc &= ~1u;
    }
}

// ADD Rd, PC, #imm8 x 4 (the PC word-aligned) and ADD Rd, SP, #imm8 x 4.
template <bool StackPointer, uint32_t Rd>
void AddressGenerate(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t base = StackPointer ? cpu.R[13] : ProgramCounter(core) & ~3u;
    cpu.R[Rd] = base + (opcode & 0xFF) * 4;
}

// ADD SP, #+/-imm7 x 4; bit 7 gives the sign.
inline void AdjustStack(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t offset = (opcode & 0x7F) * 4;
    cpu.R[13] = (opcode & 0x80) ? cpu.R[13] - offset : cpu.R[13] + offset;
}

// B{cond}: the target is the instruction's address + 4 + offset x 2.
template <uint32_t Cond>
void ConditionalBranch(Core& core, uint32_t opcode) {
    if (core.ConditionPasses(Cond)) core.Jump(core.pc + uint32_t(int32_t(int8_t(opcode)) * 2 + 2));
}

inline void Branch(Core& core, uint32_t opcode) {
    const int32_t offset = int32_t(opcode << 21) >> 20;
    core.Jump(core.pc + uint32_t(offset + 2));
}

// BL is two independent instructions. The first half leaves the upper part
// of the offset, relative to the PC, in R14.
inline void LongBranchFirst(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const int32_t offset = int32_t(opcode << 21) >> 9;
    cpu.R[14] = ProgramCounter(core) + uint32_t(offset);
}

// The second half jumps to R14 plus the lower part of the offset and leaves
// the return address, marked as THUMB by bit 0, in R14. Run alone it jumps
// relative to whatever R14 holds.
inline void LongBranchSecond(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t next = core.pc;
    core.Jump(cpu.R[14] + ((opcode & 0x7FF) << 1));
    cpu.R[14] = next | 1;
}

inline void SoftwareInterrupt(Core& core, uint32_t opcode) {
    core.CallOut([opcode](Machine& machine) { BiosCall(machine, opcode & 0xFF); });
}

}  // namespace thumb
