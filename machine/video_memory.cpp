#include "machine/video_memory.h"

#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/page_table.h"

namespace {

constexpr uint32_t VramBase = 0x06000000;
constexpr uint32_t RegionPages = 0x01000000 >> PageShift;
constexpr uint32_t VramWindowPages = 0x20000 >> PageShift;  // 128 KB

// The page of the 128 KB VRAM window (0-7) that bitmap modes hide.
constexpr uint32_t HiddenVramPage = 0x18000 >> PageShift;

bool IsBitmapMode(uint16_t dispcnt) { return (dispcnt & 7) >= 3; }

// The offset into VRAM of a bus address: the last 32 KB of each 128 KB
// repeat the 32 KB below them.
uint32_t VramOffset(uint32_t address) {
    const uint32_t offset = address & 0x1FFFF;
    return offset >= 0x18000 ? offset - 0x8000 : offset;
}

// Where the OBJ tiles begin: backgrounds use 64 KB in the tiled modes and
// 80 KB in the bitmap modes.
uint32_t ObjectTileStart(uint16_t dispcnt) { return IsBitmapMode(dispcnt) ? 0x14000 : 0x10000; }

}  // namespace

void MapVram(Machine& m) {
    PageMaps& pages = m.PageTable;
    const bool bitmap = IsBitmapMode(ReadIoHalf(m, Io::DISPCNT));
    const uint32_t first = VramBase >> PageShift;
    const bool hidden = pages.Read[first + HiddenVramPage] == m.ZeroPage.data();
    const bool mapped = pages.Read[first + RegionPages - 1] == m.Vram.data() + VramOffset(0x1C000);
    if (mapped && hidden == bitmap) return;
    for (uint32_t page = 0; page < RegionPages; ++page) {
        const uint32_t inWindow = page % VramWindowPages;
        uint8_t* read;
        uint8_t* write;
        if (bitmap && inWindow == HiddenVramPage) {
            read = m.ZeroPage.data();
            write = m.DummyRam.data();
        } else {
            read = write = m.Vram.data() + VramOffset(inWindow << PageShift);
        }
        pages.Read[first + page] = read;
        pages.Write[first + page] = write;
    }
}

void StoreVideoByte(Machine& m, uint32_t address, uint8_t value) {
    const uint32_t region = address >> 24 & 0x0F;
    if (region == 0x07) return;
    if (region == 0x06 && VramOffset(address) >= ObjectTileStart(ReadIoHalf(m, Io::DISPCNT))) return;
    // The 16-bit bus drives the byte on both lanes.
    const uint32_t half = region == 0x06 ? address & ~1u : FirstCopyAddress(address & ~1u);
    StoreLittle<uint16_t>(WriteHostAddress(m.PageTable, half), uint16_t(value * 0x0101u));
}
