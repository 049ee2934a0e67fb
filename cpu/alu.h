#pragma once
// The barrel shifter and the flag rules shared by the ARM handlers and the
// THUMB decoder. Flags come from bitwise formulas, never from branches on
// signs.

#include <bit>
#include <cstdint>

#include "cpu/core.h"

// The flag rules, on the loop's flag words (cpu/core.h).

// N, Z from a result; C and V kept.
inline void SetNZ(Core& core, uint32_t result) { core.n = core.z = result; }

// N, Z from the result and C (0 or 1) from the shifter; V kept.
inline void SetNZC(Core& core, uint32_t result, uint32_t carry) {
    core.n = core.z = result;
    core.c = carry;
}

// All four flags of an addition r = a + b (+ carry in).
inline void SetAddFlags(Core& core, uint32_t a, uint32_t b, uint32_t r) {
    core.n = core.z = r;
    core.c = ((a & b) | ((a ^ b) & ~r)) >> 31;
    core.v = (a ^ r) & (b ^ r);
}

// Signed overflow of a subtraction r = a - b (- borrow), in bit 31: the
// operands have different signs and the result's sign differs from the
// minuend's. The hardware adds NOT b plus the carry, so this holds for every
// carry in, b = 0x80000000 included.
inline uint32_t SubOverflow(uint32_t a, uint32_t b, uint32_t r) { return (a ^ b) & (a ^ r); }

// All four flags of a subtraction r = a - b (- borrow). C means "no borrow".
inline void SetSubFlags(Core& core, uint32_t a, uint32_t b, uint32_t r) {
    core.n = core.z = r;
    core.c = (~((~a & b) | (~(a ^ b) & r))) >> 31;
    core.v = SubOverflow(a, b, r);
}

// The same flags for an addition or subtraction without a carry in, where
// the carry out reduces to one unsigned comparison (no borrow: a >= b).
inline void SetAddFlagsNoCarry(Core& core, uint32_t a, uint32_t b, uint32_t r) {
    core.n = core.z = r;
    core.c = r < a;
    core.v = (a ^ r) & (b ^ r);
}
inline void SetSubFlagsNoBorrow(Core& core, uint32_t a, uint32_t b, uint32_t r) {
    core.n = core.z = r;
    core.c = a >= b;
    core.v = SubOverflow(a, b, r);
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
