// The bus functions: alignment of reads and writes, the I/O write path
// (halfword registers fed from byte and word stores), address reduction to
// 28 bits and the cycles each access charges; and the page map a game run
// builds behind them (mirrors, read-only cartridge windows, and unmapped
// pages behind the scratch page).

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

// A misaligned word is rotated into the aligned word, both ways; a halfword
// lands on (or comes from) the aligned halfword.
TEST(Bus, MisalignedAccessesUseTheAlignedUnit) {
    TestMachine machine;
    EXPECT_EQ(CostOf([] { BusWrite32(0x02000001, 0x11223344); }), 6);
    EXPECT_EQ(machine.Read32(0x02000000), 0x11223344u);  // stored unrotated
    machine.Write32(0x02000000, 0);
    EXPECT_EQ(CostOf([] { BusWrite16(0x02000003, 0xBEEF); }), 3);
    EXPECT_EQ(machine.Read32(0x02000000), 0xBEEF0000u);

    machine.Write32(0x02000000, 0x11223344);
    EXPECT_EQ(BusRead32(0x02000001), 0x44112233u);
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

TEST(BusIo, ByteAndWordStoresFeedTheHalfwordRegisters) {
    TestMachine machine;
    // A byte store completes the halfword with the stored byte.
    BusWrite16(0x04000008, 0x0012);  // BG0CNT
    BusWrite8(0x04000009, 0xAB);
    EXPECT_EQ(ReadIoHalf(0x008), 0xAB12u);
    BusWrite8(0x04000008, 0x34);
    EXPECT_EQ(ReadIoHalf(0x008), 0xAB34u);
    // A word store is two halfword writes.
    EXPECT_EQ(CostOf([] { BusWrite32(0x04000208, 0x00050001); }), 1);
    EXPECT_EQ(ReadIoHalf(0x208), 0x0001u);  // IME
    EXPECT_EQ(ReadIoHalf(0x20A), 0x0005u);
    // Stores beyond the register page still reach the registers.
    BusWrite16(0x04010010, 0x0155);  // BG0HOFS through a far mirror
    EXPECT_EQ(ReadIoHalf(0x010), 0x0155u);
}

// The cartridge and the BIOS area take no stores: they land in the scratch
// page. The backup chips' stores cost what their 8-bit bus does.
TEST(BusWrite, StoresWithNowhereToGoLandInTheScratchPage) {
    TestMachine machine;
    const uint32_t romWord = machine.Read32(0x08000000);
    BusWrite32(0x08000000, 0x600DF00D);
    EXPECT_EQ(machine.Read32(0x08000000), romWord);
    EXPECT_EQ(PeekWord(0x01000000), 0x600DF00Du);
    BusWrite32(0x00000018, 0);
    EXPECT_EQ(machine.Read32(0x18), 0xE92D500Fu) << "the BIOS area is read-only";
    EXPECT_EQ(CostOf([] { BusWrite8(0x0E000000, 0x00); }), 5);
    EXPECT_EQ(CostOf([] { BusWrite32(0x0E000000, 0); }), 10);
}

TEST(MemoryMap, RegionsRepeatAcrossTheirSpace) {
    const struct {
        const char* name;
        uint32_t address, mirror;
    } cases[] = {
        {"internal work RAM, 32 KB", 0x03007FFC, 0x03017FFC},
        {"internal work RAM, top of its region", 0x03007FFC, 0x03FFFFFC},
        {"external work RAM, every 256 KB", 0x02000040, 0x02040040},
        {"external work RAM, top of its region", 0x02000040, 0x02FC0040},
        {"the cartridge in the second window", 0x0800FFFC, 0x0A00FFFC},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        machine.Write32(c.address, 0x0BADCAFE);
        EXPECT_EQ(machine.Read32(c.mirror), 0x0BADCAFEu);
    }
}

TEST(MemoryMap, PagesPastARegionReadTheScratchPage) {
    TestMachine machine;  // a 64 KB cartridge
    for (const uint32_t address : {0x06018000u /* VRAM is 96 KB */, 0x05004000u, 0x07004000u, 0x04004000u, 0x00004000u,
                                   0x08010000u})
        EXPECT_EQ(PageTable.Read[address >> PageShift], DummyRam) << std::hex << address;
    EXPECT_NE(PageTable.Read[0x06014000 >> PageShift], DummyRam);
    for (const uint32_t window : {0x08000000u, 0x0A000000u, 0x0C000000u})
        EXPECT_EQ(PageTable.Write[window >> PageShift], DummyRam) << std::hex << window;
}

}  // namespace
