/* Sprites in mode 0 with one-dimensional mapping, over BG0 (a grey
 * checkerboard) and BG1 (blue stripes, shown only through the OBJ window):
 *
 *   top, y 0       64x64, 64x32, 32x64, 32x32, 16x16, 8x8 (16 colours)
 *   y 68           16x8, 32x8, 32x16, 8x16, 8x32, 16x32; then a 32 x 32 OBJ-
 *                  window sprite (a ring) at x 150 through which BG1's
 *                  stripes show instead of the checkerboard, and a 32 x 64
 *                  sprite of shape 3 (drawn as 32 x 32) at x 200.
 *   y 112          a 16 x 16 sprite plain, flipped horizontally, vertically
 *                  and both; a 256-colour 16 x 16 sprite; two overlapping
 *                  sprites (number 20 in front of 21); a semi-transparent
 *                  32 x 32 sprite blended half and half with the board.
 *   edges          a 32 x 32 sprite at x = -16 (bottom left, half shown) and
 *                  one at y = -16 (top right corner, x 224, a quarter shown).
 *
 * Every sprite is cut into 8 x 8 tiles each showing the letter F, coloured
 * by the tile's position in the sprite, so tile order and flips can be
 * read off the picture. */

#include "video.h"

static const uint8_t Ring[8] = {0x3C, 0x7E, 0xE7, 0xC3, 0xC3, 0xE7, 0x7E, 0x3C};
static const uint8_t Solid[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

static uint32_t nextTile = 0;
static uint32_t nextSprite = 0;

/* Lays out tiles for a w x h (in tiles) 16-colour sprite: tile i shows an F
 * in colour 1 + i mod 15 on colour 0 (transparent). Returns the first tile. */
static uint32_t LetterSprite16(uint32_t w, uint32_t h) {
    const uint32_t first = nextTile;
    for (uint32_t i = 0; i < w * h; ++i) PatternTile16(0x10000 + 32 * (nextTile + i), LetterF, 1 + i % 15, 0);
    nextTile += w * h;
    return first;
}

static void Place(uint32_t shape, uint32_t size, uint32_t x, uint32_t y, uint32_t tile, uint32_t extra0,
                  uint32_t extra1) {
    SetSprite(nextSprite++, (uint16_t)((y & 0xFF) | shape << 14 | extra0),
              (uint16_t)((x & 0x1FF) | size << 14 | extra1), (uint16_t)tile);
}

int main(void) {
    DISPCNT = 0x0080;
    PALETTE[0] = RGB(0, 0, 0);
    PALETTE[1] = RGB(20, 20, 20);
    PALETTE[2] = RGB(28, 28, 28);
    PALETTE[3] = RGB(0, 0, 24);
    PALETTE[4] = RGB(10, 16, 31);
    for (uint32_t i = 1; i < 16; ++i) SPRITE_PALETTE[i] = RGB((i * 7) % 32, (31 - i * 2), (i * 13) % 32);
    SPRITE_PALETTE[16 + 1] = RGB(31, 31, 31);
    for (uint32_t i = 0; i < 4; ++i) SPRITE_PALETTE[200 + i] = RGB(31, 8 * i, 0);

    /* BG0 checkerboard (map block 30), BG1 stripes (block 31). */
    PatternTile16(Tile16Offset(0, 1), Solid, 1, 1);
    PatternTile16(Tile16Offset(0, 2), Solid, 2, 2);
    static const uint8_t Stripes[8] = {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00};
    PatternTile16(Tile16Offset(0, 3), Stripes, 3, 4);
    for (uint32_t row = 0; row < 32; ++row)
        for (uint32_t column = 0; column < 32; ++column) {
            VRAM16[0xF000 / 2 + row * 32 + column] = (uint16_t)(1 + ((row + column) & 1));
            VRAM16[0xF800 / 2 + row * 32 + column] = 3;
        }
    BGCNT(0) = 3 | 30 << 8;
    BGCNT(1) = 3 | 31 << 8;

    HideSprites();
    /* Shapes and sizes (shape, size, x, y). */
    static const uint8_t Layout[12][4] = {
        {0, 3, 0, 0},  {1, 3, 68, 0},  {2, 3, 136, 0}, {0, 2, 172, 0}, {0, 1, 208, 0},  {0, 0, 228, 0},
        {1, 0, 0, 68}, {1, 1, 20, 68}, {1, 2, 56, 68}, {2, 0, 92, 68}, {2, 1, 104, 68}, {2, 2, 116, 68},
    };
    static const uint8_t Tiles[4][4][2] = {
        {{1, 1}, {2, 2}, {4, 4}, {8, 8}},
        {{2, 1}, {4, 1}, {4, 2}, {8, 4}},
        {{1, 2}, {1, 4}, {2, 4}, {4, 8}},
        {{1, 1}, {2, 2}, {4, 4}, {8, 8}},
    };
    for (uint32_t i = 0; i < 12; ++i) {
        const uint32_t shape = Layout[i][0], size = Layout[i][1];
        const uint32_t tile = LetterSprite16(Tiles[shape][size][0], Tiles[shape][size][1]);
        Place(shape, size, Layout[i][2], Layout[i][3], tile, 0, 0);
    }

    /* The OBJ-window ring: 32 x 32 of ring tiles, mode 2. */
    const uint32_t ringTile = nextTile;
    for (uint32_t i = 0; i < 16; ++i)
        PatternTile16(0x10000 + 32 * (ringTile + i), (i == 5 || i == 6 || i == 9 || i == 10) ? Ring : Solid, 1, 0);
    for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t x = i % 4, y = i / 4;
        if (x > 0 && x < 3 && y > 0 && y < 3) continue;
        PatternTile16(0x10000 + 32 * (ringTile + i), Ring, 1, 0);
    }
    nextTile += 16;
    Place(0, 2, 150, 68, ringTile, 0x0800, 0);
    /* Shape 3, size 2: drawn as a 32 x 32 square. */
    Place(3, 2, 200, 68, LetterSprite16(4, 4), 0, 0);

    /* Flips of one 16 x 16 sprite. */
    const uint32_t flipTile = LetterSprite16(2, 2);
    for (uint32_t f = 0; f < 4; ++f) Place(0, 1, 20 * f, 112, flipTile, 0, f << 12);
    /* 256 colours: 2 x 2 tiles of 64 bytes, four shades of orange. */
    const uint32_t tile256 = nextTile;
    for (uint32_t i = 0; i < 4; ++i) PatternTile256(0x10000 + 32 * (tile256 + 2 * i), LetterF, 200 + i, 0);
    nextTile += 8;
    Place(0, 1, 84, 112, tile256, 0x2000, 0);
    /* Overlap: sprite 20 (white, palette bank 1) in front of 21. */
    const uint32_t solidTile = nextTile;
    PatternTile16(0x10000 + 32 * solidTile, Solid, 1, 0);
    nextTile += 1;
    nextSprite = 20;
    SetSprite(20, 116, 108, (uint16_t)(solidTile | 1 << 12));
    SetSprite(21, 112, 104, (uint16_t)(solidTile + 0));
    /* Semi-transparent 32 x 32. */
    nextSprite = 22;
    Place(0, 2, 124, 112, LetterSprite16(4, 4), 0x0400, 0);
    /* Off the edges. */
    Place(0, 2, 512 - 16, 132, LetterSprite16(4, 4), 0, 0);
    Place(0, 2, 224, 256 - 16, LetterSprite16(4, 4), 0, 0);

    WINOUT = 0x0031 | 0x0012 << 8; /* outside: BG0, OBJ, effects; OBJ window: BG1 + OBJ */
    BLDCNT = 0x0100;               /* BG0 is the second target of the semi-transparent sprite */
    BLDALPHA = 8 << 8 | 8;
    DISPCNT = 0x0040 | 0x0300 | 0x1000 | 0x8000;
    for (;;) {
    }
}
