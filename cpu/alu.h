#pragma once
// The barrel shifter and the flag rules shared by the ARM handlers and the
// THUMB decoder. Flags come from bitwise formulas, never from branches on
// signs.

#include <bit>
#include <cstdint>

#include "cpu/cpu_state.h"

// Carry flag of CPSR as 0 or 1.
inline uint32_t CarryIn(const CpuState& cpu) { return (cpu.CPSR >> 29) & 1; }

inline void SetCarry(CpuState& cpu, uint32_t carry) { cpu.CPSR = (cpu.CPSR & ~FlagC) | (carry << 29); }

// N from bit 31, Z from zero; C and V kept.
inline void SetNZ(CpuState& cpu, uint32_t result) {
    cpu.CPSR = (cpu.CPSR & 0x3FFFFFFF) | (result & FlagN) | (result == 0 ? FlagZ : 0);
}

// N, Z from the result and C (0 or 1) from the shifter; V kept.
inline void SetNZC(CpuState& cpu, uint32_t result, uint32_t carry) {
    cpu.CPSR = (cpu.CPSR & 0x1FFFFFFF) | (result & FlagN) | (result == 0 ? FlagZ : 0) | (carry << 29);
}

// All four flags of an addition r = a + b (+ carry in).
inline void SetAddFlags(CpuState& cpu, uint32_t a, uint32_t b, uint32_t r) {
    const uint32_t carry = ((a & b) | ((a ^ b) & ~r)) >> 31;
    const uint32_t overflow = ((a ^ r) & (b ^ r)) >> 31;
    cpu.CPSR = (cpu.CPSR & 0x0FFFFFFF) | (r & FlagN) | (r == 0 ? FlagZ : 0) | (carry << 29) | (overflow << 28);
}

// Signed overflow of a subtraction r = a - b (- borrow): the operands have
// different signs and the result's sign differs from the minuend's. The
// hardware adds NOT b plus the carry, so this holds for every carry in,
// b = 0x80000000 included.
inline uint32_t SubOverflow(uint32_t a, uint32_t b, uint32_t r) { return ((a ^ b) & (a ^ r)) >> 31; }

// All four flags of a subtraction r = a - b (- borrow). C means "no borrow".
inline void SetSubFlags(CpuState& cpu, uint32_t a, uint32_t b, uint32_t r) {
    const uint32_t carry = (~((~a & b) | (~(a ^ b) & r))) >> 31;
    const uint32_t overflow = SubOverflow(a, b, r);
    cpu.CPSR = (cpu.CPSR & 0x0FFFFFFF) | (r & FlagN) | (r == 0 ? FlagZ : 0) | (carry << 29) | (overflow << 28);
}

// The same flags for an addition or subtraction without a carry in, where
// the carry out reduces to one unsigned comparison (no borrow: a >= b).
inline void SetFlagsNZCV(CpuState& cpu, uint32_t r, uint32_t carry, uint32_t overflow) {
    cpu.CPSR = (cpu.CPSR & 0x0FFFFFFF) | (r & FlagN) | (r == 0 ? FlagZ : 0) | (carry << 29) | (overflow << 28);
}
inline void SetAddFlagsNoCarry(CpuState& cpu, uint32_t a, uint32_t b, uint32_t r) {
    SetFlagsNZCV(cpu, r, r < a, ((a ^ r) & (b ^ r)) >> 31);
}
inline void SetSubFlagsNoBorrow(CpuState& cpu, uint32_t a, uint32_t b, uint32_t r) {
    SetFlagsNZCV(cpu, r, a >= b, SubOverflow(a, b, r));
}

enum ShiftType : uint32_t { ShiftLSL = 0, ShiftLSR = 1, ShiftASR = 2, ShiftROR = 3 };

struct Shifted {
    uint32_t value;
    uint32_t carry;  // 0 or 1
};

// Shift by an immediate amount (0-31), with the encodings of amount 0:
// LSL #0 passes the value, LSR #0 and ASR #0 mean 32, ROR #0 is RRX.
template <uint32_t Type>
inline Shifted ShiftByImmediate(uint32_t value, uint32_t amount, uint32_t carryIn) {
    if constexpr (Type == ShiftLSL) {
        if (amount == 0) return {value, carryIn};
        return {value << amount, (value >> (32 - amount)) & 1};
    } else if constexpr (Type == ShiftLSR) {
        if (amount == 0) return {0, value >> 31};
        return {value >> amount, (value >> (amount - 1)) & 1};
    } else if constexpr (Type == ShiftASR) {
        if (amount == 0) return {uint32_t(int32_t(value) >> 31), value >> 31};
        return {uint32_t(int32_t(value) >> amount), (value >> (amount - 1)) & 1};
    } else {
        if (amount == 0) return {(carryIn << 31) | (value >> 1), value & 1};
        return {std::rotr(value, int(amount)), (value >> (amount - 1)) & 1};
    }
}

// Shift by the low byte of a register (0-255).
template <uint32_t Type>
inline Shifted ShiftByRegister(uint32_t value, uint32_t amount, uint32_t carryIn) {
    if (amount == 0) return {value, carryIn};
    if constexpr (Type == ShiftLSL) {
        if (amount < 32) return {value << amount, (value >> (32 - amount)) & 1};
        return {0, amount == 32 ? (value & 1) : 0};
    } else if constexpr (Type == ShiftLSR) {
        if (amount < 32) return {value >> amount, (value >> (amount - 1)) & 1};
        return {0, amount == 32 ? (value >> 31) : 0};
    } else if constexpr (Type == ShiftASR) {
        if (amount < 32) return {uint32_t(int32_t(value) >> amount), (value >> (amount - 1)) & 1};
        return {uint32_t(int32_t(value) >> 31), value >> 31};
    } else {
        const uint32_t rotate = amount & 31;
        if (rotate == 0) return {value, value >> 31};
        return {std::rotr(value, int(rotate)), (value >> (rotate - 1)) & 1};
    }
}

// The rotated 8-bit immediate of data processing and MSR.
inline uint32_t RotatedImmediate(uint32_t opcode) {
    return std::rotr(opcode & 0xFF, int(((opcode >> 8) & 0xF) * 2));
}
