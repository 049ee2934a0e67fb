// The host emulation of the BIOS functions where the cartridges cannot look
// (cartridges/system/bios_functions.c checks the results of every function
// on ordinary input): edge rules, the slice a call uses up, the waits and
// their check word, resets, the SWI exception with a BIOS image, and the
// trace. Expected values are worked out by hand.

#include "cpu/bios.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "cpu/modes.h"
#include "game/game.h"
#include "game/settings.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "tests/support/test_machine.h"

namespace {

class Bios : public testing::Test {
protected:
    TestMachine machine;
    CpuState& cpu = machine.cpu;

    void SetUp() override { BiosLoaded = false; }
    void TearDown() override { BiosLoaded = false; }

    void Call(uint32_t number, std::initializer_list<uint32_t> registers) {
        uint32_t index = 0;
        for (uint32_t value : registers) cpu.R[index++] = value;
        BiosCall(cpu, number);
    }

    void WriteBytes(uint32_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t byte : bytes) machine.Write8(address++, byte);
    }
};

TEST_F(Bios, ArithmeticEdgeRules) {
    const struct {
        const char* name;
        uint32_t number;  // 6 = Div (R0 / R1), 7 = DivArm (R1 / R0), 9 = ArcTan, 10 = ArcTan2
        uint32_t r0, r1, expect0;
        uint32_t expect1, expect3;  // divisions only; R2 = 0xAAAA, R3 = 0xBBBB before
    } cases[] = {
        // The one quotient that does not fit wraps instead of trapping.
        {"Div MIN/-1", 6, 0x80000000, uint32_t(-1), 0x80000000, 0, 0x80000000},
        {"DivArm MIN/-1", 7, uint32_t(-1), 0x80000000, 0x80000000, 0, 0x80000000},
        // Division by zero changes nothing.
        {"Div by 0", 6, 5, 0, 5, 0, 0xBBBB},
        {"DivArm by 0", 7, 0, 5, 0, 5, 0xBBBB},
        // Only the low 16 bits of the tangent count: atan 1 = 8191.75.
        {"ArcTan 0xFFFF4000", 9, 0xFFFF4000, 0, 8191, 0, 0},
        // x = 0x10000 has low bits 0: on the y axis R0 is left alone.
        {"ArcTan2 on the y axis", 10, 0x10000, 0x4000, 0x10000, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Call(c.number, {c.r0, c.r1, 0xAAAA, 0xBBBB});
        EXPECT_EQ(cpu.R[0], c.expect0);
        if (c.number < 9) {
            EXPECT_EQ(cpu.R[1], c.expect1);
            EXPECT_EQ(cpu.R[2], 0xAAAAu);
            EXPECT_EQ(cpu.R[3], c.expect3);
        }
    }
}

TEST_F(Bios, CpuSetAlignsAndTakesASixteenBitCount) {
    const struct {
        const char* name;
        uint32_t source, control;
        std::vector<uint16_t> expected;  // the first five halfwords at 0x02000100
    } cases[] = {
        {"3 halfwords between odd addresses", 0x02000001, 0x00000003, {0x1111, 0x2222, 0x3333, 0xEEEE, 0xEEEE}},
        {"count 0x10001 is 1", 0x02000000, 0x04010001, {0x1111, 0x2222, 0xEEEE, 0xEEEE, 0xEEEE}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (uint32_t i = 0; i < 5; ++i) {
            machine.Write16(0x02000000 + 2 * i, uint16_t(0x1111 * (i + 1)));
            machine.Write16(0x02000100 + 2 * i, 0xEEEE);
        }
        Call(0x0B, {c.source, 0x02000101, c.control});
        for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(machine.Read16(0x02000100 + 2 * i), c.expected[i]) << i;
    }
}

TEST_F(Bios, DecompressionStopsAtTheSizeAndUsesUpTheSlice) {
    // LZ77 to VRAM: "ABC", a reference 3 back of length 4 (0x1002), then
    // 'Z'; with a size of 6 the reference is cut short.
    WriteBytes(0x02000000, {0x10, 6, 0, 0, 0x10, 'A', 'B', 'C', 0x10, 0x02, 'Z'});
    machine.Write32(0x06000004, 0xEEEEEEEE);
    cpu.Cycles = 500;
    Call(0x12, {0x02000000, 0x06000000});
    EXPECT_EQ(machine.Read32(0x06000000), 0x41434241u);  // ABCA
    EXPECT_EQ(machine.Read32(0x06000004), 0xEEEE4342u);  // BC
    EXPECT_EQ(cpu.Cycles, 0);

    // Huffman writes whole words: a size of 5 gives two. The tree: the
    // root's 0-child is 'A', its 1-child a node over 'B' and 'C' (codes 0,
    // 10, 11); size 3 makes an 8-byte table, so the stream is at 0x0200000C.
    WriteBytes(0x02000000, {0x28, 5, 0, 0, 3, 0x80, 'A', 0xC0, 'B', 'C', 0, 0});
    machine.Write32(0x0200000C, 0x5BA00000);  // ABCACBBA
    for (uint32_t word = 0; word < 3; ++word) machine.Write32(0x02001000 + 4 * word, 0xEEEEEEEE);
    cpu.Cycles = 500;
    Call(0x13, {0x02000000, 0x02001000});
    EXPECT_EQ(machine.Read32(0x02001000), 0x41434241u);
    EXPECT_EQ(machine.Read32(0x02001004), 0x41424243u);
    EXPECT_EQ(machine.Read32(0x02001008), 0xEEEEEEEEu);
    EXPECT_EQ(cpu.Cycles, 0);
}

// A huge count must not hold the emulator inside one call: once its bus
// accesses have run up a frame of cycle debt (228 lines of 1232 cycles) the
// call pauses with the entries left in R0-R2 and R15 back on the SWI, which
// runs again after the slice. 16000 entries, read from the zero-filled
// cartridge, take a few rounds; a game's few entries finish at once and
// leave the registers alone.
TEST_F(Bios, AffineSetsPauseAfterAFrameOfWorkAndResume) {
    constexpr int32_t frame = 228 * 1232;
    for (uint32_t number : {0x0Eu, 0x0Fu}) {
        for (const uint32_t thumb : {0u, FlagT}) {
            SCOPED_TRACE(testing::Message() << number << (thumb ? " THUMB" : " ARM"));
            const uint32_t swiSize = thumb ? 2 : 4;
            cpu.CPSR = 0x1F | thumb;
            cpu.R[15] = 0x08000100 + swiSize;
            cpu.Cycles = 100;
            Call(number, {0x08000000, 0x02000000, 16000, 2});
            int rounds = 1;
            while (cpu.R[15] == 0x08000100) {
                EXPECT_GE(cpu.Cycles, -frame - 200);
                EXPECT_LE(cpu.Cycles, -frame);
                cpu.R[15] += swiSize;
                cpu.Cycles = 100;
                BiosCall(cpu, number);
                ++rounds;
            }
            EXPECT_GT(rounds, 1);
            // A zero scale means 1.0: every entry, on both sides of each
            // pause, holds the identity (PA 256).
            const uint32_t stride = number == 0x0E ? 16 : 8;
            int written = 0;
            for (uint32_t entry = 0; entry < 16000; ++entry) {
                written += machine.Read16(0x02000000 + stride * entry) == 0x0100;
                machine.Write16(0x02000000 + stride * entry, 0);
            }
            EXPECT_EQ(written, 16000);

            Call(number, {0x08000000, 0x02000000, 3, 2});
            EXPECT_EQ(cpu.R[0], 0x08000000u);
            EXPECT_EQ(cpu.R[2], 3u);
            EXPECT_EQ(cpu.R[15], 0x08000100 + swiSize);
        }
    }
}

TEST_F(Bios, RegisterRamResetClearsTheChosenMemories) {
    const uint32_t cleared[] = {0x02000000, 0x0203FFFC, 0x03000000, 0x03007DFC,
                                0x050003FC, 0x06000000, 0x06017FFC, 0x070003FC};
    for (uint32_t address : cleared) machine.Write32(address, 0x12345678);
    machine.Write32(0x03007E00, 0x12345678);
    cpu.R[15] = 0x08000100;

    Call(0x01, {0x04});  // palette only
    EXPECT_EQ(machine.Read32(0x050003FC), 0u);
    EXPECT_EQ(machine.Read32(0x06000000), 0x12345678u);

    Call(0x01, {0xFF});
    for (uint32_t address : cleared) EXPECT_EQ(machine.Read32(address), 0u) << std::hex << address;
    // The stacks and the BIOS variables survive.
    EXPECT_EQ(machine.Read32(0x03007E00), 0x12345678u);
    EXPECT_EQ(machine.Read32(0x03007FFC), 0x28u);
    EXPECT_EQ(cpu.R[15], 0x08000100u);
}

// The state after a reset is checked by the exceptions cartridge; here the
// parts a cartridge cannot see: the restart address, the switch from THUMB
// to ARM taking effect at once, and HardReset's clean start.
TEST_F(Bios, ResetsRestartTheGameInArmState) {
    machine.LoadThumb(0x08000200, {0xDF00});
    cpu.CPSR = FlagT | ModeIrq;
    machine.Write32(0x03007FFC, 0x03001234);  // the game's interrupt handler
    machine.Step();
    EXPECT_EQ((std::array{cpu.R[15], cpu.CPSR}), (std::array<uint32_t, 2>{0x08000000, ModeSystem}));
    EXPECT_TRUE(machine.endedSliceEarly);
    EXPECT_EQ(machine.Read32(0x03007FFC), 0x28u) << "back to the stub's own return";

    machine.Write8(0x03007FFA, 1);  // started from external work RAM
    machine.LoadThumb(0x08000200, {0xDF00});
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x02000000u);

    // HardReset also clears external work RAM, the start flag included.
    machine.Write32(0x02000100, 0x12345678);
    machine.LoadThumb(0x08000200, {0xDF26});
    cpu.CPSR = FlagT | ModeSystem;
    machine.Step();
    EXPECT_EQ((std::array{cpu.R[15], cpu.CPSR, machine.Read32(0x02000100), uint32_t(machine.Read8(0x03007FFA))}),
              (std::array<uint32_t, 4>{0x08000000, ModeSystem, 0, 0}));
    EXPECT_TRUE(machine.endedSliceEarly);
}

TEST_F(Bios, HaltWaitsOnlyWhenAnInterruptCanWakeTheCpu) {
    machine.LoadArm(0x08000000, {0xEF020000});
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000004u);  // IME off: returns at once

    StoreIoHalf(0x208, 1);  // IME
    StoreIoHalf(0x200, 1);  // IE: vertical blank
    machine.LoadArm(0x08000000, {0xEF020000});
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000000u);  // the SWI runs again
}

// The waits watch the check word at 0x03007FF8 that interrupt handlers
// update, so another interrupt does not end a wait for the vertical blank.
TEST_F(Bios, VBlankIntrWaitWaitsThroughOtherInterrupts) {
    StoreIoHalf(0x200, 0x0009);           // IE: vertical blank and timer 0
    machine.Write16(0x03007FF8, 0x0001);  // a stale vertical blank flag
    machine.LoadArm(0x08000000, {0xEF050000});
    machine.Step();
    EXPECT_EQ(ReadIoHalf(0x208), 1);            // IME switched on
    EXPECT_EQ(machine.Read16(0x03007FF8), 0u);  // the stale flag discarded
    EXPECT_EQ(cpu.R[15], 0x08000000u);          // halted on the SWI
    EXPECT_EQ(HaltState, Halt::Halted);

    // A timer interrupt wakes the CPU; its handler marks only timer 0.
    machine.Write16(0x03007FF8, 0x0008);
    HaltState = Halt::Woken;
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000000u);  // halts again
    EXPECT_EQ(HaltState, Halt::Halted);

    // The vertical blank handler marks its flag: the wait completes and
    // consumes only that flag.
    machine.Write16(0x03007FF8, 0x0009);
    HaltState = Halt::Woken;
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000004u);
    EXPECT_EQ(HaltState, Halt::Running);
    EXPECT_EQ(machine.Read16(0x03007FF8), 0x0008);
}

// An ARM-state SWI through a BIOS image is run by the bios_image cartridge.
TEST_F(Bios, WithABiosImageThumbSwiEntersSupervisorModeAtTheVector) {
    // The BIOS handles the call itself; the entry masks interrupts.
    BiosLoaded = true;
    machine.LoadThumb(0x08000000, {0xDF06});  // svc 6
    const uint32_t cpsr = FlagZ | FlagT | ModeSystem;
    cpu.CPSR = cpsr;
    cpu.R[0] = 7;
    cpu.R[13] = 0x03007F00;
    cpu.R13_svc = 0x03007FE0;
    machine.Step();
    EXPECT_EQ((std::array{cpu.R[15], cpu.R[14], cpu.CPSR, cpu.SPSR_svc, cpu.R[13], cpu.R13_usr}),
              (std::array<uint32_t, 6>{0x08, 0x08000002, FlagZ | FlagI | ModeSupervisor, cpsr, 0x03007FE0, 0x03007F00}));
    EXPECT_EQ(cpu.R[0], 7u) << "not divided by the host";
}

TEST_F(Bios, TraceLinesNameTheFunctionAndItsArguments) {
    const struct {
        uint32_t number;
        std::vector<uint32_t> registers;
        const char* line;
    } cases[] = {
        {0x06, {uint32_t(-7), 2}, "BIOS #0x06: Div(-7,2)\n"},
        {0x0A, {0x4000, 0xE000}, "BIOS #0x0A: ArcTan2(1.000000,-0.500000)\n"},
        {0x0B,
         {0x02000000, 0x02000100, 0x05000004},
         "BIOS #0x0B: CPUSet(0x02000000,0x02000100,0x05000004)\n"
         "CPUSet: 02000000-02000000 -> 02000100-0200010C (32bit)\n"},
        {0x04, {0, 0}, ""},  // IntrWait has no trace
        {0x2B, {}, "ARM: Called SWI #0x2B at PC=0x08000004\n"},
    };
    const uint32_t savedVerbose = Verbose;
    Verbose = VerboseBios;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        for (uint32_t i = 0; i < 4; ++i) cpu.R[i] = i < c.registers.size() ? c.registers[i] : 0;
        cpu.R[15] = 0x08000004;
        testing::internal::CaptureStdout();
        BiosCall(cpu, c.number);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
    }
    Verbose = 0;
    testing::internal::CaptureStdout();
    Call(0x06, {1, 1});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    Verbose = savedVerbose;
}

}  // namespace
