/* Rotation-scaling backgrounds and sprites, mode 2, two-dimensional sprite
 * mapping:
 *
 *   left half (window 0, x 0-119)   BG2: a 128 x 128 map of letters F with a
 *                                   red frame along its top row and left
 *                                   column, rotated by 22.5 degrees with
 *                                   wrap-around: the frame repeats as a
 *                                   tilted grid every 128 texels.
 *   right half (outside)            BG3: a 256 x 256 map without wrap-
 *                                   around, magnified twice, its top-left
 *                                   corner at screen (140, 20): black
 *                                   backdrop above and left of it. A 4 x 4
 *                                   mosaic, laid on the screen from its
 *                                   top-left corner, shows 2 x 2 texels
 *                                   per block.
 *   sprites, bottom row (y 96)      the same 32 x 32 F texture (16 colours):
 *                                   identity; rotated 45 degrees, double
 *                                   size (64 x 64 box); magnified twice in
 *                                   its own box (only the middle shows);
 *                                   rotated with a 4 x 4 sprite mosaic
 *                                   (blocks from screen x 148, a multiple
 *                                   of 4: the sprite's first column);
 *                                   in 256 colours, mirrored by PA = -1. */

#include "video.h"

static const uint8_t Solid[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
/* A 4 x 4-tile F: which tiles of the sprite are solid. */
static const uint8_t BigF[4] = {0xF, 0x8, 0xE, 0x8};

int main(void) {
    DISPCNT = 0x0080;
    PALETTE[0] = RGB(0, 0, 0);
    PALETTE[1] = RGB(31, 31, 31);
    PALETTE[2] = RGB(4, 8, 20);
    PALETTE[3] = RGB(31, 0, 0);
    PALETTE[4] = RGB(31, 24, 0);
    PALETTE[5] = RGB(0, 20, 0);

    /* Background tiles (256 colours, character base 0): 1 white F on blue,
     * 2 red, 3 orange F on green. */
    PatternTile256(Tile256Offset(0, 1), LetterF, 1, 2);
    PatternTile256(Tile256Offset(0, 2), Solid, 3, 3);
    PatternTile256(Tile256Offset(0, 3), LetterF, 4, 5);

    /* BG2 map: 16 x 16 bytes at screen block 8 (0x4000). */
    for (uint32_t row = 0; row < 16; ++row)
        for (uint32_t column = 0; column < 16; column += 2) {
            const uint32_t left = row == 0 || column == 0 ? 2 : 1;
            const uint32_t right = row == 0 ? 2 : 1;
            VRAM16[(0x4000 + row * 16 + column) / 2] = (uint16_t)(left | right << 8);
        }
    /* BG3 map: 32 x 32 bytes at screen block 9 (0x4800), all tile 3. */
    for (uint32_t i = 0; i < 32 * 32 / 2; ++i) VRAM16[0x4800 / 2 + i] = 3 | 3 << 8;

    BGCNT(2) = 1 | 0 << 2 | 8 << 8 | 0x2000;
    BGCNT(3) = 2 | 0 << 2 | 0x40 | 9 << 8 | 1 << 14;
    BGPA(2) = 237;
    BGPB(2) = (uint16_t)-98;
    BGPC(2) = 98;
    BGPD(2) = 237;
    BGX(2) = 0;
    BGY(2) = 0;
    BGPA(3) = 128;
    BGPB(3) = 0;
    BGPC(3) = 0;
    BGPD(3) = 128;
    BGX(3) = (uint32_t)(-70 * 256); /* texel x = (screen x - 140) / 2 */
    BGY(3) = (uint32_t)(-10 * 256);
    MOSAIC = 0x3333; /* backgrounds and sprites 4 x 4 */

    WIN0H = 0 << 8 | 120;
    WIN0V = 0 << 8 | 160;
    WININ = 0x0014;  /* BG2 and sprites inside */
    WINOUT = 0x0018; /* BG3 and sprites outside */

    /* Sprite tiles, two-dimensional mapping: the 16-colour texture at tile 0
     * (4 x 4 tiles, rows 32 tiles apart), the 256-colour one at tile 8 (each
     * tile two slots). */
    SPRITE_PALETTE[1] = RGB(31, 31, 0);
    SPRITE_PALETTE[2] = RGB(31, 0, 31);
    SPRITE_PALETTE[3] = RGB(0, 31, 31);
    for (uint32_t ty = 0; ty < 4; ++ty)
        for (uint32_t tx = 0; tx < 4; ++tx) {
            const uint32_t solid = (BigF[ty] >> (3 - tx)) & 1;
            PatternTile16(0x10000 + 32 * (ty * 32 + tx), solid ? Solid : LetterF, solid ? 1 : 2, 0);
            PatternTile256(0x10000 + 32 * (ty * 32 + 8 + 2 * tx), solid ? Solid : LetterF, solid ? 3 : 2, 0);
        }
    HideSprites();
    SetSpriteAffine(0, 256, 0, 0, 256);
    SetSpriteAffine(1, 181, -181, 181, 181);
    SetSpriteAffine(2, 128, 0, 0, 128);
    SetSpriteAffine(3, 237, -98, 98, 237);
    SetSpriteAffine(4, -256, 0, 0, 256);
    /* attr0: y, affine (0x100), double (0x200), mosaic (0x1000), 256 colours
     * (0x2000); attr1: x, group << 9, size 2 (32 x 32). */
    SetSprite(0, 112 | 0x100, 4 | 0 << 9 | 0x8000, 0);
    SetSprite(1, 96 | 0x300, 40 | 1 << 9 | 0x8000, 0);
    SetSprite(2, 112 | 0x100, 108 | 2 << 9 | 0x8000, 0);
    SetSprite(3, 112 | 0x1100, 148 | 3 << 9 | 0x8000, 0);
    SetSprite(4, 112 | 0x2100, 196 | 4 << 9 | 0x8000, 8);

    DISPCNT = 0x0002 | 0x0C00 | 0x1000 | 0x2000;
    for (;;) {
    }
}
