// Tiled, rotation-scaling and bitmap backgrounds, one line at a time: the
// rules the picture cartridges do not show (the guards, the map quarters,
// where mosaic blocks start, the largest affine map and the VRAM fold).
// Affine mosaic and wrap-around are the affine picture's, fine scrolling
// the tiles picture's, mode 5's scaling the modes picture's, bitmaps in
// windows and blends the effects picture's.

#include "machine/bus.h"
#include "machine/display_registers.h"
#include "video/line_buffers.h"
#include "video_fixture.h"

namespace {

constexpr uint32_t MOSAIC = 0x04C;

// Palette entry i holds handheld colour i (so its surface pixel tells which
// colour index was drawn); entry 0 (the backdrop) is white.
class BackgroundTest : public VideoTest {
protected:
    BackgroundTest() {
        for (uint32_t i = 1; i < 256; ++i) SetPalette(i, uint16_t(i));
        SetPalette(0, HandheldWhite);
    }
    static uint16_t Shown(uint32_t index) {  // surface pixel of palette entry index
        return uint16_t((index & 0x1F) << 10 | (index & 0x3E0));
    }
    // 16-colour tile whose pixel k of every row has index k + first.
    void RampTile16(uint32_t charOffset, uint32_t first) {
        for (uint32_t row = 0; row < 8; ++row)
            for (uint32_t k = 0; k < 8; k += 2)
                SetVram8(charOffset + row * 4 + k / 2, uint8_t((first + k) | (first + k + 1) << 4));
    }
    void SetBg2Reference(int32_t x, int32_t y) {
        BusWrite32(0x04000028, uint32_t(x));  // BG2X
        BusWrite32(0x0400002C, uint32_t(y));  // BG2Y
    }
    // The scanline driver's part: the start point of line n.
    void RenderAffineLine(uint32_t line) {
        AffineState[0].CurX = AffineState[0].RefX + int32_t(line) * AffineState[0].PB;
        AffineState[0].CurY = AffineState[0].RefY + int32_t(line) * AffineState[0].PD;
        Render(line);
    }
};

// Text backgrounds: BG0 with characters at 0 and the map at screen block 8
// (0x4000) unless a test says otherwise.

TEST_F(BackgroundTest, FineScrollShiftsIntoTheGuard) {
    RampTile16(32, 1);  // tile 1: indexes 1..8
    RampTile16(64, 8);  // tile 2: indexes 8..15
    for (uint32_t i = 0; i < 32; ++i) SetVram16(0x4000 + 2 * i, uint16_t(1 + (i & 1)));
    SetIo(Io::BG0CNT, 8 << 8);
    SetIo(Io::BG0HOFS, 3);
    SetIo(Io::DISPCNT, 0x0100);
    // Neighbouring lines must not change: the guards take what spills.
    for (uint32_t i = 0; i < 3 * SurfaceWidth; ++i) FrameSurface[3 * SurfaceWidth + i] = 0x1234;
    Render(4);
    EXPECT_EQ(Pixel(0, 4), Shown(4));    // tile pixel 3
    EXPECT_EQ(Pixel(239, 4), Shown(3));  // column 30 (tile 1), pixel 2
    for (int32_t x = -130; x < 370; ++x) {
        ASSERT_EQ(Pixel(x, 3), 0x1234) << x;
        ASSERT_EQ(Pixel(x, 5), 0x1234) << x;
    }
}

TEST_F(BackgroundTest, LargeMapsTakeTheirQuartersFromTheNextScreenBlocks) {
    const struct {
        const char* name;
        uint16_t sizeBits;
        uint16_t hofs, vofs;
        uint32_t block;  // screen block (after 8) that must be shown
    } cases[] = {
        {"256x512 lower half", 0x8000, 0, 256, 1},
        {"512x256 right half", 0x4000, 256, 0, 1},
        {"256x256 wraps", 0x0000, 256, 256, 0},
    };
    for (uint32_t block = 0; block < 4; ++block) {
        FillVram(32 * (block + 1), 32, uint8_t(0x11 * (block + 1)));
        for (uint32_t i = 0; i < 1024; ++i) SetVram16(0x4000 + block * 0x800 + 2 * i, uint16_t(block + 1));
    }
    SetIo(Io::DISPCNT, 0x0100);
    for (const auto& c : cases) {
        SetIo(Io::BG0CNT, uint16_t(8 << 8 | c.sizeBits));
        SetIo(Io::BG0HOFS, c.hofs);
        SetIo(Io::BG0HOFS + 2, c.vofs);
        Render(0);
        EXPECT_EQ(Pixel(0, 0), Shown(c.block + 1)) << c.name;
        EXPECT_EQ(Pixel(239, 0), Shown(c.block + 1)) << c.name;
    }
}

// The held rows show in the tiles picture. Mosaic blocks lie on the
// screen, whatever the scroll: they start at screen x 0 and line 0.
TEST_F(BackgroundTest, MosaicBlocksStartAtTheScreenEdge) {
    RampTile16(32, 1);
    RampTile16(64, 8);
    for (uint32_t i = 0; i < 1024; ++i) SetVram16(0x4000 + 2 * i, uint16_t(i < 32 ? 1 : 2));
    SetIo(Io::BG0CNT, 0x40 | 8 << 8);
    SetIo(Io::DISPCNT, 0x0100);
    SetIo(MOSAIC, 0x0033);  // 4 x 4
    SetIo(Io::BG0HOFS, 2);
    SetIo(Io::BG0HOFS + 2, 5);
    Render(2);                          // shows line 0: map row 5
    EXPECT_EQ(Pixel(0, 2), Shown(3));   // block 0..3 holds tile pixel 2
    EXPECT_EQ(Pixel(3, 2), Shown(3));
    EXPECT_EQ(Pixel(4, 2), Shown(7));   // block 4..7 holds tile pixel 6
    Render(3);                          // still line 0, though map row 8 is tile 2's
    EXPECT_EQ(Pixel(0, 3), Shown(3));
    Render(4);                          // line 4: map row 9
    EXPECT_EQ(Pixel(0, 4), Shown(10));
}

TEST_F(BackgroundTest, CharactersPastVramFoldIntoItsLastThirtyTwoKilobytes) {
    // 256 colours from character base 3 (0xC000): tile 1023 would start at
    // 0x1BFC0, which the bus folds to 0x13FC0.
    for (uint32_t i = 0; i < 1024; ++i) SetVram16(0x4000 + 2 * i, 1023);
    SetVram8(0x13FC0, 9);
    SetIo(Io::BG0CNT, 0x80 | 3 << 2 | 8 << 8);
    SetIo(Io::DISPCNT, 0x0100);
    Render(0);
    EXPECT_EQ(Pixel(0, 0), Shown(9));
    EXPECT_EQ(Pixel(1, 0), SurfaceWhite);
}

// Negative coordinates, with and without wrap-around, show in the affine
// picture. BG2 in mode 2, screen block 8, 256 colours from 0x8000: the
// largest map (1024 x 1024) has 128 tiles a row.
TEST_F(BackgroundTest, LargestAffineMapHas128TilesARow) {
    FillVram(0x8000 + 64 * 77, 64, 77);
    SetVram8(0x4000 + 128 + 2, 77);  // map row 1, column 2
    SetIo(Io::BG0CNT + 4, 0xC000 | 2 << 2 | 8 << 8);
    SetIo(Io::DISPCNT, 0x0402);
    RenderAffineLine(8);
    EXPECT_EQ(Pixel(16, 8), Shown(77));
}

// Bitmaps.

TEST_F(BackgroundTest, BitmapsHaveNoTransparentColour) {
    SetVram16(2 * (240 * 7 + 5), HandheldRed);
    SetIo(Io::DISPCNT, 0x0403);
    RenderAffineLine(7);
    EXPECT_EQ(Pixel(5, 7), SurfaceRed);
    EXPECT_EQ(Pixel(6, 7), 0x0000);  // a black pixel is drawn too

    SetPalette(0, HandheldGreen);
    SetVram8(240 * 3 + 10, 7);
    SetIo(Io::DISPCNT, 0x0404);
    RenderAffineLine(3);
    EXPECT_EQ(Pixel(10, 3), Shown(7));
    EXPECT_EQ(Pixel(11, 3), SurfaceGreen);  // index 0 is palette entry 0, drawn
}

// A block takes the pixel at its screen corner, even when that lies off
// the bitmap: then the whole block is transparent.
TEST_F(BackgroundTest, BitmapMosaicSamplesAtTheBlocksScreenCorner) {
    SetVram16(2 * 2, HandheldRed);
    SetVram16(2 * 6, HandheldBlue);
    SetBg2Reference(-2 * 256, 0);
    SetIo(MOSAIC, 0x0003);
    SetIo(Io::BG0CNT + 4, 0x40);
    SetIo(Io::DISPCNT, 0x0403);
    RenderAffineLine(0);
    EXPECT_EQ(Pixel(3, 0), SurfaceWhite);  // bitmap x -2: the backdrop
    EXPECT_EQ(Pixel(4, 0), SurfaceRed);    // bitmap x 2
    EXPECT_EQ(Pixel(7, 0), SurfaceRed);
    EXPECT_EQ(Pixel(8, 0), SurfaceBlue);  // bitmap x 6
}

}  // namespace
