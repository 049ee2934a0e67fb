/* Tiled backgrounds, all four in mode 0, in horizontal bands:
 *
 *   lines 0-39    BG0, 16 colours: the letter F plain, flipped horizontally,
 *                 vertically and both, in palette banks 1-4 (yellow, cyan, magenta,
 *                 blue), repeated.
 *   lines 40-79   BG1, 256 colours: the same four flips in orange on dark
 *                 blue, scrolled 3 pixels left and 2 lines up, alpha
 *                 blended (10/16 over 6/16) with the checkerboard behind.
 *   lines 80-119  BG2, 16 colours: a diagonal colour ramp under a 4 x 4
 *                 mosaic, so it shows as 4-pixel squares.
 *   everywhere    BG3 behind the others: a 512 x 512 map scrolled to
 *                 (256, 256), whose fourth screen block holds a grey and
 *                 white checkerboard of 8-pixel squares. The other three
 *                 blocks hold red tiles: any red on the screen is an error.
 *   lines 120-159 BG3 alone. */

#include "video.h"

static const uint8_t Solid[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

int main(void) {
    DISPCNT = 0x0080;

    /* Palettes: bank b (1-4) colour 1 is the letter colour. */
    PALETTE[0] = RGB(0, 0, 0);
    PALETTE[16 + 1] = RGB(31, 31, 0);
    PALETTE[32 + 1] = RGB(0, 31, 31);
    PALETTE[48 + 1] = RGB(31, 0, 31);
    PALETTE[64 + 1] = RGB(0, 0, 31);
    PALETTE[2] = RGB(24, 24, 24); /* checkerboard grey */
    PALETTE[3] = RGB(31, 31, 31); /* checkerboard white */
    PALETTE[4] = RGB(31, 0, 0);   /* wrong screen block */
    PALETTE[200] = RGB(31, 16, 0);
    PALETTE[201] = RGB(2, 2, 10);
    for (uint32_t i = 0; i < 15; ++i) PALETTE[80 + 1 + i] = RGB(2 * i, 31 - 2 * i, i);

    /* Character base 0 (16 colours): tile 1 the letter, tiles 2-4 solid
     * grey, white and red, tiles 16-31 ramp tiles whose pixel (x, y) has
     * index 1 + (x + y + 8 (t - 16)) mod 15. */
    PatternTile16(Tile16Offset(0, 1), LetterF, 1, 0);
    PatternTile16(Tile16Offset(0, 2), Solid, 2, 0);
    PatternTile16(Tile16Offset(0, 3), Solid, 3, 0);
    PatternTile16(Tile16Offset(0, 4), Solid, 4, 0);
    for (uint32_t t = 0; t < 16; ++t)
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t half = 0; half < 2; ++half) {
                uint16_t value = 0;
                for (uint32_t k = 0; k < 4; ++k) {
                    const uint32_t x = 4 * half + k;
                    value |= (uint16_t)((1 + (x + y + 8 * t) % 15) << (4 * k));
                }
                VRAM16[(Tile16Offset(0, 16 + t) + y * 4 + 2 * half) / 2] = value;
            }
    /* Character base 1 (0x4000, 256 colours): tile 1 the letter. */
    PatternTile256(Tile256Offset(0x4000, 1), LetterF, 200, 201);

    /* BG0 map at screen block 16 (0x8000), letters on map rows 0-4. */
    for (uint32_t row = 0; row < 32; ++row)
        for (uint32_t column = 0; column < 32; ++column) {
            const uint32_t variant = column & 3;
            const uint16_t entry = row < 5 ? (uint16_t)(1 | variant << 10 | (1 + variant) << 12) : 0;
            VRAM16[0x8000 / 2 + row * 32 + column] = entry;
        }
    /* BG1 map at block 17, rows 5-9 of the screen (map rows 5-9 after the
     * scroll of 2 lines puts them at lines 38-77). */
    for (uint32_t row = 0; row < 32; ++row)
        for (uint32_t column = 0; column < 32; ++column)
            VRAM16[0x8800 / 2 + row * 32 + column] = row >= 5 && row < 10 ? (uint16_t)(1 | (column & 3) << 10) : 0;
    /* BG2 map at block 18: ramp tiles on rows 10-14. */
    for (uint32_t row = 0; row < 32; ++row)
        for (uint32_t column = 0; column < 32; ++column)
            VRAM16[0x9000 / 2 + row * 32 + column] =
                row >= 10 && row < 15 ? (uint16_t)((16 + (row + column) % 16) | 5 << 12) : 0;
    /* BG3: 512 x 512 map at blocks 20-23; blocks 20-22 red, block 23 the
     * checkerboard. */
    for (uint32_t i = 0; i < 3 * 1024; ++i) VRAM16[0xA000 / 2 + i] = 4;
    for (uint32_t row = 0; row < 32; ++row)
        for (uint32_t column = 0; column < 32; ++column)
            VRAM16[0xB800 / 2 + row * 32 + column] = (uint16_t)(2 + ((row + column) & 1));

    BGCNT(0) = 0 | 0 << 2 | 16 << 8;
    BGCNT(1) = 1 | 1 << 2 | 0x80 | 17 << 8;
    BGCNT(2) = 1 | 0 << 2 | 0x40 | 18 << 8;
    BGCNT(3) = 3 | 0 << 2 | 20 << 8 | 0xC000;
    BGHOFS(1) = 3;
    BGVOFS(1) = 2;
    BGHOFS(3) = 256;
    BGVOFS(3) = 256;
    MOSAIC = 0x0033;
    BLDCNT = 0x0800 | 0x0040 | 0x0002; /* BG1 over BG3 */
    BLDALPHA = 6 << 8 | 10;
    DISPCNT = 0x0F00;
    for (;;) {
    }
}
