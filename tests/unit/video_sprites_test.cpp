// Sprites: the rules the picture cartridges do not show (negative and
// off-screen coordinates, priority levels against sprite numbers, tile
// numbers masked and wrapped, the effects a semi-transparent sprite
// ignores, the OBJ window of a rotated sprite, no limit per line).

#include <vector>

#include "video/line_buffers.h"
#include "video_fixture.h"

namespace {

constexpr uint32_t BLDCNT = 0x050, BLDALPHA = 0x052, BLDY = 0x054, WINOUT = 0x04A;
constexpr uint32_t TileMemory = 0x10000;

// Sprite palette entry 256 + i holds handheld colour i; the backdrop is white.
class SpriteTest : public VideoTest {
protected:
    SpriteTest() {
        HideAllSprites();
        for (uint32_t i = 1; i < 256; ++i) SetPalette(256 + i, uint16_t(i));
        SetPalette(0, HandheldWhite);
        SetIo(Io::DISPCNT, 0x1000);
    }
    static uint16_t Shown(uint32_t index) { return uint16_t((index & 0x1F) << 10 | (index & 0x3E0)); }
    // 256-colour tiles from tile slot `slot` on, one per 8 columns, so that
    // pixel k of every row of the whole strip has index first + k.
    void RampStrip256(uint32_t slot, uint32_t columns, uint32_t first) {
        for (uint32_t column = 0; column < columns; ++column)
            for (uint32_t row = 0; row < 8; ++row)
                SetVram8(TileMemory + 32 * slot + 64 * (column / 8) + row * 8 + column % 8, uint8_t(first + column));
    }
    void SetAffine(uint32_t group, int16_t pa, int16_t pb, int16_t pc, int16_t pd) {
        const uint32_t base = 0x07000000 + 32 * group;
        machine.Write16(base + 6, uint16_t(pa));
        machine.Write16(base + 14, uint16_t(pb));
        machine.Write16(base + 22, uint16_t(pc));
        machine.Write16(base + 30, uint16_t(pd));
    }
    // The visible columns of a line where the sprite drew (not the backdrop).
    std::vector<int32_t> DrawnColumns(uint32_t line) const {
        std::vector<int32_t> columns;
        for (int32_t x = 0; x < 240; ++x)
            if (Pixel(x, line) != SurfaceWhite) columns.push_back(x);
        return columns;
    }
};

TEST_F(SpriteTest, NegativeAndOffScreenCoordinates) {
    // Partly shown sprites at the edges are the sprites picture's.
    SetIo(Io::DISPCNT, 0x1040);      // one-dimensional mapping
    RampStrip256(0, 16, 1);          // two tiles: indexes 1..16
    SetOam(0, 0x6000 | 10, 449, 0);  // 16 x 8 at x = -63: nothing visible
    Render(10);
    EXPECT_TRUE(DrawnColumns(10).empty());

    // 64 x 64 square at x = 300 is not drawn; at 449 only its last column
    // shows. y = 200 is -56: lines 0..7 only.
    RampStrip256(112, 64, 1);  // tile row 7 of a 64-wide 256-colour sprite
    SetOam(0, 0x2000 | 200, 0xC000 | 300, 0);
    Render(0);
    EXPECT_TRUE(DrawnColumns(0).empty());
    SetOam(0, 0x2000 | 200, 0xC000 | 449, 0);
    Render(7);
    EXPECT_EQ(DrawnColumns(7), std::vector<int32_t>{0});
    EXPECT_EQ(Pixel(0, 7), Shown(64));
    Render(8);
    EXPECT_TRUE(DrawnColumns(8).empty());
}

// A higher priority level beats a lower sprite number (the lower number in
// front at equal priority is the sprites picture's). 256 colours in
// two-dimensional mapping count tiles in pairs: tile 3 draws from tile 2.
// In the bitmap modes tiles 0-511 lie in the bitmaps' VRAM, which the
// sprite unit cannot read: transparent (tiles from 512 on are the modes
// picture's).
TEST_F(SpriteTest, PriorityLevelsAndTileNumberMasking) {
    FillVram(TileMemory + 32, 32, 0x11);
    FillVram(TileMemory + 64, 32, 0x22);
    SetOam(5, 0, 20, 2 | 2 << 10);
    SetOam(9, 0, 20, 1 | 1 << 10);
    FillVram(TileMemory + 32 * 4, 64, 0x05);
    FillVram(TileMemory + 32 * 5, 64, 0x06);
    SetOam(0, 0x2000, 0, 5);
    Render(0);
    EXPECT_EQ(Pixel(20, 0), Shown(1));
    EXPECT_EQ(Pixel(0, 0), Shown(5));

    FillVram(TileMemory + 0x4000 + 32 * 4, 64, 0x05);  // where a masked tile 516 would be
    SetIo(Io::DISPCNT, 0x1003);
    Render(0);
    EXPECT_EQ(Pixel(0, 0), Pixel(100, 0)) << "tile 4 in a bitmap mode";
}

// A semi-transparent sprite blends with a second target beneath it, whatever
// effect BLDCNT selects; over anything else it is a normal sprite, which
// takes the OBJ effect when that brightens or darkens, and stays unblended
// without a partner.
TEST_F(SpriteTest, SemiTransparentSpritesBlendOnlyWithASecondTarget) {
    SetPalette(0, HandheldRed);
    FillVram(TileMemory, 32, 0x11);
    SetPalette(257, HandheldBlue);
    SetOam(0, 0x0400, 0, 0);  // semi-transparent
    SetIo(BLDALPHA, 0x0808);
    SetIo(BLDY, 8);
    SetIo(BLDCNT, 0x20D0);  // OBJ darkened, the backdrop a second target
    Render(0);
    EXPECT_EQ(Pixel(0, 0), 0x3C0F);
    SetIo(BLDCNT, 0x00D0);  // no second target: darkened by half
    Render(0);
    EXPECT_EQ(Pixel(0, 0), 0x000F);
    SetIo(BLDCNT, 0x0050);  // alpha without a partner: drawn as it is
    Render(0);
    EXPECT_EQ(Pixel(0, 0), SurfaceBlue);
    SetOam(0, 0x0000, 0, 0);  // the same for a normal sprite
    Render(0);
    EXPECT_EQ(Pixel(0, 0), SurfaceBlue);
}

TEST_F(SpriteTest, RotatedObjWindowMarksTheColumnsASpriteWouldDraw) {
    // A 32 x 32 double-size sprite rotated by about 30 degrees, with holes.
    for (uint32_t i = 0; i < 16 * 32; ++i) SetVram8(TileMemory + i, uint8_t(i % 7 ? 0x12 : 0x00));
    SetAffine(2, 222, -128, 128, 222);
    SetIo(WINOUT, 0x00FF);  // outside: everything; inside the OBJ window: nothing
    for (uint32_t line = 0; line < 64; line += 5) {
        SetOam(0, 0x2300, 0x8000 | 2 << 9 | 100, 0);
        SetIo(Io::DISPCNT, 0x1040);
        Render(line);
        const std::vector<int32_t> drawn = DrawnColumns(line);
        SetOam(0, 0x2300 | 0x0800, 0x8000 | 2 << 9 | 100, 0);
        SetIo(Io::DISPCNT, 0x9040);
        PrepareLine(line);
        std::vector<int32_t> marked;
        for (int32_t x = 0; x < 240; ++x)
            if (WindowMaskLine[LineGuard + x] == 0x00) marked.push_back(x);
        EXPECT_EQ(marked, drawn) << "line " << line;
    }
}

TEST_F(SpriteTest, OneHundredTwentyEightSpritesOnOneLineAreAllDrawn) {
    FillVram(TileMemory, 32, 0x11);
    for (uint32_t n = 0; n < 128; ++n) SetOam(n, 0x4000, uint16_t(n * 2 - 16) & 0x1FF, 0);  // 16 x 8 each
    Render(0);
    EXPECT_EQ(DrawnColumns(0).size(), 240u);
}

}  // namespace
