// Sprites: placement (including negative coordinates), drawing order,
// tile mapping, flips, rotation-scaling, semi-transparency and the OBJ
// window.

#include <vector>

#include "video/line_buffers.h"
#include "video_fixture.h"

namespace {

constexpr uint32_t BLDCNT = 0x050, BLDALPHA = 0x052, WINOUT = 0x04A;
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
    SetIo(Io::DISPCNT, 0x1040);  // one-dimensional mapping
    RampStrip256(0, 16, 1);      // two tiles: indexes 1..16
    // 16 x 8 (wide, size 0), 256 colours, x = 500 = -12.
    SetOam(0, 0x6000 | 10, 500, 0);
    Render(10);
    EXPECT_EQ(Pixel(0, 10), Shown(13));
    EXPECT_EQ(Pixel(3, 10), Shown(16));
    EXPECT_EQ(Pixel(4, 10), SurfaceWhite);

    SetOam(0, 0x6000 | 10, 449, 0);  // x = -63: nothing visible of 16 columns
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

TEST_F(SpriteTest, LowerNumberedSpriteIsInFrontAndPrioritiesOrderLevels) {
    FillVram(TileMemory + 32, 32, 0x11);
    FillVram(TileMemory + 64, 32, 0x22);
    SetOam(9, 0, 20, 1);
    SetOam(5, 0, 20, 2);
    Render(0);
    EXPECT_EQ(Pixel(20, 0), Shown(2));
    // A higher-numbered sprite of a better priority level still wins.
    SetOam(5, 0, 20, 2 | 2 << 10);
    SetOam(9, 0, 20, 1 | 1 << 10);
    Render(0);
    EXPECT_EQ(Pixel(20, 0), Shown(1));
}

TEST_F(SpriteTest, TwoDimensionalAndOneDimensionalMapping) {
    // A 16 x 16 16-colour sprite from tile 0: its second tile row comes from
    // tile 32 in the two-dimensional layout and from tile 2 in the other.
    FillVram(TileMemory + 32 * 2, 32, 0x33);
    FillVram(TileMemory + 32 * 32, 32, 0x44);
    SetOam(0, 0, 0x4000, 0);
    Render(8);
    EXPECT_EQ(Pixel(0, 8), Shown(4));
    SetIo(Io::DISPCNT, 0x1040);
    Render(8);
    EXPECT_EQ(Pixel(0, 8), Shown(3));
}

TEST_F(SpriteTest, TileNumberMasking) {
    // 256 colours in two-dimensional mapping count tiles in pairs: tile 3
    // draws from tile 2.
    FillVram(TileMemory + 32 * 2, 64, 0x05);
    FillVram(TileMemory + 32 * 3, 64, 0x06);
    SetOam(0, 0x2000, 0, 3);
    Render(0);
    EXPECT_EQ(Pixel(0, 0), Shown(5));
    // In a bitmap mode sprite tiles start at 0x14000.
    FillVram(0x14000 + 5 * 32, 32, 0x77);
    SetOam(0, 0, 0, 5);
    SetIo(Io::DISPCNT, 0x1003);
    Render(0);
    EXPECT_EQ(Pixel(0, 0), Shown(7));
}

TEST_F(SpriteTest, FlipsAndShapeThree) {
    SetIo(Io::DISPCNT, 0x1040);
    RampStrip256(0, 16, 1);
    SetVram8(TileMemory + 64 + 7 * 8 + 7, 99);  // row 7 of the second tile, last pixel
    SetOam(0, 0x6000, 0x1000 | 0, 0);           // 16 x 8, horizontal flip
    Render(0);
    EXPECT_EQ(Pixel(0, 0), Shown(16));
    EXPECT_EQ(Pixel(15, 0), Shown(1));
    SetOam(0, 0x6000, 0x3000 | 0, 0);  // both flips: line 0 shows row 7
    Render(0);
    EXPECT_EQ(Pixel(0, 0), Shown(99));
    // Shape 3 size 1 is a 16 x 16 square.
    RampStrip256(4, 16, 1);  // its second tile row
    SetOam(0, 0xE000, 0x4000, 0);
    Render(15);
    EXPECT_EQ(DrawnColumns(15).size(), 16u);
    Render(16);
    EXPECT_TRUE(DrawnColumns(16).empty());
}

TEST_F(SpriteTest, DoubleSizeAffineSpriteIsCentredInItsBox) {
    FillVram(TileMemory, 32, 0x11);  // an 8 x 8 solid texture
    SetAffine(0, 256, 0, 0, 256);
    SetOam(0, 0x0300 | 0, 0, 0);  // affine, double size: a 16 x 16 box
    Render(3);
    EXPECT_TRUE(DrawnColumns(3).empty());
    Render(4);
    std::vector<int32_t> expected;
    for (int32_t x = 4; x < 12; ++x) expected.push_back(x);
    EXPECT_EQ(DrawnColumns(4), expected);
    Render(11);
    EXPECT_EQ(DrawnColumns(11), expected);
    Render(12);
    EXPECT_TRUE(DrawnColumns(12).empty());

    // Half-size scaling (PA = PD = 2.0) shrinks the texture to 4 x 4.
    SetAffine(0, 512, 0, 0, 512);
    Render(6);
    EXPECT_EQ(DrawnColumns(6), (std::vector<int32_t>{6, 7, 8, 9}));
}

TEST_F(SpriteTest, AffineSpriteTexelAddressing) {
    // A 16 x 16 16-colour affine sprite, one-dimensional: texel (tx, ty) =
    // tile (ty / 8) * 2 + tx / 8. Mirror it with PA = -1.
    SetIo(Io::DISPCNT, 0x1040);
    for (uint32_t tile = 0; tile < 4; ++tile) FillVram(TileMemory + 32 * tile, 32, uint8_t(0x11 * (tile + 1)));
    SetVram8(TileMemory + 32 * 3 + 4 * 7 + 3, 0x9A);  // texels (14, 15)=10 and (15, 15)=9
    SetAffine(1, -256, 0, 0, 256);
    SetOam(0, 0x0100, 0x4000 | 1 << 9, 0);
    Render(15);
    // Column 0 maps to texel 16, just outside: the mirror image starts at
    // column 1.
    EXPECT_EQ(Pixel(0, 15), SurfaceWhite);
    EXPECT_EQ(Pixel(1, 15), Shown(9));
    EXPECT_EQ(Pixel(2, 15), Shown(10));
    EXPECT_EQ(Pixel(3, 15), Shown(4));
    EXPECT_EQ(Pixel(15, 15), Shown(3));
    EXPECT_EQ(Pixel(16, 15), SurfaceWhite);
}

TEST_F(SpriteTest, SemiTransparentSpritesBlendOnlyWithASecondTarget) {
    SetPalette(0, HandheldRed);
    FillVram(TileMemory, 32, 0x11);
    SetPalette(257, HandheldBlue);
    SetOam(0, 0x0400, 0, 0);  // semi-transparent
    SetIo(BLDALPHA, 0x0808);
    SetIo(BLDCNT, 0x00D0);  // OBJ darkened: semi-transparent sprites ignore it
    Render(0);
    EXPECT_EQ(Pixel(0, 0), SurfaceBlue);
    SetIo(BLDCNT, 0x20D0);  // the backdrop becomes a second target
    Render(0);
    EXPECT_EQ(Pixel(0, 0), 0x3C0F);
    // A normal sprite with the blend effect and no partner is scaled by EVA.
    SetOam(0, 0x0000, 0, 0);
    SetIo(BLDCNT, 0x0050);
    Render(0);
    EXPECT_EQ(Pixel(0, 0), 0x000F);
}

TEST_F(SpriteTest, ObjWindowIsShapedBySpritesAndNeverDrawn) {
    // BG0 in solid index 1 everywhere; WINOUT lets BG0 draw outside and
    // nothing inside the OBJ window.
    FillVram(32, 32, 0x11);
    for (uint32_t i = 0; i < 1024; ++i) SetVram16(0x4000 + 2 * i, 1);
    SetPalette(1, HandheldGreen);
    SetIo(Io::BG0CNT, 8 << 8);
    SetIo(WINOUT, 0x0011);
    FillVram(TileMemory, 32, 0x11);
    SetOam(0, 0x0800, 16, 0);  // OBJ window mode
    SetIo(Io::DISPCNT, 0x1100);
    Render(0);
    EXPECT_EQ(Pixel(16, 0), SurfaceGreen);  // without DISPCNT bit 15 nothing at all
    SetIo(Io::DISPCNT, 0x9100);
    Render(0);
    EXPECT_EQ(Pixel(15, 0), SurfaceGreen);
    for (int32_t x = 16; x < 24; ++x) EXPECT_EQ(Pixel(x, 0), SurfaceWhite) << x;
    EXPECT_EQ(Pixel(24, 0), SurfaceGreen);
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
