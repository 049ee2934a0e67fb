// Status changes and the slice: a change of mode, of THUMB state or of the I
// bit must end the slice at once, so that the run loop switches decoders and
// sees a newly unmasked interrupt; flags and F alone must not. The banking
// itself is checked by cartridges/cpu/arm_psr.s.

#include "cpu/modes.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/cpu_state.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000100;

TEST(SliceEnd, StatusChangesThatEndTheSlice) {
    const struct {
        const char* name;
        uint32_t opcode, cpsr, r0, expectCpsr;
        bool ends;
    } cases[] = {
        {"msr cpsr_c, #0x5f: F alone", 0xE321F05F, ModeSystem, 0, FlagF | ModeSystem, false},
        {"msr cpsr_c, #0xdf: I set", 0xE321F0DF, ModeSystem, 0, FlagI | FlagF | ModeSystem, true},
        {"msr cpsr_f, #0xf0000000", 0xE328F20F, ModeSystem | FlagI, 0, 0xF0000000 | FlagI | ModeSystem, false},
        {"msr cpsr_fc, r0 in User mode: flags only", 0xE129F000, ModeUser, 0xF000001F, 0xF0000000 | ModeUser, false},
        {"msr cpsr_c, #0x12: Supervisor to IRQ", 0xE321F012, ModeSupervisor, 0, ModeIrq, true},
        {"bx r0 into THUMB", 0xE12FFF10, ModeSystem, 0x08000101, FlagT | ModeSystem, true},
        {"bx r0 staying in ARM", 0xE12FFF10, ModeSystem, 0x03000206, ModeSystem, false},
        {"subs pc, lr, #4 from IRQ into THUMB", 0xE25EF004, ModeIrq | FlagI, 0, FlagZ | FlagT | ModeSystem, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        machine.LoadArm(Code, {c.opcode});
        machine.cpu.CPSR = c.cpsr;
        machine.cpu.SPSR_irq = FlagZ | FlagT | ModeSystem;
        machine.cpu.R[0] = c.r0;
        machine.cpu.R[14] = 0x08000126;
        machine.Step();
        EXPECT_EQ(machine.cpu.CPSR, c.expectCpsr);
        EXPECT_EQ(machine.endedSliceEarly, c.ends);
    }
}

TEST(SliceEnd, WriteCpsrSetsTheRestOfTheSliceAside) {
    TestMachine machine;
    CpuState& cpu = machine.cpu;
    cpu.CPSR = ModeIrq | FlagI;
    cpu.R[13] = 0x111;
    cpu.R13_irq = 0x222;
    cpu.SliceBreak = 0;
    cpu.Cycles = 50;
    WriteCpsr(cpu, ModeIrq | FlagI | FlagN | FlagF);
    EXPECT_EQ(cpu.R[13], 0x111u) << "the same mode: no bank is touched";
    EXPECT_EQ(cpu.R13_irq, 0x222u);
    EXPECT_EQ(cpu.SliceBreak, 0) << "only flags and F changed";
    EXPECT_EQ(cpu.Cycles, 50);
    WriteCpsr(cpu, ModeIrq | FlagI | FlagT);
    EXPECT_EQ(cpu.SliceBreak, 1) << "T changed";
    EXPECT_EQ(cpu.SavedCycles, 50);
    EXPECT_EQ(cpu.Cycles, 0);
}

}  // namespace
