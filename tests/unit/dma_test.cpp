#include "machine/dma.h"

#include <gtest/gtest.h>

#include <string>

#include "game/settings.h"
#include "machine/bus.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "tests/support/scanline_steps.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t IoBase = 0x04000000;

// DMAxCNT_H fields.
constexpr uint16_t Enable = 0x8000, Irq = 0x4000, Wide = 0x0400, Repeat = 0x0200;
constexpr uint16_t AtVblank = 0x1000, AtHblank = 0x2000, AtSpecial = 0x3000;
constexpr uint16_t DestDecrement = 0x0020, DestFixed = 0x0040, DestReload = 0x0060;
constexpr uint16_t SourceDecrement = 0x0080, SourceFixed = 0x0100;

uint32_t Block(uint32_t channel) { return IoBase + 0xB0 + 12 * channel; }

// Programs a channel the way a game does: addresses first, then count and
// control in one word store (which starts an immediate transfer).
void Program(uint32_t channel, uint32_t source, uint32_t destination, uint16_t count, uint16_t control) {
    BusWrite32(Block(channel), source);
    BusWrite32(Block(channel) + 4, destination);
    BusWrite32(Block(channel) + 8, uint32_t(control) << 16 | count);
}

uint32_t Source(uint32_t channel) { return ReadIoWord(0xB0 + 12 * channel); }
uint32_t Destination(uint32_t channel) { return ReadIoWord(0xB4 + 12 * channel); }
uint16_t Control(uint32_t channel) { return ReadIoHalf(0xBA + 12 * channel); }

TEST(Dma, Immediate16BitCopyAdvancesAndDisarms) {
    TestMachine machine;
    for (uint32_t i = 0; i < 4; ++i) machine.Write16(0x02000000 + 2 * i, uint16_t(0x1111 * (i + 1)));
    Program(3, 0x02000000, 0x03000100, 4, Enable | Repeat);
    EXPECT_EQ(machine.Read32(0x03000100), 0x22221111u);
    EXPECT_EQ(machine.Read32(0x03000104), 0x44443333u);
    EXPECT_EQ(machine.Read16(0x03000108), 0u);
    EXPECT_EQ(Source(3), 0x02000008u);
    EXPECT_EQ(Destination(3), 0x03000108u);
    EXPECT_EQ(ReadIoHalf(0xDC), 4) << "the count register is never changed";
    EXPECT_EQ(Control(3), Repeat) << "an immediate transfer disarms even when it repeats";
}

TEST(Dma, Immediate32BitDecrementingDestinationFixedSource) {
    TestMachine machine;
    machine.Write32(0x02000100, 0xCAFEBABE);
    Program(1, 0x02000100, 0x0300001C, 3, Enable | Wide | DestDecrement | SourceFixed);
    EXPECT_EQ(machine.Read32(0x0300001C), 0xCAFEBABEu);
    EXPECT_EQ(machine.Read32(0x03000018), 0xCAFEBABEu);
    EXPECT_EQ(machine.Read32(0x03000014), 0xCAFEBABEu);
    EXPECT_EQ(machine.Read32(0x03000010), 0u);
    EXPECT_EQ(Destination(1), 0x03000010u);
    EXPECT_EQ(Source(1), 0x02000100u);
}

TEST(Dma, DecrementingSourceReadsDownwards) {
    TestMachine machine;
    machine.Write16(0x02000010, 0xAAAA);
    machine.Write16(0x0200000E, 0xBBBB);
    machine.Write16(0x0200000C, 0xCCCC);
    Program(0, 0x02000010, 0x03000000, 3, Enable | SourceDecrement);
    EXPECT_EQ(machine.Read16(0x03000000), 0xAAAA);
    EXPECT_EQ(machine.Read16(0x03000002), 0xBBBB);
    EXPECT_EQ(machine.Read16(0x03000004), 0xCCCC);
    EXPECT_EQ(Source(0), 0x0200000Au);
}

TEST(Dma, AddressesAreAlignedAndCutToTheChannelsRange) {
    TestMachine machine;
    machine.Write32(0x02000020, 0x12345678);
    Program(3, 0x02000022, 0x03000043, 1, Enable | Wide);
    EXPECT_EQ(machine.Read32(0x03000040), 0x12345678u);

    // Channel 0 cannot reach the cartridge: bit 27 of the source is dropped
    // and the BIOS area is read instead.
    machine.Write32(0x08000018, 0x11111111);
    Program(0, 0x08000018, 0x03000080, 1, Enable | Wide);
    EXPECT_EQ(machine.Read32(0x03000080), machine.Read32(0x00000018));
    EXPECT_NE(machine.Read32(0x03000080), 0x11111111u);
}

TEST(Dma, CountZeroMeansTheLargestTransfer) {
    struct Case {
        uint32_t channel;
        uint32_t elements;
    };
    for (const Case c : {Case{0, 0x4000}, Case{3, 0x10000}}) {
        SCOPED_TRACE(c.channel);
        TestMachine machine;
        machine.Write16(0x03000000, 0x5A5A);
        Program(c.channel, 0x03000000, 0x02000000, 0, Enable | SourceFixed);
        EXPECT_EQ(machine.Read16(0x02000000 + 2 * (c.elements - 1)), 0x5A5A);
        EXPECT_EQ(machine.Read16(0x02000000 + 2 * c.elements), 0x0000);
        EXPECT_EQ(Destination(c.channel), 0x02000000 + 2 * c.elements);
    }
}

TEST(Dma, MaskedCountOfZeroMovesNothingButStillFinishes) {
    TestMachine machine;
    machine.Write16(0x03000000, 0x5A5A);
    Program(0, 0x03000000, 0x02000000, 0x4000, Enable | Irq);
    EXPECT_EQ(machine.Read16(0x02000000), 0x0000);
    EXPECT_EQ(ReadIoHalf(Io::IF), IrqDma0);
    EXPECT_EQ(Control(0) & Enable, 0);
    EXPECT_EQ(Source(0), 0x03000000u);
}

TEST(Dma, HblankRepeatWithReloadedDestination) {
    // The classic per-line effect: one word from a table to the same
    // register on every line.
    TestMachine machine;
    for (uint32_t line = 0; line < 4; ++line) machine.Write32(0x02000000 + 4 * line, 0x100 + line);
    Program(0, 0x02000000, 0x03000000, 1, Enable | Repeat | Wide | AtHblank | DestReload);
    EXPECT_EQ(machine.Read32(0x03000000), 0u) << "waits for the horizontal blank";
    for (uint32_t line = 0; line < 4; ++line) {
        AdvanceTo(line, true);
        EXPECT_EQ(machine.Read32(0x03000000), 0x100 + line);
        EXPECT_EQ(machine.Read32(0x03000004), 0u);
    }
    EXPECT_EQ(Destination(0), 0x03000000u);
    EXPECT_EQ(Source(0), 0x02000010u);
    EXPECT_NE(Control(0) & Enable, 0) << "stays armed";
}

TEST(Dma, HblankWithoutRepeatRunsOnce) {
    TestMachine machine;
    machine.Write16(0x02000000, 0x0001);
    Program(1, 0x02000000, 0x03000000, 1, Enable | AtHblank | DestFixed | SourceFixed);
    EXPECT_EQ(machine.Read16(0x03000000), 0);
    EndSlice();  // horizontal blank of line 0
    EXPECT_EQ(machine.Read16(0x03000000), 1);
    EXPECT_EQ(Control(1) & Enable, 0);
    machine.Write16(0x03000000, 0);
    AdvanceTo(1, true);
    EXPECT_EQ(machine.Read16(0x03000000), 0);
}

TEST(Dma, VblankTransferRunsAtLine160AndIsTraced) {
    TestMachine machine;
    for (uint32_t i = 0; i < 4; ++i) machine.Write16(0x02000000 + 2 * i, uint16_t(i + 1));
    Program(3, 0x02000000, 0x06000000, 4, Enable | AtVblank);
    AdvanceTo(159, true);
    EXPECT_EQ(machine.Read16(0x06000000), 0);

    Verbose = VerboseDma;
    testing::internal::CaptureStdout();
    EndSlice();
    const std::string trace = testing::internal::GetCapturedStdout();
    Verbose = 0;
    EXPECT_EQ(trace, "DMA3: 02000000-02000006 -> 06000000-06000006 (16bit,VBlank) at line 160\n");
    EXPECT_EQ(machine.Read16(0x06000006), 4);
    EXPECT_EQ(Control(3) & Enable, 0);
}

TEST(Dma, TraceNamesInterruptRepeatAndDirection) {
    TestMachine machine;
    Verbose = VerboseDma;
    testing::internal::CaptureStdout();
    Program(2, 0x02000010, 0x03000000, 3, Enable | Wide | Irq | Repeat | SourceDecrement | DestFixed);
    const std::string trace = testing::internal::GetCapturedStdout();
    Verbose = 0;
    EXPECT_EQ(trace, "DMA2: 02000010-02000008 -> 03000000-03000000 (32bit,Immediate,IRQ,Repeat) at line 0\n");
}

TEST(Dma, SpecialTimingStartsOnlyChannel3AtDrawnLines) {
    TestMachine machine;
    machine.Write16(0x02000000, 0x0001);
    Program(3, 0x02000000, 0x03000000, 1, Enable | Repeat | AtSpecial | SourceFixed);
    Program(0, 0x02000000, 0x03000400, 1, Enable | Repeat | AtSpecial | SourceFixed);
    AdvanceTo(1, false);
    EXPECT_EQ(machine.Read16(0x03000000), 1);
    AdvanceTo(159, false);
    EXPECT_EQ(Destination(3), 0x03000000u + 2 * 159);
    AdvanceTo(0, false);  // no transfers during the vertical blank, one at line 0
    EXPECT_EQ(Destination(3), 0x03000000u + 2 * 160);
    EXPECT_EQ(machine.Read16(0x03000400), 0) << "channel 0 never starts";
}

TEST(Dma, TransferRewritingItsOwnControlDoesNotRestartItself) {
    // The word lands on DMA3CNT_L/CNT_H: count 1 and the same enabled
    // immediate 32-bit control, over and over.
    TestMachine machine;
    const uint16_t control = Enable | Wide | SourceFixed | DestFixed;
    machine.Write32(0x02000000, uint32_t(control) << 16 | 1);
    Program(3, 0x02000000, 0x040000DC, 1, control);
    EXPECT_EQ(Control(3) & Enable, 0);
    EXPECT_EQ(ReadIoHalf(0xDC), 1);
}

}  // namespace
