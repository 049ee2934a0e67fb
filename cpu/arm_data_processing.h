#pragma once
// ARM data processing, status-register transfers, multiplies, branches and
// SWI: the handler templates behind the generated ArmHandlerTable.

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/bios.h"
#include "cpu/core.h"
#include "cpu/modes.h"

namespace arm {

enum class Operand { Immediate, ImmediateShift, RegisterShift };

enum DataOp : uint32_t {
    OpAND, OpEOR, OpSUB, OpRSB, OpADD, OpADC, OpSBC, OpRSC,
    OpTST, OpTEQ, OpCMP, OpCMN, OpORR, OpMOV, OpBIC, OpMVN
};

constexpr bool IsLogical(uint32_t op) {
    return op == OpAND || op == OpEOR || op == OpTST || op == OpTEQ || op == OpORR || op == OpMOV ||
           op == OpBIC || op == OpMVN;
}
constexpr bool WritesResult(uint32_t op) { return op < OpTST || op > OpCMN; }

template <uint32_t Op, bool S, Operand Form, uint32_t Type>
void DataProcessing(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t rd = (opcode >> 12) & 15;
    const uint32_t carryIn = core.c;
    uint32_t rn, op2, shifterCarry = carryIn;

    // R15 as an operand reads ahead of the instruction: +8 normally, +12 when
    // the shift amount comes from a register (one more pipeline stage).
    if constexpr (Form == Operand::RegisterShift) {
        core.ShowPc(8);
        rn = cpu.R[(opcode >> 16) & 15];
        const uint32_t amount = cpu.R[(opcode >> 8) & 15] & 0xFF;
        const Shifted shifted = ShiftByRegister<Type>(cpu.R[opcode & 15], amount, carryIn);
        op2 = shifted.value;
        shifterCarry = shifted.carry;
        core.cycles -= 1;
    } else if constexpr (Form == Operand::ImmediateShift) {
        core.ShowPc(4);
        rn = cpu.R[(opcode >> 16) & 15];
        const Shifted shifted = ShiftByImmediate<Type>(cpu.R[opcode & 15], (opcode >> 7) & 31, carryIn);
        op2 = shifted.value;
        shifterCarry = shifted.carry;
    } else {
        // The rotated immediate's carry is never used: C stays as it was.
        core.ShowPc(4);
        rn = cpu.R[(opcode >> 16) & 15];
        op2 = RotatedImmediate(opcode);
    }

    uint32_t result;
    if constexpr (Op == OpAND || Op == OpTST) result = rn & op2;
    else if constexpr (Op == OpEOR || Op == OpTEQ) result = rn ^ op2;
    else if constexpr (Op == OpSUB || Op == OpCMP) result = rn - op2;
    else if constexpr (Op == OpRSB) result = op2 - rn;
    else if constexpr (Op == OpADD || Op == OpCMN) result = rn + op2;
    else if constexpr (Op == OpADC) result = rn + op2 + carryIn;
    else if constexpr (Op == OpSBC) result = rn - op2 - 1 + carryIn;
    else if constexpr (Op == OpRSC) result = op2 - rn - 1 + carryIn;
    else if constexpr (Op == OpORR) result = rn | op2;
    else if constexpr (Op == OpMOV) result = op2;
    else if constexpr (Op == OpBIC) result = rn & ~op2;
    else result = ~op2;

    if constexpr (WritesResult(Op)) core.SetRegister(rd, result);
    if constexpr (!S) return;

    if constexpr (IsLogical(Op) && Form != Operand::Immediate) core.c = shifterCarry;
    if (rd == 15) [[unlikely]] {
        // With R15 as destination the S bit returns from an exception.
        core.CallOut([](Machine& machine) { RestoreCpsrFromSpsr(machine.Cpu); });
        return;
    }
    if constexpr (IsLogical(Op)) SetNZ(core, result);
    else if constexpr (Op == OpSUB || Op == OpCMP) SetSubFlagsNoBorrow(core, rn, op2, result);
    else if constexpr (Op == OpSBC) SetSubFlags(core, rn, op2, result);
    else if constexpr (Op == OpRSB) SetSubFlagsNoBorrow(core, op2, rn, result);
    else if constexpr (Op == OpRSC) SetSubFlags(core, op2, rn, result);
    else if constexpr (Op == OpADC) SetAddFlags(core, rn, op2, result);
    else SetAddFlagsNoCarry(core, rn, op2, result);
}

// MRS Rd, CPSR / SPSR. Without a saved status register Rd is left alone.
template <bool Spsr>
void MoveFromStatus(Core& core, uint32_t opcode) {
    const uint32_t rd = (opcode >> 12) & 15;
    if constexpr (Spsr) {
        if (const uint32_t* spsr = CurrentSpsr(core.cpu)) core.SetRegister(rd, *spsr);
    } else {
        core.SetRegister(rd, core.Cpsr());
    }
}

// MSR CPSR / SPSR from a register or a rotated immediate. Only the fields
// named by the mask change: f (bit 19) the four flags, c (bit 16) the
// control byte. Bits 8-27 do not exist on this CPU and read as 0, so the s
// and x fields (bits 18, 17) change nothing, and mode bit 4 is always 1. In
// User mode the control byte of CPSR cannot be written.
inline constexpr uint32_t MsrFlagsField = 1u << 19, MsrControlField = 1u << 16;

inline uint32_t MoveToStatusValue(uint32_t old, uint32_t operand, uint32_t opcode, bool controlWritable) {
    uint32_t mask = (opcode & MsrFlagsField) ? 0xF0000000u : 0;
    if (controlWritable && (opcode & MsrControlField)) {
        mask |= 0xFF;
        operand |= 0x10;
    }
    return (old & ~mask) | (operand & mask);
}

template <bool Spsr, bool Immediate>
void MoveToStatus(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t operand = Immediate ? RotatedImmediate(opcode) : core.Operand(opcode & 15, 0);
    if constexpr (Spsr) {
        if (uint32_t* spsr = CurrentSpsr(cpu)) *spsr = MoveToStatusValue(*spsr, operand, opcode, true);
    } else {
        const bool privileged = (cpu.CPSR & ModeMask) != ModeUser;
        const uint32_t value = MoveToStatusValue(core.Cpsr(), operand, opcode, privileged);
        // A new mode, T or I goes through WriteCpsr, which banks the
        // registers and ends the slice; flags alone are written in place.
        if ((value ^ cpu.CPSR) & 0xFF)
            core.CallOut([value](Machine& machine) { WriteCpsr(machine.Cpu, value); });
        else
            core.SetFlags(value);
    }
}

// BX Rm: bit 0 of the target selects THUMB. A change of state ends the
// slice so the other decoder runs the next instruction.
inline void BranchExchange(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    const uint32_t target = core.Operand(opcode & 15, 0);
    if (target & 1) {
        core.Jump(target & ~1u);
        if (!(cpu.CPSR & FlagT)) {
            cpu.CPSR |= FlagT;
            core.EndSliceEarly();
        }
    } else {
        core.Jump(target & ~3u);
        if (cpu.CPSR & FlagT) {
            cpu.CPSR &= ~FlagT;
            core.EndSliceEarly();
        }
    }
}

// MUL / MLA: N and Z from the result; C and V are cleared.
template <bool Accumulate, bool S>
void Multiply(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    core.ShowPc(0);
    const uint32_t rd = (opcode >> 16) & 15;
    uint32_t result = cpu.R[opcode & 15] * cpu.R[(opcode >> 8) & 15];
    if constexpr (Accumulate) result += cpu.R[(opcode >> 12) & 15];
    core.SetRegister(rd, result);
    core.cycles -= Accumulate ? 5 : 4;
    if constexpr (S) {
        SetNZ(core, result);
        core.c = core.v = 0;
    }
}

// UMULL / UMLAL / SMULL / SMLAL: 64-bit results, RdLo written first.
// N from bit 63, Z from the whole result; C and V are kept.
template <bool Signed, bool Accumulate, bool S>
void MultiplyLong(Core& core, uint32_t opcode) {
    CpuState& cpu = core.cpu;
    core.ShowPc(0);
    const uint32_t rdHi = (opcode >> 16) & 15;
    const uint32_t rdLo = (opcode >> 12) & 15;
    const uint32_t rm = cpu.R[opcode & 15];
    const uint32_t rs = cpu.R[(opcode >> 8) & 15];
    uint64_t result = Signed ? uint64_t(int64_t(int32_t(rm)) * int64_t(int32_t(rs))) : uint64_t(rm) * rs;
    if constexpr (Accumulate) result += (uint64_t(cpu.R[rdHi]) << 32) | cpu.R[rdLo];
    core.SetRegister(rdLo, uint32_t(result));
    core.SetRegister(rdHi, uint32_t(result >> 32));
    core.cycles -= Accumulate ? 6 : 5;
    if constexpr (S) {
        core.n = uint32_t(result >> 32);
        core.z = result != 0;
    }
}

// B / BL: the target is the instruction's address + 8 + offset x 4.
template <bool Link>
void Branch(Core& core, uint32_t opcode) {
    if constexpr (Link) core.cpu.R[14] = core.pc;
    const int32_t offset = int32_t(opcode << 8) >> 6;
    core.Jump(core.pc + uint32_t(offset) + 4);
}

// SWI: the BIOS reads the function number from bits 23-16 of the comment
// field in ARM state (bits 7-0 in THUMB state), so `swi 0x060000` is Div.
inline void SoftwareInterrupt(Core& core, uint32_t opcode) {
    core.CallOut([opcode](Machine& machine) { BiosCall(machine, (opcode >> 16) & 0xFF); });
}

}  // namespace arm
