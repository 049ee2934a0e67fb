// The bus functions: alignment of reads and writes, the I/O write path
// (halfword registers fed from byte and word stores), address reduction to
// 28 bits and the cycles each access charges.

#include "machine/bus.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/direct_load.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "tests/support/test_machine.h"

namespace {

// Cycles charged by one bus call.
template <typename Access>
int32_t CostOf(Access access) {
    const int32_t before = Cpu.Cycles;
    access();
    return before - Cpu.Cycles;
}

TEST(BusWrite, MisalignedWordIsRotatedIntoTheAlignedWord) {
    TestMachine machine;
    EXPECT_EQ(CostOf([] { BusWrite32(0x02000001, 0x11223344); }), 6);
    EXPECT_EQ(machine.Read32(0x02000000), 0x44112233u);
    BusWrite32(0x0200000B, 0x11223344);
    EXPECT_EQ(machine.Read32(0x02000008), 0x22334411u);
}

TEST(BusWrite, MisalignedHalfwordLandsOnTheAlignedHalfword) {
    TestMachine machine;
    machine.Write32(0x02000000, 0);
    EXPECT_EQ(CostOf([] { BusWrite16(0x02000003, 0xBEEF); }), 3);
    EXPECT_EQ(machine.Read32(0x02000000), 0xBEEF0000u);
}

TEST(BusRead, WordRotatesHalfwordIgnoresBitZero) {
    TestMachine machine;
    machine.Write32(0x02000000, 0x11223344);
    EXPECT_EQ(BusRead32(0x02000001), 0x44112233u);
    EXPECT_EQ(BusRead32(0x02000002), 0x33441122u);
    EXPECT_EQ(BusRead16(0x02000001), 0x3344u);
    EXPECT_EQ(BusRead8(0x02000003), 0x11u);
    EXPECT_EQ(CostOf([] { BusRead32(0x02000000); }), 6);
    EXPECT_EQ(CostOf([] { BusRead16(0x02000000); }), 3);
    EXPECT_EQ(CostOf([] { BusRead8(0x03000000); }), 1);
}

TEST(BusAddress, TopFourBitsAreNotDecoded) {
    TestMachine machine;
    BusWrite32(0x12000010, 0xA5A5F00D);
    EXPECT_EQ(machine.Read32(0x02000010), 0xA5A5F00Du);
    EXPECT_EQ(BusRead32(0xF2000010), 0xA5A5F00Du);
    // The CPU's own loads use the full address: 0x12000010 is unmapped.
    EXPECT_EQ(LoadWord(Cpu, 0x12000010), PeekWord(0x01000010));
    EXPECT_EQ(PageTable.Read[0x12000010 >> PageShift], DummyRam);
}

TEST(BusIo, ByteStoreCompletesTheHalfwordWithTheStoredByte) {
    TestMachine machine;
    BusWrite16(0x04000008, 0x0012);  // BG0CNT
    BusWrite8(0x04000009, 0xAB);
    EXPECT_EQ(ReadIoHalf(0x008), 0xAB12u);
    BusWrite8(0x04000008, 0x34);
    EXPECT_EQ(ReadIoHalf(0x008), 0xAB34u);
}

TEST(BusIo, WordStoreIsTwoHalfwordWrites) {
    TestMachine machine;
    EXPECT_EQ(CostOf([] { BusWrite32(0x04000208, 0x00050001); }), 1);
    EXPECT_EQ(ReadIoHalf(0x208), 0x0001u);  // IME
    EXPECT_EQ(ReadIoHalf(0x20A), 0x0005u);
    // BG0HOFS and BG0VOFS from one word.
    BusWrite32(0x04000010, 0x00220011);
    EXPECT_EQ(ReadIoHalf(0x010), 0x0011u);
    EXPECT_EQ(ReadIoHalf(0x012), 0x0022u);
}

TEST(BusIo, StoresBeyondTheRegisterPageStillReachTheRegisters) {
    TestMachine machine;
    BusWrite16(0x04010010, 0x0155);  // BG0HOFS through a far mirror
    EXPECT_EQ(ReadIoHalf(0x010), 0x0155u);
}

TEST(BusWrite, ReadOnlyAndUnmappedPagesShareTheScratchPage) {
    TestMachine machine;
    const uint32_t romWord = machine.Read32(0x08000000);
    BusWrite32(0x08000000, 0x600DF00D);
    EXPECT_EQ(machine.Read32(0x08000000), romWord);
    EXPECT_EQ(PeekWord(0x01000000), 0x600DF00Du) << "the scratch page took the store";

    BusWrite32(0x00000018, 0);
    EXPECT_EQ(machine.Read32(0x18), 0xE92D500Fu) << "the BIOS area is read-only";
}

TEST(BusWrite, BackupByteStoresGoThroughTheFlashDecoderOnlyInsideIt) {
    TestMachine machine;
    // Past the 64 KB backup block the byte lands in the scratch page.
    BusWrite8(0x0E010000, 0x5A);
    EXPECT_EQ(PeekByte(0x01000000), 0x5A);
    EXPECT_EQ(CostOf([] { BusWrite8(0x0E000000, 0x00); }), 5);
    EXPECT_EQ(CostOf([] { BusWrite32(0x0E000000, 0); }), 10);
}

}  // namespace
