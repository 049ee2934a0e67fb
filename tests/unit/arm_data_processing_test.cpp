// The ARM instruction set where the cartridges cannot look: the cycles each
// instruction class charges (transfers by the region they reach), the
// subtract V rule in the cases cartridges/cpu/arm_alu.s leaves out, the
// undefined encodings, and R15 written by a load (or a move) taken as it is.
// Addressing, write-back and the misaligned rules are checked by
// cartridges/cpu/arm_memory.s. Opcodes come from arm-none-eabi-as; the
// assembly is in the comment beside each.

#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/cpu_state.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000100;  // internal work RAM: 1-cycle fetches

constexpr uint32_t Iwram = 0x03001000, Ewram = 0x02000000, Rom = 0x08000000;

// Fetch included. Internal work RAM: 1 per access. External work RAM: 6 per
// word, 3 per halfword or byte. The cartridge after reset: 6 per word. A
// load adds one internal cycle; a store does not.
TEST(ArmCycles, ChargedPerInstructionClassAndRegion) {
    const struct {
        const char* name;
        uint32_t at, opcode, base;  // base in R1; R0 = Iwram, R2 = 4, R3 = 0
        int32_t cycles;
    } cases[] = {
        {"lsls r0, r1, r2: a register amount adds a cycle", Code, 0xE1B00211, Iwram, 2},
        {"moveq r0, #1 failing, from the cartridge: the fetch alone", Rom, 0x03A00001, Iwram, 6},
        {"muls r0, r1, r2", Code, 0xE0100291, Iwram, 5},
        {"umulls r0, r1, r2, r3", Code, 0xE0910392, Iwram, 6},
        {"ldr r0, [r1] from the cartridge", Code, 0xE5910000, Rom, 1 + 6 + 1},
        {"ldrb r0, [r1, #1]", Code, 0xE5D10001, Ewram, 1 + 3 + 1},
        {"str r0, [r1]", Code, 0xE5810000, Ewram, 1 + 6},
        {"swp r0, r2, [r1]: load, store, internal", Code, 0xE1010092, Iwram, 1 + 1 + 1 + 1},
        {"stm r1, {r2, r3}", Code, 0xE881000C, Iwram, 1 + 2},
        {"ldm r1, {r2, r3} from external work RAM", Code, 0xE891000C, Ewram, 1 + 2 * 6 + 1},
        {"ldmia r0!, {} (empty list)", Code, 0xE8B00000, Iwram, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        machine.LoadArm(c.at, {c.opcode});
        machine.cpu.R[0] = Iwram;
        machine.cpu.R[1] = c.base;
        machine.cpu.R[2] = 4;
        machine.cpu.R[3] = 0;
        machine.cpu.CPSR = ModeSystem;
        EXPECT_EQ(machine.Step(), c.cycles);
    }
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

TEST(ArmPipeline, R15WrittenAsDataIsAPlainJump) {
    // No alignment and no change of state, whatever the low bits say.
    const struct {
        const char* name;
        uint32_t opcode;
    } cases[] = {
        {"mov pc, r2", 0xE1A0F002},
        {"ldr pc, [r1]", 0xE591F000},
        {"ldm r1, {pc}", 0xE8918000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const uint32_t target : {0x03000203u, 0x03000301u}) {
            TestMachine machine;
            machine.Write32(Iwram, target);
            machine.LoadArm(Code, {c.opcode});
            machine.cpu.R[1] = Iwram;
            machine.cpu.R[2] = target;
            machine.cpu.CPSR = ModeSystem;
            machine.Step();
            EXPECT_EQ(machine.cpu.R[15], target);
            EXPECT_EQ(machine.cpu.CPSR, ModeSystem);
        }
    }
}

}  // namespace
