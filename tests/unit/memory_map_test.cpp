// The page-mapped bus: MapRegion's mirroring and read-only pages, and the
// map a game run builds (mirrors, unmapped pages behind the scratch page,
// the interrupt stub in the BIOS area).

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "game/game.h"
#include "machine/page_table.h"
#include "tests/support/test_machine.h"

namespace {

TEST(MemoryMap, InternalWorkRamMirrorsAcrossItsRegion) {
    TestMachine machine;
    machine.Write32(0x03007FFC, 0x12345678);
    EXPECT_EQ(machine.Read32(0x03FFFFFC), 0x12345678u);
    EXPECT_EQ(machine.Read32(0x03017FFC), 0x12345678u);
}

TEST(MemoryMap, ExternalWorkRamMirrorsEvery256K) {
    TestMachine machine;
    machine.Write32(0x02000040, 0xCAFE);
    EXPECT_EQ(machine.Read32(0x02040040), 0xCAFEu);
    EXPECT_EQ(machine.Read32(0x02FC0040), 0xCAFEu);
}

TEST(MemoryMap, SmallRegionsAreNotMirrored) {
    TestMachine machine;
    EXPECT_EQ(PageTable.Read[0x06018000 >> PageShift], DummyRam) << "VRAM is 96 KB";
    EXPECT_NE(PageTable.Read[0x06014000 >> PageShift], DummyRam);
    EXPECT_EQ(PageTable.Read[0x05004000 >> PageShift], DummyRam);
    EXPECT_EQ(PageTable.Read[0x07004000 >> PageShift], DummyRam);
    EXPECT_EQ(PageTable.Read[0x04004000 >> PageShift], DummyRam);
    EXPECT_EQ(PageTable.Read[0x0E010000 >> PageShift], DummyRam);
    EXPECT_EQ(PageTable.Read[0x00004000 >> PageShift], DummyRam);
}

TEST(MemoryMap, CartridgeWindowsShowTheImageThenTheScratchPage) {
    TestMachine machine;  // a 64 KB image
    machine.Write32(0x0800FFFC, 0x0BADCAFE);
    EXPECT_EQ(machine.Read32(0x0A00FFFC), 0x0BADCAFEu);
    EXPECT_EQ(machine.Read32(0x0C00FFFC), 0x0BADCAFEu);
    EXPECT_EQ(PageTable.Read[0x08010000 >> PageShift], DummyRam);
    for (uint32_t window : {0x08000000u, 0x0A000000u, 0x0C000000u})
        EXPECT_EQ(PageTable.Write[window >> PageShift], DummyRam) << std::hex << window;
}

TEST(MemoryMap, StubFillsTheBiosAreaWithoutAnImage) {
    TestMachine machine;
    ASSERT_FALSE(BiosLoaded);
    const uint32_t stub[] = {0xE92D500F, 0xE3A00301, 0xE28FE000, 0xE510F004, 0xE8BD500F, 0xE25EF004};
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(machine.Read32(0x18 + 4 * i), stub[i]);
    EXPECT_EQ(machine.Read32(0x00), 0u);
    EXPECT_EQ(machine.Read32(0x30), 0u);
}

TEST(MapRegion, MirrorsReadOnlyPagesAndSmallSpans) {
    TestMachine machine;
    alignas(16) static std::array<uint8_t, 2 * PageSize> block{};
    constexpr uint32_t base = 0x10000000;
    MapRegion(block.data(), 2 * PageSize, base, 5 * PageSize, false);
    for (uint32_t page = 0; page < 5; ++page) {
        EXPECT_EQ(PageTable.Read[(base >> PageShift) + page], block.data() + (page % 2) * PageSize);
        EXPECT_EQ(PageTable.Write[(base >> PageShift) + page], DummyRam);
    }
    EXPECT_EQ(PageTable.Read[(base >> PageShift) + 5], DummyRam);

    MapRegion(block.data(), 2 * PageSize, 0x11000000, 3 * PageSize, true);
    EXPECT_EQ(PageTable.Write[(0x11000000 >> PageShift) + 2], block.data());

    // A span below one page maps nothing.
    MapRegion(block.data(), 2 * PageSize, 0x12000000, PageSize - 1, true);
    EXPECT_EQ(PageTable.Read[0x12000000 >> PageShift], DummyRam);
}

}  // namespace
