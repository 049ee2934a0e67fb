// The barrel shifter and the flag rules of ARM data processing, run through
// real instructions (opcodes from arm-none-eabi-as). Expected values are
// worked out by hand from the shift and flag definitions.

#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/cpu_state.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000000;  // internal work RAM: 1-cycle fetches

struct ShiftCase {
    const char* name;
    uint32_t opcode;
    uint32_t rm;      // R1
    uint32_t amount;  // R2 (register-specified shifts only)
    bool carryIn;
    uint32_t result;
    bool carryOut;
};

// movs r0, r1, <shift>: N, Z and C come from the shifter, V stays.
const ShiftCase ShiftCases[] = {
    // Immediate amounts. The assembler writes "lsr #32", "asr #32" and "rrx"
    // for the encodings with amount 0.
    {"LslImm0KeepsCarrySet", 0xE1B00001, 0x80000001, 0, true, 0x80000001, true},      // movs r0, r1
    {"LslImm0KeepsCarryClear", 0xE1B00001, 0x80000001, 0, false, 0x80000001, false},  // movs r0, r1
    {"LslImm1", 0xE1B00081, 0x80000001, 0, false, 0x00000002, true},                  // lsls r0, r1, #1
    {"LslImm31", 0xE1B00F81, 0x00000003, 0, false, 0x80000000, true},                 // lsls r0, r1, #31
    {"LsrImm1", 0xE1B000A1, 0x00000003, 0, false, 0x00000001, true},                  // lsrs r0, r1, #1
    {"LsrImm32", 0xE1B00021, 0x80000000, 0, false, 0x00000000, true},                 // lsrs r0, r1, #32
    {"AsrImm31", 0xE1B00FC1, 0x80000000, 0, true, 0xFFFFFFFF, false},                 // asrs r0, r1, #31
    {"AsrImm32Negative", 0xE1B00041, 0x80000000, 0, false, 0xFFFFFFFF, true},         // asrs r0, r1, #32
    {"AsrImm32Positive", 0xE1B00041, 0x7FFFFFFF, 0, true, 0x00000000, false},         // asrs r0, r1, #32
    {"RorImm31", 0xE1B00FE1, 0x40000001, 0, false, 0x80000002, true},                 // rors r0, r1, #31
    {"RrxCarrySet", 0xE1B00061, 0x00000001, 0, true, 0x80000000, true},               // rrxs r0, r1
    {"RrxCarryClear", 0xE1B00061, 0x00000002, 0, false, 0x00000001, false},           // rrxs r0, r1
    // Register amounts: only the low byte of R2 counts.
    {"LslReg0", 0xE1B00211, 0x80000001, 0, true, 0x80000001, true},  // lsls r0, r1, r2
    {"LslReg256IsZero", 0xE1B00211, 0x80000001, 256, false, 0x80000001, false},
    {"LslReg1", 0xE1B00211, 0x80000001, 1, false, 0x00000002, true},
    {"LslReg31", 0xE1B00211, 0x00000003, 31, false, 0x80000000, true},
    {"LslReg32Bit0Set", 0xE1B00211, 0x00000001, 32, false, 0x00000000, true},
    {"LslReg32Bit0Clear", 0xE1B00211, 0xFFFFFFFE, 32, true, 0x00000000, false},
    {"LslReg33", 0xE1B00211, 0xFFFFFFFF, 33, true, 0x00000000, false},
    {"LslReg255", 0xE1B00211, 0xFFFFFFFF, 255, true, 0x00000000, false},
    {"LsrReg0", 0xE1B00231, 0x80000001, 0, false, 0x80000001, false},  // lsrs r0, r1, r2
    {"LsrReg31", 0xE1B00231, 0xC0000000, 31, false, 0x00000001, true},
    {"LsrReg32", 0xE1B00231, 0x80000000, 32, false, 0x00000000, true},
    {"LsrReg33", 0xE1B00231, 0xFFFFFFFF, 33, true, 0x00000000, false},
    {"AsrReg0", 0xE1B00251, 0x80000001, 0, true, 0x80000001, true},  // asrs r0, r1, r2
    {"AsrReg31", 0xE1B00251, 0x80000000, 31, true, 0xFFFFFFFF, false},
    {"AsrReg32", 0xE1B00251, 0x80000000, 32, false, 0xFFFFFFFF, true},
    {"AsrReg33Negative", 0xE1B00251, 0x80000000, 33, false, 0xFFFFFFFF, true},
    {"AsrReg255Positive", 0xE1B00251, 0x7FFFFFFF, 255, true, 0x00000000, false},
    {"RorReg0", 0xE1B00271, 0x00000001, 0, true, 0x00000001, true},  // rors r0, r1, r2
    {"RorReg1", 0xE1B00271, 0x00000002, 1, true, 0x00000001, false},
    {"RorReg31", 0xE1B00271, 0x40000001, 31, false, 0x80000002, true},
    {"RorReg32", 0xE1B00271, 0x80000001, 32, false, 0x80000001, true},
    {"RorReg33", 0xE1B00271, 0x00000003, 33, false, 0x80000001, true},
    {"RorReg64", 0xE1B00271, 0x7FFFFFFF, 64, true, 0x7FFFFFFF, false},
    {"RorReg255", 0xE1B00271, 0x40000001, 255, false, 0x80000002, true},
};

class ShifterTest : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ShifterTest, ResultAndCarry) {
    const ShiftCase& c = GetParam();
    TestMachine machine;
    machine.LoadArm(Code, {c.opcode});
    machine.cpu.R[1] = c.rm;
    machine.cpu.R[2] = c.amount;
    machine.cpu.CPSR = ModeSystem | FlagV | (c.carryIn ? FlagC : 0);
    const int32_t cost = machine.Step();

    EXPECT_EQ(machine.cpu.R[0], c.result);
    EXPECT_EQ(bool(machine.cpu.CPSR & FlagC), c.carryOut);
    EXPECT_EQ(bool(machine.cpu.CPSR & FlagN), bool(c.result >> 31));
    EXPECT_EQ(bool(machine.cpu.CPSR & FlagZ), c.result == 0);
    EXPECT_TRUE(machine.cpu.CPSR & FlagV) << "logical operations keep V";
    // A shift amount taken from a register costs one internal cycle.
    const bool registerShift = c.opcode & 0x10;
    EXPECT_EQ(cost, registerShift ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Arm, ShifterTest, ::testing::ValuesIn(ShiftCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ArmShifter, RotatedImmediateLeavesCarryAlone) {
    for (const uint32_t carry : {0u, FlagC}) {
        TestMachine machine;
        machine.LoadArm(Code, {0xE3B00102});  // movs r0, #0x80000000
        machine.cpu.CPSR = ModeSystem | carry;
        machine.Step();
        EXPECT_EQ(machine.cpu.R[0], 0x80000000u);
        EXPECT_EQ(machine.cpu.CPSR, ModeSystem | FlagN | carry);
    }
}

struct FlagCase {
    const char* name;
    uint32_t opcode;
    uint32_t r1, r2;
    bool carryIn;
    uint32_t result;
    uint32_t nzcv;  // expected flags in bits 31-28
};

constexpr uint32_t N = FlagN, Z = FlagZ, C = FlagC, V = FlagV;

// Operands are R1 and R2; results land in R0.
const FlagCase FlagCases[] = {
    {"SubNoBorrow", 0xE0510002, 5, 3, false, 2, C},                        // subs r0, r1, r2
    {"SubBorrow", 0xE0510002, 3, 5, true, 0xFFFFFFFE, N},                  // subs r0, r1, r2
    {"SubOverflow", 0xE0510002, 0x80000000, 1, false, 0x7FFFFFFF, C | V},  // subs r0, r1, r2
    // With b = 0x80000000 the overflow test uses 0 - b = 0x80000000 itself.
    {"SubMinIntFromMax", 0xE0510002, 0x7FFFFFFF, 0x80000000, false, 0xFFFFFFFF, N},
    {"SubMinIntFromMinInt", 0xE0510002, 0x80000000, 0x80000000, false, 0, Z | C | V},
    {"RsbBorrow", 0xE0710002, 1, 0, true, 0xFFFFFFFF, N},  // rsbs r0, r1, r2
    {"SbcWithCarry", 0xE0D10002, 5, 3, true, 2, C},        // sbcs r0, r1, r2
    {"SbcWithoutCarry", 0xE0D10002, 5, 3, false, 1, C},    // sbcs r0, r1, r2
    // b = 0 with the borrow: 0 - b is 0, which changes V from the usual rule.
    {"SbcZeroMinusZeroBorrow", 0xE0D10002, 0, 0, false, 0xFFFFFFFF, N | V},
    {"SbcMinIntMinusZeroBorrow", 0xE0D10002, 0x80000000, 0, false, 0x7FFFFFFF, C},
    {"SbcFiveMinusZeroBorrow", 0xE0D10002, 5, 0, false, 4, C},
    {"RscZeroMinusZeroBorrow", 0xE0F10002, 0, 0, false, 0xFFFFFFFF, N | V},  // rscs r0, r1, r2
    {"RscWithCarry", 0xE0F10002, 3, 5, true, 2, C},                          // rscs r0, r1, r2
    {"AddCarryToZero", 0xE0910002, 0xFFFFFFFF, 1, false, 0, Z | C},          // adds r0, r1, r2
    {"AddOverflow", 0xE0910002, 0x7FFFFFFF, 1, false, 0x80000000, N | V},    // adds r0, r1, r2
    {"AddMinIntTwice", 0xE0910002, 0x80000000, 0x80000000, false, 0, Z | C | V},
    {"AdcCarryInWraps", 0xE0B10002, 0xFFFFFFFF, 0, true, 0, Z | C},  // adcs r0, r1, r2
    {"AdcCarryInOverflows", 0xE0B10002, 0x7FFFFFFF, 0, true, 0x80000000, N | V},
    {"CmpEqual", 0xE1510002, 7, 7, false, 0xAAAAAAAA, Z | C},  // cmp r1, r2
};

class FlagTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(FlagTest, ResultAndFlags) {
    const FlagCase& c = GetParam();
    TestMachine machine;
    machine.LoadArm(Code, {c.opcode});
    machine.cpu.R[0] = 0xAAAAAAAA;  // CMP leaves it alone
    machine.cpu.R[1] = c.r1;
    machine.cpu.R[2] = c.r2;
    machine.cpu.CPSR = ModeSystem | (c.carryIn ? FlagC : 0);
    machine.Step();
    EXPECT_EQ(machine.cpu.R[0], c.result);
    EXPECT_EQ(machine.cpu.CPSR & 0xF0000000, c.nzcv);
    EXPECT_EQ(machine.cpu.CPSR & 0x0FFFFFFF, ModeSystem);
}

INSTANTIATE_TEST_SUITE_P(Arm, FlagTest, ::testing::ValuesIn(FlagCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ArmFlags, CompareZeroWithMinInt) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE3500102});  // cmp r0, #0x80000000
    machine.cpu.R[0] = 0;
    machine.cpu.CPSR = ModeSystem | FlagZ | FlagC | FlagV;
    machine.Step();
    EXPECT_EQ(machine.cpu.CPSR, ModeSystem | FlagN);
}

TEST(ArmFlags, WithoutSFlagsStay) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE0810002});  // add r0, r1, r2
    machine.cpu.R[1] = 0xFFFFFFFF;
    machine.cpu.R[2] = 1;
    machine.cpu.CPSR = ModeSystem | FlagN | FlagV;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[0], 0u);
    EXPECT_EQ(machine.cpu.CPSR, ModeSystem | FlagN | FlagV);
}

}  // namespace
