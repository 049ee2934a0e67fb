// ARM data processing where the cartridges cannot look: the cycles each
// instruction class charges, the subtract V rule in the cases
// cartridges/cpu/arm_alu.s leaves out, and the undefined encodings. Opcodes
// come from arm-none-eabi-as; the assembly is in the comment beside each.

#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/arm.h"
#include "cpu/cpu_state.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000100;  // internal work RAM: 1-cycle fetches

TEST(ArmCycles, ChargedPerInstructionClass) {
    // R1 = 0x03001000, R2 = 4, R3 = 0, no flags set.
    const struct {
        const char* name;
        uint32_t at, opcode;
        int32_t cycles;  // fetch included
    } cases[] = {
        {"mov r0, r1", Code, 0xE1A00001, 1},
        {"lsls r0, r1, r2: a register amount adds a cycle", Code, 0xE1B00211, 2},
        {"moveq r0, #1 failing, from the cartridge: the fetch alone", 0x08000000, 0x03A00001, 6},
        {"b .", Code, 0xEAFFFFFE, 1},
        {"muls r0, r1, r2", Code, 0xE0100291, 5},
        {"mlas r0, r1, r2, r3", Code, 0xE0303291, 6},
        {"umulls r0, r1, r2, r3", Code, 0xE0910392, 6},
        {"umlals r0, r1, r2, r3", Code, 0xE0B10392, 7},
        {"smulls r0, r1, r2, r3", Code, 0xE0D10392, 6},
        {"smlals r0, r1, r2, r3", Code, 0xE0F10392, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        machine.LoadArm(c.at, {c.opcode});
        machine.cpu.R[1] = 0x03001000;
        machine.cpu.R[2] = 4;
        machine.cpu.R[3] = 0;
        machine.cpu.CPSR = ModeSystem;
        EXPECT_EQ(machine.Step(), c.cycles);
    }
}

// V is bit 31 of (a ^ r) & ((0 - b) ^ r). With b = 0x80000000, 0 - b is b
// itself; with b = 0 and a borrow, 0 - b is 0: both differ from the
// textbook rule.
TEST(ArmFlags, SubtractOverflowFollowsTheNegatedOperand) {
    constexpr uint32_t N = FlagN, Z = FlagZ, C = FlagC, V = FlagV;
    const struct {
        const char* name;
        uint32_t opcode, r1, r2, result, flags;  // carry clear before
    } cases[] = {
        {"subs 0x7FFFFFFF - 0x80000000", 0xE0510002, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, N},
        {"subs 0x80000000 - 0x80000000", 0xE0510002, 0x80000000, 0x80000000, 0, Z | C | V},
        {"sbcs r0, r1, r2: 0 - 0 - 1", 0xE0D10002, 0, 0, 0xFFFFFFFF, N | V},
        {"rscs r0, r1, r2: 0 - 0 - 1", 0xE0F10002, 0, 0, 0xFFFFFFFF, N | V},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        machine.LoadArm(Code, {c.opcode});
        machine.cpu.R[1] = c.r1;
        machine.cpu.R[2] = c.r2;
        machine.cpu.CPSR = ModeSystem;
        machine.Step();
        EXPECT_EQ(machine.cpu.R[0], c.result);
        EXPECT_EQ(machine.cpu.CPSR, ModeSystem | c.flags);
    }
}

TEST(ArmUndefinedOpcodes, TableHoldsTheUndefinedEncodings) {
    // Coprocessor space, rows 0xC0-0xEF: 768. Rows 0x30 and 0x34: 32. Odd
    // columns of rows 0x60-0x7F: 256. Rows 0x10/0x12/0x14/0x16 outside the
    // multiply and halfword columns, except MRS/MSR and BX: 48 - 5 = 43.
    // Column 9 of rows 0x04-0x07 and 0x11-0x1F but for SWPB: 4 + 14 = 18.
    // Halfword columns of post-indexed rows with W set: 8 x 3 = 24. Columns
    // 13 and 15 of the other store rows: 12 x 2 = 24. Together 1165.
    int undefined = 0;
    for (ArmHandler handler : ArmHandlerTable) undefined += handler == &ArmUndefined;
    EXPECT_EQ(undefined, 1165);
}

TEST(ArmUndefinedOpcodes, AreSkippedForTheFetchAlone) {
    TestMachine machine;
    machine.LoadArm(Code, {
                              0xEE000010,  // mcr p0, 0, r0, c0, c0, 0 (coprocessor space)
                              0xE7F000F0,  // register-offset transfer with bit 4 set
                              0xE0600090,  // column 9 of row 0x06
                          });
    machine.cpu.CPSR = ModeSystem;
    const CpuState before = machine.cpu;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(machine.Step(), 1);
    EXPECT_EQ(machine.cpu.R[15], Code + 12);
    for (int r = 0; r < 15; ++r) EXPECT_EQ(machine.cpu.R[r], before.R[r]);
    EXPECT_EQ(machine.cpu.CPSR, before.CPSR);
}

}  // namespace
