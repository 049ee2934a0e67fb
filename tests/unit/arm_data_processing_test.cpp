// ARM data processing with R15, multiplies, status-register transfers,
// branches and SWI. Opcodes come from arm-none-eabi-as; the assembly is in
// the comment beside each one.

#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/arm.h"
#include "cpu/cpu_state.h"
#include "game/game.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000100;  // internal work RAM: 1-cycle fetches

TEST(ArmPipeline, R15ReadsAheadByEightOrTwelve) {
    TestMachine machine;
    machine.LoadArm(Code, {
                              0xE28F0000,  // add r0, pc, #0
                              0xE08F3211,  // add r3, pc, r1, lsl r2
                              0xE1A0411F,  // lsl r4, pc, r1   (shift amount from r1)
                          });
    machine.cpu.R[1] = 3;
    machine.cpu.R[2] = 4;
    machine.Run(3);
    EXPECT_EQ(machine.cpu.R[0], Code + 8);
    EXPECT_EQ(machine.cpu.R[3], Code + 4 + 12 + (3u << 4));
    EXPECT_EQ(machine.cpu.R[4], (Code + 8 + 12) << 3);
}

TEST(ArmPipeline, WritingR15IsAPlainJump) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE1A0F000});  // mov pc, r0
    machine.cpu.R[0] = 0x03000203;        // neither aligned nor THUMB
    machine.cpu.CPSR = ModeSystem;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[15], 0x03000203u);
    EXPECT_EQ(machine.cpu.CPSR, ModeSystem);
}

TEST(ArmMultiply, ResultsFlagsAndCycles) {
    struct Case {
        const char* name;
        uint32_t opcode;
        uint32_t r0, r1, r2, r3;    // before
        uint32_t expect0, expect1;  // R0, R1 after
        uint32_t flags;             // NZCV after, from C|V set before
        int32_t cycles;             // fetch included
    };
    const Case cases[] = {
        // MUL/MLA: Rd = bits 19-16 (r0), Rm = r1, Rs = r2, Rn = r3; C and V cleared.
        {"muls r0, r1, r2", 0xE0100291, 0, 0xFFFFFFFF, 2, 0, 0xFFFFFFFE, 0xFFFFFFFF, FlagN, 5},
        {"mlas r0, r1, r2, r3", 0xE0303291, 0, 0x10000, 0x10000, 0, 0, 0x10000, FlagZ, 6},
        {"mlas r0, r1, r2, r3 (accumulate)", 0xE0303291, 0, 3, 4, 5, 17, 3, 0, 6},
        // Long forms: RdLo = r0, RdHi = r1, Rm = r2, Rs = r3; C and V kept.
        {"umulls r0, r1, r2, r3", 0xE0910392, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0x00000001, 0xFFFFFFFE,
         FlagN | FlagC | FlagV, 6},
        {"umlals r0, r1, r2, r3 (carry out of the low word)", 0xE0B10392, 0xFFFFFFFF, 0, 1, 1, 0, 1, FlagC | FlagV, 7},
        {"smulls r0, r1, r2, r3 (-2 x 3)", 0xE0D10392, 0, 0, 0xFFFFFFFE, 3, 0xFFFFFFFA, 0xFFFFFFFF,
         FlagN | FlagC | FlagV, 6},
        {"smulls r0, r1, r2, r3 (-5 x 0)", 0xE0D10392, 7, 7, 0xFFFFFFFB, 0, 0, 0, FlagZ | FlagC | FlagV, 6},
        {"smulls r0, r1, r2, r3 (min x 2)", 0xE0D10392, 0, 0, 0x80000000, 2, 0, 0xFFFFFFFF, FlagN | FlagC | FlagV, 6},
        {"smlals r0, r1, r2, r3 (-1 + -1)", 0xE0F10392, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 1, 0xFFFFFFFE, 0xFFFFFFFF,
         FlagN | FlagC | FlagV, 7},
        {"smlals r0, r1, r2, r3 (0xFFFFFFFF + -1)", 0xE0F10392, 0xFFFFFFFF, 0, 0xFFFFFFFF, 1, 0xFFFFFFFE, 0,
         FlagC | FlagV, 7},
        {"smlals r0, r1, r2, r3 (carry into high)", 0xE0F10392, 0xFFFFFFFF, 0, 1, 1, 0, 1, FlagC | FlagV, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        machine.LoadArm(Code, {c.opcode});
        machine.cpu.R[0] = c.r0;
        machine.cpu.R[1] = c.r1;
        machine.cpu.R[2] = c.r2;
        machine.cpu.R[3] = c.r3;
        machine.cpu.CPSR = ModeSystem | FlagC | FlagV;
        EXPECT_EQ(machine.Step(), c.cycles);
        EXPECT_EQ(machine.cpu.R[0], c.expect0);
        EXPECT_EQ(machine.cpu.R[1], c.expect1);
        EXPECT_EQ(machine.cpu.CPSR, ModeSystem | c.flags);
    }
}

TEST(ArmStatus, MrsReadsCpsrAndTheModesSpsr) {
    TestMachine machine;
    machine.LoadArm(Code, {
                              0xE10F0000,  // mrs r0, cpsr
                              0xE14F1000,  // mrs r1, spsr
                          });
    machine.cpu.CPSR = FlagZ | ModeIrq;
    machine.cpu.SPSR_irq = 0x6000001F;
    machine.cpu.R[1] = 0x1234;
    machine.Run(2);
    EXPECT_EQ(machine.cpu.R[0], FlagZ | ModeIrq);
    EXPECT_EQ(machine.cpu.R[1], 0x6000001Fu);

    // System mode has no SPSR: the destination keeps its value.
    machine.LoadArm(Code + 4, {0xE14F1000});  // mrs r1, spsr
    machine.cpu.CPSR = ModeSystem;
    machine.cpu.R[1] = 0x1234;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[1], 0x1234u);
}

TEST(ArmStatus, MsrInUserModeChangesOnlyTheFlags) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE129F000});  // msr cpsr_fc, r0
    machine.cpu.CPSR = ModeUser;
    machine.cpu.R[0] = 0xF000001F;
    machine.Step();
    EXPECT_EQ(machine.cpu.CPSR, 0xF0000000u | ModeUser);
    EXPECT_FALSE(machine.endedSliceEarly);
}

TEST(ArmStatus, MsrFlagsImmediate) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE328F20F});  // msr cpsr_f, #0xF0000000
    machine.cpu.CPSR = ModeSystem | FlagI;
    machine.Step();
    EXPECT_EQ(machine.cpu.CPSR, 0xF0000000u | ModeSystem | FlagI);
}

TEST(ArmStatus, MsrControlFieldWritesTheWholeWord) {
    // With the control field in a privileged mode the operand replaces all
    // of CPSR, flags included, whatever the other field bits say.
    TestMachine machine;
    machine.LoadArm(Code, {0xE121F000});  // msr cpsr_c, r0
    machine.cpu.CPSR = FlagN | FlagZ | ModeSystem;
    machine.cpu.R[0] = FlagC | FlagI | ModeSystem;
    machine.Step();
    EXPECT_EQ(machine.cpu.CPSR, FlagC | FlagI | ModeSystem);
    EXPECT_TRUE(machine.endedSliceEarly) << "I changed";
}

TEST(ArmStatus, SliceEndsOnIButNotOnFAlone) {
    TestMachine machine;
    machine.LoadArm(Code, {
                              0xE321F05F,  // msr cpsr_c, #0x5f   (F set)
                              0xE321F0DF,  // msr cpsr_c, #0xdf   (I set too)
                          });
    machine.cpu.CPSR = ModeSystem;
    machine.Step();
    EXPECT_EQ(machine.cpu.CPSR, FlagF | ModeSystem);
    EXPECT_FALSE(machine.endedSliceEarly);
    machine.Step();
    EXPECT_EQ(machine.cpu.CPSR, FlagI | FlagF | ModeSystem);
    EXPECT_TRUE(machine.endedSliceEarly);
}

TEST(ArmStatus, MsrSpsr) {
    TestMachine machine;
    machine.LoadArm(Code, {
                              0xE169F000,  // msr spsr_fc, r0
                              0xE168F001,  // msr spsr_f, r1
                          });
    machine.cpu.CPSR = ModeIrq | FlagI;
    machine.cpu.R[0] = 0x3F;
    machine.cpu.R[1] = 0xA00000FF;
    machine.Run(2);
    EXPECT_EQ(machine.cpu.SPSR_irq, 0xA000003Fu);
    EXPECT_EQ(machine.cpu.CPSR, ModeIrq | FlagI);

    // In System mode there is no SPSR to write, and no bank is touched.
    const CpuState before = machine.cpu;
    machine.LoadArm(Code, {0xE169F000});  // msr spsr_fc, r0
    machine.cpu.CPSR = ModeSystem;
    machine.Step();
    EXPECT_EQ(machine.cpu.SPSR_irq, before.SPSR_irq);
    EXPECT_EQ(machine.cpu.SPSR_und, before.SPSR_und);
    EXPECT_EQ(machine.cpu.SPSR_svc, before.SPSR_svc);
}

TEST(ArmBranch, BAndBlTargets) {
    TestMachine machine;
    // At Code: bl Code + 0x100 (0xEB00003E), at Code + 0x100: b Code (0xEAFFFFBE).
    machine.LoadArm(Code + 0x100, {0xEAFFFFBE});
    machine.LoadArm(Code, {0xEB00003E});
    EXPECT_EQ(machine.Step(), 1);
    EXPECT_EQ(machine.cpu.R[15], Code + 0x100);
    EXPECT_EQ(machine.cpu.R[14], Code + 4);
    machine.Step();
    EXPECT_EQ(machine.cpu.R[15], Code);
}

TEST(ArmBranch, BxSwitchesToThumbAndEndsTheSlice) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE12FFF10});  // bx r0
    machine.cpu.R[0] = 0x08000101;
    machine.cpu.CPSR = ModeSystem;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[15], 0x08000100u);
    EXPECT_TRUE(machine.cpu.CPSR & FlagT);
    EXPECT_TRUE(machine.endedSliceEarly);

    // Staying in ARM state clears the low two bits and does not end the slice.
    machine.LoadArm(Code, {0xE12FFF10});  // bx r0
    machine.cpu.R[0] = 0x03000206;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[15], 0x03000204u);
    EXPECT_FALSE(machine.cpu.CPSR & FlagT);
    EXPECT_FALSE(machine.endedSliceEarly);
}

TEST(ArmSwi, WithBiosImageEntersSupervisorAt8) {
    TestMachine machine;
    BiosLoaded = true;                    // a real BIOS handles the call itself
    machine.LoadArm(Code, {0xEF060000});  // svc 0x00060000
    machine.cpu.CPSR = FlagZ | ModeSystem;
    machine.cpu.R[13] = 0x03007F00;
    machine.cpu.R13_svc = 0x03007FE0;
    machine.Step();
    BiosLoaded = false;
    EXPECT_EQ(machine.cpu.R[15], 0x08u);
    EXPECT_EQ(machine.cpu.R[14], Code + 4);
    EXPECT_EQ(machine.cpu.CPSR, FlagZ | ModeSupervisor) << "I is not set";
    EXPECT_EQ(machine.cpu.SPSR_svc, FlagZ | ModeSystem);
    EXPECT_EQ(machine.cpu.R[13], 0x03007FE0u);
    EXPECT_EQ(machine.cpu.R13_usr, 0x03007F00u);
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

TEST(ArmUndefinedOpcodes, AreSkipped) {
    TestMachine machine;
    const CpuState before = [&] {
        machine.LoadArm(Code, {
                                  0xEE000010,  // mcr p0, 0, r0, c0, c0, 0 (coprocessor space)
                                  0xE7F000F0,  // register-offset transfer with bit 4 set
                                  0xE0600090,  // column 9 of row 0x06
                              });
        machine.cpu.CPSR = ModeSystem;
        return machine.cpu;
    }();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(machine.Step(), 1);
    EXPECT_EQ(machine.cpu.R[15], Code + 12);
    for (int r = 0; r < 15; ++r) EXPECT_EQ(machine.cpu.R[r], before.R[r]);
    EXPECT_EQ(machine.cpu.CPSR, before.CPSR);
}

}  // namespace
