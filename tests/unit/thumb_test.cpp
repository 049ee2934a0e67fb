// THUMB where the cartridges cannot look: cycle charges, the slice loop's
// fetch window (the host page and fetch cost it keeps between instructions),
// and the slice end of a switch to ARM state.
// Results and flags are checked by cartridges/cpu/thumb_*.s. Opcodes come
// from arm-none-eabi-as -mthumb; the assembly is in the comment beside each.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "cpu/run_loop.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000000;  // internal work RAM: 1-cycle fetches
constexpr uint32_t Data = 0x02000000;  // external work RAM: 6 per word, 3 per halfword

class Thumb : public ::testing::Test {
protected:
    // Runs a slice of the given budget, as the run loop does.
    void RunSlice(int32_t cycles) {
        cpu.Cycles = cycles;
        cpu.SliceBreak = 0;
        RunThumbSlice(cpu);
    }

    TestMachine machine;
    CpuState& cpu = machine.cpu;
};

TEST_F(Thumb, CycleCharges) {
    // Single loads add one internal cycle; multiple loads do not.
    const struct {
        const char* name;
        uint32_t at;
        uint16_t opcode;
        int32_t cycles;
    } cases[] = {
        {"movs r3, #0 from the cartridge", 0x08000000, 0x2300, 3},
        {"lsls r0, r1", Code, 0x4088, 2},
        {"muls r0, r1", Code, 0x4348, 5},
        {"ldr r0, [r1, r2]", Code, 0x5888, 1 + 6 + 1},
        {"ldrh r0, [r1, r2]", Code, 0x5A88, 1 + 3 + 1},
        {"str r0, [r1, r2]", Code, 0x5088, 1 + 6},
        {"push {r0, r2, lr}", Code, 0xB505, 1 + 3 * 6},
        {"ldmia r1!, {r0, r2}", Code, 0xC905, 1 + 2 * 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        machine.LoadThumb(c.at, {c.opcode});
        cpu.R[0] = cpu.R[2] = 0;
        cpu.R[1] = Data;
        cpu.R[13] = Data + 0x100;
        EXPECT_EQ(machine.Step(), c.cycles);
    }
}

TEST_F(Thumb, FetchWindowFollowsThePcIntoTheNextPage) {
    // The last two instructions of external work RAM (3 cycles each), then
    // the first of internal work RAM (1): a budget of 7 runs exactly three.
    machine.LoadThumb(0x03000000, {0x2203 /* movs r2, #3 */, 0x2304 /* movs r3, #4 */});
    machine.LoadThumb(0x02FFFFFC, {0x2001 /* movs r0, #1 */, 0x2102 /* movs r1, #2 */});
    cpu.R[2] = cpu.R[3] = 0;
    RunSlice(7);
    EXPECT_EQ((std::array{cpu.R[2], cpu.R[3], uint32_t(cpu.Cycles), cpu.R[15]}),
              (std::array<uint32_t, 4>{3, 0, 0, 0x03000002}));
}

TEST_F(Thumb, StoreToWaitcntChangesTheNextFetchCost) {
    // From the cartridge: the store costs 3 + 1, then WAITCNT 0x4016 makes
    // each fetch 2 instead of 3, so a budget of 8 ends exactly at zero.
    machine.LoadThumb(0x08000000, {0x8008 /* strh r0, [r1] */, 0x46C0 /* nop */, 0x46C0, 0x46C0});
    cpu.R[0] = 0x4016;
    cpu.R[1] = 0x04000204;
    RunSlice(8);
    EXPECT_EQ(cpu.R[15], 0x08000006u);
    EXPECT_EQ(cpu.Cycles, 0);
}

TEST_F(Thumb, HaltingStoreIsRunAgain) {
    // A store to HALTCNT with an interrupt enabled moves R15 back over the
    // store and ends the slice; the slice loop must pick up that R15.
    machine.Write16(0x04000200, 1);  // IE: vertical blank
    machine.Write16(0x04000208, 1);  // IME
    machine.LoadThumb(Code, {0x5488 /* strb r0, [r1, r2] */, 0x2301 /* movs r3, #1 */});
    cpu.R[0] = 0;
    cpu.R[1] = 0x04000300;
    cpu.R[2] = 1;
    cpu.R[3] = 0;
    RunSlice(50);
    EXPECT_EQ(cpu.R[15], Code);
    EXPECT_EQ(cpu.R[3], 0u);
}

TEST_F(Thumb, BranchExchangeIntoArmEndsTheSlice) {
    // The slice ends at once, so the MOVS after the BX is never run as THUMB.
    machine.LoadThumb(Code, {0x4700 /* bx r0 */, 0x2301 /* movs r3, #1 */});
    cpu.R[0] = Code + 0x200;
    cpu.R[3] = 0;
    RunSlice(50);
    EXPECT_FALSE(cpu.CPSR & FlagT);
    EXPECT_EQ(
        (std::array{cpu.R[15], cpu.R[3], uint32_t(cpu.SliceBreak), uint32_t(cpu.SavedCycles), uint32_t(cpu.Cycles)}),
        (std::array<uint32_t, 5>{Code + 0x200, 0, 1, 49, 0}));
}

}  // namespace
