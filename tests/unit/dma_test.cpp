// DMA where the cartridges cannot look: the registers a transfer leaves,
// channel 0's address range, the masked count, and a transfer that rewrites
// its own control. Start timings and address modes are
// checked by cartridges/system/dma.c.

#include "machine/dma.h"

#include <gtest/gtest.h>

#include "machine/bus.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t IoBase = 0x04000000;

// DMAxCNT_H fields.
constexpr uint16_t Enable = 0x8000, Irq = 0x4000, Wide = 0x0400, Repeat = 0x0200;
constexpr uint16_t DestFixed = 0x0040, SourceFixed = 0x0100;

uint32_t Block(uint32_t channel) { return IoBase + 0xB0 + 12 * channel; }

// Programs a channel the way a game does: addresses first, then count and
// control in one word store (which starts an immediate transfer).
void Program(uint32_t channel, uint32_t source, uint32_t destination, uint16_t count, uint16_t control) {
    BusWrite32(Block(channel), source);
    BusWrite32(Block(channel) + 4, destination);
    BusWrite32(Block(channel) + 8, uint32_t(control) << 16 | count);
}

uint32_t Source(uint32_t channel) { return ReadIoWord(0xB0 + 12 * channel); }
uint16_t Control(uint32_t channel) { return ReadIoHalf(0xBA + 12 * channel); }

TEST(Dma, ImmediateRepeatDisarmsAndLeavesTheCountRegister) {
    TestMachine machine;
    for (uint32_t i = 0; i < 4; ++i) machine.Write16(0x02000000 + 2 * i, uint16_t(0x1111 * (i + 1)));
    Program(3, 0x02000000, 0x03000100, 4, Enable | Repeat);
    EXPECT_EQ(machine.Read32(0x03000104), 0x44443333u);
    EXPECT_EQ(ReadIoHalf(0xDC), 4);
    EXPECT_EQ(Control(3), Repeat);
}

TEST(Dma, ChannelZeroCannotReachTheCartridge) {
    // Bit 27 of the source is dropped: the BIOS area is read instead.
    TestMachine machine;
    machine.Write32(0x08000018, 0x11111111);
    Program(0, 0x08000018, 0x03000080, 1, Enable | Wide);
    EXPECT_EQ(machine.Read32(0x03000080), machine.Read32(0x00000018));
    EXPECT_NE(machine.Read32(0x03000080), 0x11111111u);
}

TEST(Dma, MaskedCountOfZeroMovesNothingButStillFinishes) {
    // 0x4000 is 0 in channel 0's 14-bit count, yet not the "0 is the
    // largest transfer" of a count register holding 0.
    TestMachine machine;
    machine.Write16(0x03000000, 0x5A5A);
    Program(0, 0x03000000, 0x02000000, 0x4000, Enable | Irq);
    EXPECT_EQ(machine.Read16(0x02000000), 0x0000);
    EXPECT_EQ(ReadIoHalf(Io::IF), IrqDma0);
    EXPECT_EQ(Control(0) & Enable, 0);
    EXPECT_EQ(Source(0), 0x03000000u);
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
