// Processor modes: R13/R14 banking through WriteCpsr and MSR, the slice
// ends a status write causes, and the two exception returns (data
// processing with S into R15, LDM with ^).

#include "cpu/modes.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/cpu_state.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000100;
constexpr uint32_t Data = 0x03001000;

TEST(Banking, MsrToIrqAndBack) {
    TestMachine machine;
    machine.LoadArm(Code, {
                              0xE321F012,  // msr cpsr_c, #0x12
                              0xE321F013,  // msr cpsr_c, #0x13
                          });
    machine.cpu.CPSR = ModeSupervisor;
    machine.cpu.R[13] = 0xA13;
    machine.cpu.R[14] = 0xA14;
    machine.cpu.R13_irq = 0xB13;
    machine.cpu.R14_irq = 0xB14;
    machine.Step();
    EXPECT_EQ(machine.cpu.CPSR, ModeIrq);
    EXPECT_EQ(machine.cpu.R[13], 0xB13u);
    EXPECT_EQ(machine.cpu.R[14], 0xB14u);
    EXPECT_EQ(machine.cpu.R13_svc, 0xA13u);
    EXPECT_EQ(machine.cpu.R14_svc, 0xA14u);
    EXPECT_TRUE(machine.endedSliceEarly);
    machine.cpu.R[13] = 0xC13;  // IRQ's stack moves while it is current
    machine.Step();
    EXPECT_EQ(machine.cpu.R[13], 0xA13u);
    EXPECT_EQ(machine.cpu.R[14], 0xA14u);
    EXPECT_EQ(machine.cpu.R13_irq, 0xC13u);
}

// Which modes share a bank: writing R13 in the first mode and switching to
// the second shows the value again exactly when they share one.
TEST(Banking, SharedAndSeparateBanks) {
    struct Case {
        uint32_t first, second;
        bool shared;
    };
    const Case cases[] = {
        {ModeUser, ModeSystem, true}, {ModeIrq, ModeFiq, false},          {ModeFiq, ModeUndefined, true},
        {ModeUndefined, 0x00, true},  // invalid mode
        {0x15, ModeFiq, true},        {ModeSupervisor, ModeAbort, false}, {ModeAbort, ModeUndefined, false},
        {ModeSystem, ModeIrq, false}, {ModeIrq, ModeSupervisor, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.first << " -> " << c.second);
        TestMachine machine;
        CpuState& cpu = machine.cpu;
        cpu.R13_usr = cpu.R13_svc = cpu.R13_abt = cpu.R13_irq = cpu.R13_und = 0xDEAD;
        cpu.R14_usr = cpu.R14_svc = cpu.R14_abt = cpu.R14_irq = cpu.R14_und = 0xBEEF;
        cpu.CPSR = ModeSystem;
        WriteCpsr(cpu, c.first);
        cpu.R[13] = 0x1313;
        cpu.R[14] = 0x1414;
        WriteCpsr(cpu, c.second);
        EXPECT_EQ(cpu.R[13], c.shared ? 0x1313u : 0xDEADu);
        EXPECT_EQ(cpu.R[14], c.shared ? 0x1414u : 0xBEEFu);
        EXPECT_EQ(cpu.CPSR, c.second);
    }
}

TEST(Banking, SameModeWriteDoesNotTouchTheBanks) {
    TestMachine machine;
    CpuState& cpu = machine.cpu;
    cpu.CPSR = ModeIrq | FlagI;
    cpu.R[13] = 0x111;
    cpu.R13_irq = 0x222;
    cpu.SliceBreak = 0;
    cpu.Cycles = 50;
    WriteCpsr(cpu, ModeIrq | FlagI | FlagN | FlagF);
    EXPECT_EQ(cpu.R[13], 0x111u);
    EXPECT_EQ(cpu.R13_irq, 0x222u);
    EXPECT_EQ(cpu.SliceBreak, 0) << "only flags and F changed";
    EXPECT_EQ(cpu.Cycles, 50);
    WriteCpsr(cpu, ModeIrq | FlagI | FlagT);
    EXPECT_EQ(cpu.SliceBreak, 1) << "T changed";
    EXPECT_EQ(cpu.SavedCycles, 50);
    EXPECT_EQ(cpu.Cycles, 0);
}

TEST(ExceptionReturn, SubsPcFromIrqRestoresCpsrAndBanks) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE25EF004});  // subs pc, lr, #4
    CpuState& cpu = machine.cpu;
    cpu.CPSR = ModeIrq | FlagI;
    cpu.SPSR_irq = FlagZ | FlagT | ModeSystem;  // interrupted THUMB code
    cpu.R[13] = 0x03007FA0;
    cpu.R[14] = 0x08000126;
    cpu.R13_usr = 0x03007F00;
    cpu.R14_usr = 0x08000333;
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000122u);
    EXPECT_EQ(cpu.CPSR, FlagZ | FlagT | ModeSystem);
    EXPECT_EQ(cpu.R[13], 0x03007F00u);
    EXPECT_EQ(cpu.R[14], 0x08000333u);
    EXPECT_EQ(cpu.R13_irq, 0x03007FA0u);
    EXPECT_EQ(cpu.R14_irq, 0x08000126u);
    EXPECT_TRUE(machine.endedSliceEarly);
}

TEST(ExceptionReturn, SubsPcInSystemModeOnlyJumps) {
    TestMachine machine;
    machine.LoadArm(Code, {0xE25EF004});  // subs pc, lr, #4
    machine.cpu.CPSR = ModeSystem | FlagC;
    machine.cpu.R[14] = 0x03000204;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[15], 0x03000200u);
    EXPECT_EQ(machine.cpu.CPSR, ModeSystem | FlagC) << "no flags from the result either";
}

TEST(ExceptionReturn, LogicalOpWritesShifterCarryBeforeRestoring) {
    // The shifter's carry lands in the current CPSR, which the restore then
    // replaces.
    TestMachine machine;
    machine.LoadArm(Code, {0xE1B0F0AE});  // lsrs pc, lr, #1
    machine.cpu.CPSR = ModeSupervisor;
    machine.cpu.SPSR_svc = ModeSystem | FlagV;
    machine.cpu.R[14] = 0x06000401;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[15], 0x03000200u);
    EXPECT_EQ(machine.cpu.CPSR, ModeSystem | FlagV);

    // In System mode there is nothing to restore, so the carry stays.
    machine.LoadArm(Code, {0xE1B0F0AE});  // lsrs pc, lr, #1
    machine.cpu.CPSR = ModeSystem;
    machine.cpu.R[14] = 0x06000401;
    machine.Step();
    EXPECT_EQ(machine.cpu.CPSR, ModeSystem | FlagC);
}

TEST(ExceptionReturn, LdmWithCaretRestoresThenWritesBackIntoTheNewBank) {
    TestMachine machine;
    machine.Write32(Data, 0x1234);
    machine.Write32(Data + 4, 0x03000200);
    machine.LoadArm(Code, {0xE8FD8001});  // ldm sp!, {r0, pc}^
    CpuState& cpu = machine.cpu;
    cpu.CPSR = ModeIrq | FlagI;
    cpu.SPSR_irq = FlagN | ModeSystem;
    cpu.R[13] = Data;
    cpu.R13_usr = 0x03007F00;
    EXPECT_EQ(machine.Step(), 1 + 2 + 1);
    EXPECT_EQ(cpu.R[0], 0x1234u);
    EXPECT_EQ(cpu.R[15], 0x03000200u);
    EXPECT_EQ(cpu.CPSR, FlagN | ModeSystem);
    EXPECT_EQ(cpu.R[13], Data + 8) << "the write-back lands in the System-mode R13";
    EXPECT_EQ(cpu.R13_irq, Data) << "IRQ's bank keeps the value from before the write-back";
}

TEST(ExceptionReturn, LdmWithCaretWithoutPcKeepsTheMode) {
    TestMachine machine;
    machine.Write32(Data, 0x77);
    machine.LoadArm(Code, {0xE8DD0001});  // ldm sp, {r0}^
    machine.cpu.CPSR = ModeIrq | FlagI;
    machine.cpu.SPSR_irq = ModeSystem;
    machine.cpu.R[13] = Data;
    machine.Step();
    EXPECT_EQ(machine.cpu.R[0], 0x77u);
    EXPECT_EQ(machine.cpu.CPSR, ModeIrq | FlagI);
}

}  // namespace
