// ARM single, halfword, swap and block transfers: addressing, write-back,
// R15 as data, misaligned loads and cycle charges. Opcodes come from
// arm-none-eabi-as (hand-encoded where the assembler refuses, as noted).

#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/cpu_state.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000100;  // internal work RAM: 1-cycle fetches
constexpr uint32_t Data = 0x03001000;

TEST(ArmSingleTransfer, MisalignedWordLoadShiftsWithoutRotating) {
    TestMachine machine;
    machine.Write32(Data, 0x11223344);
    machine.LoadArm(Code, {0xE5910000});  // ldr r0, [r1]
    machine.cpu.R[1] = Data + 2;
    EXPECT_EQ(machine.Step(), 3) << "fetch, load, internal cycle";
    EXPECT_EQ(machine.cpu.R[0], 0x00001122u);
}

TEST(ArmSingleTransfer, LoadCostFollowsTheRegion) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE5910000});  // ldr r0, [r1]
    machine.cpu.R[1] = 0x08000000;        // cartridge, 6 cycles for 32 bits after reset
    EXPECT_EQ(machine.Step(), 1 + 6 + 1);
    machine.LoadArm(Code, {0xE5D10001});  // ldrb r0, [r1, #1]
    machine.cpu.R[1] = 0x02000000;        // external work RAM, 3 cycles for 8 bits
    EXPECT_EQ(machine.Step(), 1 + 3 + 1);
}

TEST(ArmSingleTransfer, R15AsBaseAndAsStoredValue) {
    TestMachine machine;
    machine.LoadArm(Code, {
                              0xE51F0004,  // ldr r0, [pc, #-4]
                              0xCAFEF00D,  // data, never executed
                          });
    machine.Step();
    EXPECT_EQ(machine.cpu.R[0], 0xCAFEF00Du);

    machine.LoadArm(Code, {0xE580F000});  // str pc, [r0]
    machine.cpu.R[0] = Data;
    machine.Step();
    EXPECT_EQ(machine.Read32(Data), Code + 12);

    machine.LoadArm(Code, {0xE1C0F0B0});  // strh pc, [r0] (hand-encoded)
    machine.cpu.R[0] = Data + 8;
    machine.Step();
    EXPECT_EQ(machine.Read16(Data + 8), uint16_t(Code + 12));
}

TEST(ArmSingleTransfer, LoadIntoR15Jumps) {
    TestMachine machine;
    machine.LoadArm(Code, {
                              0xE51FF004,  // ldr pc, [pc, #-4]
                              0x03000402,  // target, used unchanged
                          });
    machine.Step();
    EXPECT_EQ(machine.cpu.R[15], 0x03000402u);
}

TEST(ArmSingleTransfer, IndexingAndWriteBack) {
    struct Case {
        const char* name;
        uint32_t opcode;
        uint32_t r1, r2;
        uint32_t expectR0, expectR1;
    };
    // Memory at Data: bytes 0x10, 0x11, 0x12, ... (word at Data + 4n = ...).
    const Case cases[] = {
        {"ldr r1, [r1], #4 (write-back wins)", 0xE4911004, Data, 0, 0xAAAAAAAA, Data + 4},
        {"ldr r0, [r1, #-4]!", 0xE5310004, Data + 8, 0, 0x17161514, Data + 4},
        {"ldrb r0, [r1, #1]!", 0xE5F10001, Data + 4, 0, 0x15, Data + 5},
        {"ldr r0, [r1, r2, lsl #2]", 0xE7910102, Data, 2, 0x1B1A1918, Data},
        {"ldrh r0, [r1, #2]", 0xE1D100B2, Data, 0, 0x1312, Data},
        {"ldrsb r0, [r1, r2]", 0xE19100D2, Data, 0x7F, 0xFFFFFF8F, Data},
        {"ldrsh r0, [r1] (odd address)", 0xE1D100F0, Data + 0x7F, 0, 0xFFFF8F8E, Data + 0x7F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        for (uint32_t i = 0; i < 0x80; ++i) machine.Write8(Data + i, uint8_t(0x10 + i));
        machine.LoadArm(Code, {c.opcode});
        machine.cpu.R[0] = 0xAAAAAAAA;
        machine.cpu.R[1] = c.r1;
        machine.cpu.R[2] = c.r2;
        machine.Step();
        EXPECT_EQ(machine.cpu.R[0], c.expectR0);
        EXPECT_EQ(machine.cpu.R[1], c.expectR1);
    }
}

TEST(ArmSingleTransfer, RegisterOffsetShiftNeverTouchesCarry) {
    TestMachine machine;
    machine.Write32(Data, 0x55667788);
    machine.LoadArm(Code, {0xE7910022});  // ldr r0, [r1, r2, lsr #32]
    machine.cpu.R[1] = Data;
    machine.cpu.R[2] = 0x80000000;  // the shifter's carry would be 1
    machine.cpu.CPSR = ModeSystem;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[0], 0x55667788u);
    EXPECT_EQ(machine.cpu.CPSR, ModeSystem);
}

TEST(ArmSingleTransfer, ByteStoreWithPostDecrement) {
    TestMachine machine;
    machine.Write32(Data, 0);
    machine.LoadArm(Code, {0xE4410001});  // strb r0, [r1], #-1
    machine.cpu.R[0] = 0x123456AB;
    machine.cpu.R[1] = Data + 2;
    EXPECT_EQ(machine.Step(), 2) << "fetch and one 8-bit write";
    EXPECT_EQ(machine.Read32(Data), 0x00AB0000u);
    EXPECT_EQ(machine.cpu.R[1], Data + 1);
}

TEST(ArmSwap, WordAndByte) {
    TestMachine machine;
    machine.Write32(Data, 0x11223344);
    machine.LoadArm(Code, {
                              0xE1020091,  // swp r0, r1, [r2]
                              0xE1423093,  // swpb r3, r3, [r2]
                          });
    machine.cpu.R[1] = 0xA1B2C3D4;
    machine.cpu.R[2] = Data;
    machine.cpu.R[3] = 0x000000EE;
    EXPECT_EQ(machine.Step(), 1 + 1 + 1 + 1) << "fetch, load, store, internal cycle";
    EXPECT_EQ(machine.cpu.R[0], 0x11223344u);
    EXPECT_EQ(machine.Read32(Data), 0xA1B2C3D4u);
    machine.Step();
    EXPECT_EQ(machine.cpu.R[3], 0xD4u);
    EXPECT_EQ(machine.Read32(Data), 0xA1B2C3EEu);
}

TEST(ArmBlockTransfer, AddressingModes) {
    struct Case {
        const char* name;
        uint32_t opcode;
        uint32_t firstAddress;  // where r1 goes (r2 follows at +4)
        uint32_t finalR0;
    };
    constexpr uint32_t base = Data + 0x20;
    const Case loads[] = {
        {"ldmib r0, {r1, r2}", 0xE9900006, base + 4, base},
        {"ldmda r0!, {r1, r2}", 0xE8300006, base - 4, base - 8},
        {"ldmia r0!, {r1, r2}", 0xE8B00006, base, base + 8},
        {"ldmdb r0, {r1, r2}", 0xE9100006, base - 8, base},
    };
    for (const Case& c : loads) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        for (uint32_t i = 0; i < 32; ++i) machine.Write32(Data + 4 * i, 0x1000 + 4 * i);
        machine.LoadArm(Code, {c.opcode});
        machine.cpu.R[0] = base;
        EXPECT_EQ(machine.Step(), 1 + 2 + 1) << "fetch, two loads, internal cycle";
        EXPECT_EQ(machine.cpu.R[1], 0x1000 + (c.firstAddress - Data));
        EXPECT_EQ(machine.cpu.R[2], 0x1000 + (c.firstAddress + 4 - Data));
        EXPECT_EQ(machine.cpu.R[0], c.finalR0);
    }
    const Case stores[] = {
        {"stmib r0!, {r1, r2}", 0xE9A00006, base + 4, base + 8},
        {"stmda r0, {r1, r2}", 0xE8000006, base - 4, base},
    };
    for (const Case& c : stores) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        machine.LoadArm(Code, {c.opcode});
        machine.cpu.R[0] = base;
        machine.cpu.R[1] = 0x0101;
        machine.cpu.R[2] = 0x0202;
        EXPECT_EQ(machine.Step(), 1 + 2) << "fetch and two writes";
        EXPECT_EQ(machine.Read32(c.firstAddress), 0x0101u);
        EXPECT_EQ(machine.Read32(c.firstAddress + 4), 0x0202u);
        EXPECT_EQ(machine.cpu.R[0], c.finalR0);
    }
}

TEST(ArmBlockTransfer, PushStoresLowestRegisterLowest) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE92D000F});  // push {r0, r1, r2, r3} (stmdb sp!)
    for (uint32_t r = 0; r < 4; ++r) machine.cpu.R[r] = 0xA0 + r;
    machine.cpu.R[13] = Data + 0x40;
    machine.Step();
    EXPECT_EQ(machine.Read32(Data + 0x30), 0xA0u);
    EXPECT_EQ(machine.Read32(Data + 0x3C), 0xA3u);
    EXPECT_EQ(machine.cpu.R[13], Data + 0x30);
}

TEST(ArmBlockTransfer, BaseInTheList) {
    TestMachine machine;
    machine.Write32(Data, 0x11);
    machine.Write32(Data + 4, 0x22);
    machine.LoadArm(Code, {0xE8BD2001});  // pop {r0, sp}: write-back beats the loaded value
    machine.cpu.R[13] = Data;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[0], 0x11u);
    EXPECT_EQ(machine.cpu.R[13], Data + 8);

    machine.LoadArm(Code, {0xE8A00003});  // stmia r0!, {r0, r1}: the base is stored as it was
    machine.cpu.R[0] = Data + 0x10;
    machine.cpu.R[1] = 0x33;
    machine.Step();
    EXPECT_EQ(machine.Read32(Data + 0x10), Data + 0x10);
    EXPECT_EQ(machine.Read32(Data + 0x14), 0x33u);
    EXPECT_EQ(machine.cpu.R[0], Data + 0x18);
}

TEST(ArmBlockTransfer, StoreOfR15IsTwelveAhead) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE8808001});  // stm r0, {r0, pc}
    machine.cpu.R[0] = Data;
    machine.Step();
    EXPECT_EQ(machine.Read32(Data), Data);
    EXPECT_EQ(machine.Read32(Data + 4), Code + 12);
    EXPECT_EQ(machine.cpu.R[15], Code + 4);
}

TEST(ArmBlockTransfer, LoadOfR15Jumps) {
    TestMachine machine;
    machine.Write32(Data, 0x03000301);
    machine.LoadArm(Code, {0xE8900000 | (1u << 15)});  // ldm r0, {pc}
    machine.cpu.R[0] = Data;
    machine.cpu.CPSR = ModeSystem;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[15], 0x03000301u) << "a plain jump: no alignment, no T";
    EXPECT_EQ(machine.cpu.CPSR, ModeSystem);
}

TEST(ArmBlockTransfer, EmptyListCostsOneCycleAndChangesNothing) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE8B00000});  // ldmia r0!, {} (hand-encoded)
    machine.cpu.R[0] = Data;
    const CpuState before = machine.cpu;
    EXPECT_EQ(machine.Step(), 2);
    for (int r = 0; r < 15; ++r) EXPECT_EQ(machine.cpu.R[r], before.R[r]) << "R" << r;
}

TEST(ArmBlockTransfer, UserBankBitOnStoreIsIgnored) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE8C02000});  // stmia r0, {sp}^
    machine.cpu.CPSR = ModeIrq | FlagI;
    machine.cpu.R[0] = Data;
    machine.cpu.R[13] = 0x03007FA0;  // IRQ's own stack pointer
    machine.cpu.R13_usr = 0x03007F00;
    machine.Step();
    EXPECT_EQ(machine.Read32(Data), 0x03007FA0u);
}

}  // namespace
