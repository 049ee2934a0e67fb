// ARM transfers where the cartridges cannot look: the cycles each kind
// charges by the region it reaches, and R15 written by a load (or a move)
// taken as it is. Addressing, write-back and the misaligned rules are
// checked by cartridges/cpu/arm_memory.s. Opcodes come from arm-none-eabi-as.

#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/cpu_state.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000100;  // internal work RAM: 1-cycle fetches
constexpr uint32_t Iwram = 0x03001000, Ewram = 0x02000000, Rom = 0x08000000;

TEST(ArmCycles, TransfersPayTheRegionTheyReach) {
    // Internal work RAM: 1 per access. External work RAM: 6 per word, 3 per
    // halfword or byte. The cartridge after reset: 6 per word. A load adds
    // one internal cycle; a store does not.
    const struct {
        const char* name;
        uint32_t opcode, base;  // base in R1
        int32_t cycles;         // fetch included
    } cases[] = {
        {"ldr r0, [r1] (misaligned)", 0xE5910000, Iwram + 2, 1 + 1 + 1},
        {"ldr r0, [r1] from the cartridge", 0xE5910000, Rom, 1 + 6 + 1},
        {"ldrb r0, [r1, #1]", 0xE5D10001, Ewram, 1 + 3 + 1},
        {"ldrh r0, [r1, #2]", 0xE1D100B2, Ewram, 1 + 3 + 1},
        {"str r0, [r1]", 0xE5810000, Ewram, 1 + 6},
        {"strb r0, [r1], #-1", 0xE4410001, Iwram + 2, 1 + 1},
        {"swp r0, r2, [r1]: load, store, internal", 0xE1010092, Iwram, 1 + 1 + 1 + 1},
        {"ldm r1, {r2, r3}", 0xE891000C, Iwram, 1 + 2 + 1},
        {"stm r1, {r2, r3}", 0xE881000C, Iwram, 1 + 2},
        {"ldm r1, {r2, r3} from external work RAM", 0xE891000C, Ewram, 1 + 2 * 6 + 1},
        {"ldmia r0!, {} (empty list)", 0xE8B00000, Iwram, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        machine.LoadArm(Code, {c.opcode});
        machine.cpu.R[0] = Iwram;
        machine.cpu.R[1] = c.base;
        EXPECT_EQ(machine.Step(), c.cycles);
    }
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
