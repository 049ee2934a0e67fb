/* Colour effects and the windows, in four bands switched at fixed lines.
 * Palette: backdrop dark grey, red, green, blue; sprites yellow, white,
 * cyan. The windows' colour-effect bit (bit 5 of each WININ/WINOUT byte)
 * decides where an effect applies, and a pixel blends only with the pixel
 * directly beneath it, and only when that one is a second target.
 *
 *   lines 0-39    mode 0, alpha blend 8/8 of BG0 (red letters F) over BG2
 *                 (blue), with BG1 (green tiles on every other tile) in
 *                 between, not a target. Window 0, x 40-119, lets every
 *                 layer draw but allows no effect.
 *                 Outside it: F over green stays red, F over blue is purple
 *                 (15, 0, 15), green and blue plain. Inside: F plain red.
 *                 A semi-transparent yellow 32 x 32 sprite at x 100-131
 *                 blends with blue to (15, 15, 15) right of x 120, and is
 *                 plain yellow inside the window and over red or green.
 *   lines 40-79   brighten BG0 and the backdrop by half, the same window 0:
 *                 outside it F is (31, 15, 15) on grey (19, 19, 19); inside
 *                 both stay plain. A white sprite (OBJ is no target) at
 *                 x 150-165 is plain everywhere.
 *   lines 80-119  darken BG0 by half: F (15, 0, 0) on grey (8, 8, 8)
 *                 (the backdrop is no target). The OBJ window, a 32 x 32
 *                 square at x 60-91, allows no effect: plain red F there,
 *                 but window 0, now x 80-119 with effects, lies above it
 *                 and darkens x 80-91 again. Window 1, x 160-199, allows
 *                 no effect on lines 80-89 only: its top (120) lies below
 *                 its bottom (90), so it wraps round from line 120 to 89.
 *   lines 120-159 mode 3: a red-to-blue bitmap gradient (BG2, priority 0,
 *                 first target) over a cyan 64 x 32 sprite at x 20-83
 *                 (priority 1, second target), alpha 8/8: the bitmap
 *                 blends with cyan over x 40-83 and is plain elsewhere
 *                 (no partner beneath: no darkening). Window 1, x 200-39
 *                 (left right of right: it wraps round the line edge; it
 *                 covers these lines from its top, 120),
 *                 shows only sprites: the cyan sprite plain at x 20-39,
 *                 the grey backdrop at x 0-19 and 200-239. */

#include "video.h"

static const uint8_t Solid[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

/* Sprite tiles from 512 (VRAM 0x14000), where both the tiled and the
 * bitmap modes find them. One-dimensional mapping. */
#define SPRITE_TILE(n) (0x14000 + 32 * (n))

/* Background palette from entry 0 (the backdrop), sprite palette from 1. */
static const uint16_t BackgroundColours[] = {RGB(8, 8, 8), RGB(31, 0, 0), RGB(0, 31, 0), RGB(0, 0, 31)};
static const uint16_t SpriteColours[] = {RGB(31, 31, 0), RGB(31, 31, 31), RGB(0, 31, 31), RGB(31, 0, 31)};

int main(void) {
    DISPCNT = 0x0080;
    for (uint32_t i = 0; i < 4; ++i) {
        PALETTE[i] = BackgroundColours[i];
        SPRITE_PALETTE[1 + i] = SpriteColours[i];
    }

    /* Tiles (16 colours, character base 0): 1 red F, 2 solid green, 3 solid
     * blue. Maps: BG0 at screen block 8 (all F), BG1 at 9 (green on every
     * other tile), BG2 at 10 (all blue). All below the mode-3 rows 120-159
     * (0xE100 on). */
    PatternTile16(Tile16Offset(0, 1), LetterF, 1, 0);
    FillTile16(Tile16Offset(0, 2), 2);
    FillTile16(Tile16Offset(0, 3), 3);
    for (uint32_t row = 0; row < 32; ++row)
        for (uint32_t column = 0; column < 32; ++column) {
            const uint32_t i = row * 32 + column;
            VRAM16[0x4000 / 2 + i] = 1;
            VRAM16[0x4800 / 2 + i] = (row + column) & 1 ? 2 : 0;
            VRAM16[0x5000 / 2 + i] = 3;
        }
    BGCNT(0) = 0 | 8 << 8;
    BGCNT(1) = 1 | 9 << 8;
    BGCNT(2) = 2 | 10 << 8;

    /* Mode-3 rows 120-159: red falling and blue rising to the right. */
    for (uint32_t y = 120; y < 160; ++y)
        for (uint32_t x = 0; x < 240; ++x) VRAM16[y * 240 + x] = RGB(31 - x * 31 / 239, 0, x * 31 / 239);

    /* 512-527 yellow 32 x 32, 528-543 OBJ window 32 x 32, 544-575 cyan
     * 64 x 32, 576-579 white 16 x 16. */
    for (uint32_t i = 0; i < 68; ++i) {
        const uint32_t colour = i < 16 ? 1 : i < 32 ? 4 : i < 64 ? 3 : 2;
        PatternTile16(SPRITE_TILE(i), Solid, colour, 0);
    }
    HideSprites();
    /* attr0: y, mode (0x400 semi-transparent, 0x800 OBJ window), shape
     * (0x4000 wide); attr1: x, size; attr2: tile, priority. */
    SetSprite(0, 4 | 0x0400, 100 | 0x8000, 512);
    SetSprite(1, 48, 150 | 0x4000, 576);
    SetSprite(2, 84 | 0x0800, 60 | 0x8000, 528);
    SetSprite(3, 124 | 0x4000, 20 | 0xC000, 544 | 1 << 10);

    BLDALPHA = 8 << 8 | 8;
    BLDY = 8;
    WIN0V = 0 << 8 | 160;
    WIN1V = 120 << 8 | 90;

    for (;;) {
        WaitForLine(160);
        BGCNT(2) = 2 | 10 << 8;
        DISPCNT = 0x0040 | 0x0700 | 0x1000 | 0x2000;
        BLDCNT = 0x0001 | 0x0040 | 0x0400;
        WIN0H = 40 << 8 | 120;
        WININ = 0x001F;
        WINOUT = 0x003F;
        WaitForLine(40);
        DISPCNT = 0x0040 | 0x0100 | 0x1000 | 0x2000;
        BLDCNT = 0x0001 | 0x0020 | 0x0080;
        WaitForLine(80);
        DISPCNT = 0x0040 | 0x0100 | 0x1000 | 0x2000 | 0x4000 | 0x8000;
        BLDCNT = 0x0001 | 0x00C0;
        WIN0H = 80 << 8 | 120;
        WIN1H = 160 << 8 | 200;
        WININ = 0x0011 << 8 | 0x0031;
        WINOUT = 0x0011 << 8 | 0x003F;
        WaitForLine(120);
        DISPCNT = 0x0003 | 0x0040 | 0x0400 | 0x1000 | 0x4000;
        BGCNT(2) = 0 | 10 << 8;
        BLDCNT = 0x0004 | 0x0040 | 0x1000;
        WIN1H = 200 << 8 | 40;
        WININ = 0x0010 << 8;
    }
}
