// The page-mapped bus: MapRegion's mirroring and read-only pages, and the
// map a game run builds (mirrors, and unmapped pages behind the scratch
// page).

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "machine/page_table.h"
#include "tests/support/test_machine.h"

namespace {

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
        {"the cartridge in the third window", 0x0800FFFC, 0x0C00FFFC},
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
    for (const uint32_t address : {0x06018000u /* VRAM is 96 KB */, 0x05004000u, 0x07004000u, 0x04004000u, 0x0E010000u,
                                   0x00004000u, 0x08010000u})
        EXPECT_EQ(PageTable.Read[address >> PageShift], DummyRam) << std::hex << address;
    EXPECT_NE(PageTable.Read[0x06014000 >> PageShift], DummyRam);
    for (const uint32_t window : {0x08000000u, 0x0A000000u, 0x0C000000u})
        EXPECT_EQ(PageTable.Write[window >> PageShift], DummyRam) << std::hex << window;
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
