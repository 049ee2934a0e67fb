// The I/O register write path: registers that do not keep what is written,
// the state a write rebuilds (background order, affine reference points,
// blend coefficients), the interrupt registers and the slice, and the
// hardware reset. The halt protocol in ARM state is checked
// by cartridges/system/interrupts.c, the sound registers through the WAV
// output of the sound cartridges.

#include "machine/io_registers.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "cpu/access_cost.h"
#include "cpu/cpu_state.h"
#include "game/game.h"
#include "machine/bus.h"
#include "machine/display_registers.h"
#include "machine/interrupts.h"
#include "machine/scanline.h"
#include "machine/timers.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t IoBase = 0x04000000;

// Registers that do not simply keep what is written: DISPSTAT's hardware
// flags, the line counter and the keypad are read-only, and a 1 written to
// a request bit of IF acknowledges it.
TEST(IoRegisters, WritesThatDoNotStoreTheValue) {
    const struct {
        const char* name;
        uint32_t offset;
        uint16_t before;
        int width;  // of the store
        uint16_t value, after;
    } cases[] = {
        {"DISPSTAT keeps blank and match flags", Io::DISPSTAT, 0x0005, 16, 0xFF3A, 0xFF3D},
        {"VCOUNT, byte", Io::VCOUNT, 0x0055, 8, 0x12, 0x0055},
        {"VCOUNT, halfword", Io::VCOUNT, 0x0055, 16, 0x1234, 0x0055},
        {"KEYINPUT", Io::KEYINPUT, 0x03FF, 16, 0x0000, 0x03FF},
        {"IF, one acknowledged", Io::IF, 0x1007, 16, 0x0002, 0x1005},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        StoreIoHalf(c.offset, c.before);
        if (c.width == 8)
            BusWrite8(IoBase + c.offset, uint8_t(c.value));
        else
            BusWrite16(IoBase + c.offset, c.value);
        EXPECT_EQ(ReadIoHalf(c.offset), c.after);
    }
}

TEST(IoRegisters, BackgroundOrderFollowsPriorityThenNumber) {
    const struct {
        const char* name;
        std::vector<std::pair<uint32_t, uint16_t>> writes;  // background, BGxCNT
        std::array<uint32_t, 4> expected;                   // back to front
    } cases[] = {
        {"BG0 priority 1 goes to the back", {{0, 0x0001}}, {0x40000001, 0x30000000, 0x20000000, 0x10000000}},
        {"two at priority 3, higher number behind",
         {{0, 0x0003}, {1, 0x0003}},
         {0xD0000003, 0xC0000003, 0x30000000, 0x20000000}},
        {"back to priority 0 moves forward again",
         {{1, 0x0001}, {1, 0x0000}},
         {0x30000000, 0x20000000, 0x10000000, 0x00000000}},
        {"BG3 joins priority 1 behind BG2",
         {{0, 0x0002}, {1, 0x0002}, {2, 0x0001}, {3, 0x0001}},
         {0x90000002, 0x80000002, 0x70000001, 0x60000001}},
        {"same priority, new other bits", {{1, 0x1F08}}, {0x30000000, 0x20000000, 0x10001F08, 0x00000000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        for (const auto& [background, value] : c.writes) BusWrite16(IoBase + Io::BG0CNT + 2 * background, value);
        EXPECT_EQ(BgOrderList, c.expected);
    }
}

// A reference point is sign-extended from 28 bits, and writing either half
// restarts the current point there.
TEST(IoRegisters, ReferencePointWritesRestartTheCurrentPoint) {
    const struct {
        uint32_t offset;  // of the low half
        uint32_t value;   // written as one word
        int32_t expected;
    } cases[] = {
        {0x028, 0x0FFF0000, -65536},      // BG2X
        {0x02C, 0x07FF1234, 0x07FF1234},  // BG2Y, largest positive range
        {0x038, 0x08000000, -134217728},  // BG3X, sign bit only
        {0x03C, 0xF0000100, 0x100},       // BG3Y, bits 28-31 are not wired
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        TestMachine machine;
        BusWrite32(IoBase + c.offset, c.value);
        const AffineBackground& bg = AffineState[c.offset >= 0x038 ? 1 : 0];
        const bool isY = c.offset & 4;
        EXPECT_EQ(isY ? bg.RefY : bg.RefX, c.expected);
        EXPECT_EQ(isY ? bg.CurY : bg.CurX, c.expected);
    }
    TestMachine machine;
    BusWrite16(IoBase + Io::BG2X_H, 0x0FFF);
    AffineState[0].CurX = 12345;  // as if lines had been drawn
    BusWrite16(IoBase + Io::BG2X_L, 0x0100);
    EXPECT_EQ(AffineState[0].RefX, -65536 + 256);
    EXPECT_EQ(AffineState[0].CurX, -65536 + 256);
}

TEST(IoRegisters, BlendCoefficientsSaturateAtSixteen) {
    const struct {
        uint16_t bldalpha, bldy;
        int32_t eva, evb, evy;
    } cases[] = {
        {0x1F1F, 0x001F, 16, 16, 16},  // bit 4 wins over the low bits
        {0x1000, 0x0010, 0, 16, 16},
        {0x0E05, 0xFFE7, 5, 14, 7},  // bits 5-7 and 13-15 are not part of the fields
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bldalpha);
        TestMachine machine;
        BusWrite16(IoBase + Io::BLDALPHA, c.bldalpha);
        BusWrite16(IoBase + Io::BLDY, c.bldy);
        EXPECT_EQ(BlendCoefficients.EVA, c.eva);
        EXPECT_EQ(BlendCoefficients.EVB, c.evb);
        EXPECT_EQ(BlendCoefficients.EVY, c.evy);
    }
}

TEST(IoRegisters, EnablingARequestedInterruptEndsTheSlice) {
    TestMachine machine;
    StoreIoHalf(Io::IF, 0x0001);
    BusWrite16(IoBase + Io::IE, 0x0001);
    EXPECT_EQ(machine.cpu.IrqPending, 0u) << "IME is still off";
    EXPECT_EQ(machine.cpu.SliceBreak, 0);

    machine.cpu.Cycles = 500;
    BusWrite16(IoBase + Io::IME, 0x0001);
    EXPECT_NE(machine.cpu.IrqPending, 0u);
    EXPECT_EQ(machine.cpu.SliceBreak, 1);
    EXPECT_EQ(machine.cpu.Cycles, 0);
    EXPECT_EQ(machine.cpu.SavedCycles, 499) << "the store itself cost one cycle";
    BusWrite16(IoBase + Io::IE, 0x0001);
    EXPECT_EQ(machine.cpu.SavedCycles, 499) << "a second request in the same break keeps the first saving";

    // Acknowledging the only request leaves nothing pending.
    BusWrite16(IoBase + Io::IF, 0x0001);
    EXPECT_EQ(machine.cpu.IrqPending, 0u);
}

// ---- reset ----

TEST(Reset, DirectBootWithoutBios) {
    TestMachine machine;
    // Things the reset must put back...
    StoreIoHalf(Io::IE, 0x3FFF);
    StoreIoHalf(Io::WAITCNT, 0x4317);
    UpdateWaitStates(0x4317);
    machine.Write32(0x03007FF8, 0xFFFFFFFF);
    machine.Write32(0x03007FFC, 0xFFFFFFFF);
    BusWrite16(IoBase + Io::BG0HOFS, 0x0123);  // BG0HOFS
    BusWrite16(IoBase + Io::BG2X_H, 0x0001);
    BusWrite16(IoBase + Io::TM0CNT_L + 2, 0x0080);
    HaltState = Halt::Halted;
    FrameSkipCount = 2;  // the previous game ended between presented frames
    AutoFirePhase = 5;
    // ...and things it must leave alone.
    StoreIoHalf(Io::DMA0SAD, 0xBEEF);
    StoreIoHalf(Io::WIN0H, 0x10F0);
    StoreIoHalf(0x104, 0x5555);  // TM1CNT_L

    ResetHardware();

    const CpuState& cpu = machine.cpu;
    EXPECT_EQ(
        (std::array{cpu.R[15], cpu.R[13], cpu.R13_svc, cpu.R13_irq, cpu.CPSR, cpu.SliceLength, uint32_t(cpu.Cycles)}),
        (std::array<uint32_t, 7>{0x08000000, 0x03007F00, 0x03007FE0, 0x03007FA0, 0x1F, 960, 960}));
    EXPECT_EQ(machine.Read32(0x03007FFC), 0x00000028u);
    EXPECT_EQ(machine.Read32(0x03007FF8), 0xFF000000u) << "0x03007FF8-FA cleared, 0x03007FFB kept";

    // Reset values, then registers the reset leaves alone.
    const std::pair<uint32_t, uint16_t> registers[] = {
        {Io::DISPCNT, 0x0080}, {Io::KEYINPUT, 0x03FF}, {Io::IE, 0},         {Io::WAITCNT, 0},
        {Io::BG0HOFS, 0},      {Io::BG2PA, 0x0100},    {Io::BG2PD, 0x0100}, {Io::BG2X_H, 0},
        {Io::DMA0SAD, 0xBEEF}, {Io::WIN0H, 0x10F0},    {0x104, 0x5555},
    };
    for (const auto& [offset, value] : registers) EXPECT_EQ(ReadIoHalf(offset), value) << std::hex << offset;
    EXPECT_EQ(AccessCost16[8], 3);
    EXPECT_EQ(AffineState[0].RefX, 0);
    EXPECT_EQ(AffineState[1].PD, 256);
    EXPECT_EQ(BgOrderList, (std::array<uint32_t, 4>{0x30000000, 0x20000000, 0x10000000, 0}));
    EXPECT_EQ(HaltState, Halt::Running);
    EXPECT_EQ(TimerState[0].Period, 0);
    EXPECT_EQ(FrameSkipCount, 0u) << "the first frame of a new game is presented";
    EXPECT_EQ(AutoFirePhase, 0u);
}

}  // namespace
