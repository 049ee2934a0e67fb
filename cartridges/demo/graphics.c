/* The demo's pictures, all drawn by this file at start-up: the palettes,
 * an 8 x 8 font for the text layer, clouds, the sky pattern of the
 * rotating background, and the sprites. Nothing is loaded from elsewhere. */
#include "demo.h"
#include "hardware.h"

/* 5 x 7 letters in 8 x 8 cells, one byte per row, bit 7 the leftmost
 * pixel, for the characters from space (0x20) to underscore (0x5F). The
 * text tiles are numbered the same way: tile = character - 0x20. */
static const uint8_t Font[64][8] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* space */
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x00, 0x10, 0x00}, /* ! */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* " */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* # */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* $ */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* % */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* & */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* ' */
    {0x08, 0x10, 0x20, 0x20, 0x20, 0x10, 0x08, 0x00}, /* ( */
    {0x20, 0x10, 0x08, 0x08, 0x08, 0x10, 0x20, 0x00}, /* ) */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* * */
    {0x00, 0x10, 0x10, 0x7C, 0x10, 0x10, 0x00, 0x00}, /* + */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* , */
    {0x00, 0x00, 0x00, 0x7C, 0x00, 0x00, 0x00, 0x00}, /* - */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x30, 0x00}, /* . */
    {0x04, 0x04, 0x08, 0x10, 0x20, 0x40, 0x40, 0x00}, /* / */
    {0x38, 0x44, 0x4C, 0x54, 0x64, 0x44, 0x38, 0x00}, /* 0 */
    {0x10, 0x30, 0x10, 0x10, 0x10, 0x10, 0x38, 0x00}, /* 1 */
    {0x38, 0x44, 0x04, 0x18, 0x20, 0x40, 0x7C, 0x00}, /* 2 */
    {0x7C, 0x08, 0x10, 0x08, 0x04, 0x44, 0x38, 0x00}, /* 3 */
    {0x08, 0x18, 0x28, 0x48, 0x7C, 0x08, 0x08, 0x00}, /* 4 */
    {0x7C, 0x40, 0x78, 0x04, 0x04, 0x44, 0x38, 0x00}, /* 5 */
    {0x18, 0x20, 0x40, 0x78, 0x44, 0x44, 0x38, 0x00}, /* 6 */
    {0x7C, 0x04, 0x08, 0x10, 0x20, 0x20, 0x20, 0x00}, /* 7 */
    {0x38, 0x44, 0x44, 0x38, 0x44, 0x44, 0x38, 0x00}, /* 8 */
    {0x38, 0x44, 0x44, 0x3C, 0x04, 0x08, 0x30, 0x00}, /* 9 */
    {0x00, 0x30, 0x30, 0x00, 0x30, 0x30, 0x00, 0x00}, /* : */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* ; */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* < */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* = */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* > */
    {0x38, 0x44, 0x04, 0x18, 0x10, 0x00, 0x10, 0x00}, /* ? */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* @ */
    {0x38, 0x44, 0x44, 0x7C, 0x44, 0x44, 0x44, 0x00}, /* A */
    {0x78, 0x44, 0x44, 0x78, 0x44, 0x44, 0x78, 0x00}, /* B */
    {0x38, 0x44, 0x40, 0x40, 0x40, 0x44, 0x38, 0x00}, /* C */
    {0x70, 0x48, 0x44, 0x44, 0x44, 0x48, 0x70, 0x00}, /* D */
    {0x7C, 0x40, 0x40, 0x78, 0x40, 0x40, 0x7C, 0x00}, /* E */
    {0x7C, 0x40, 0x40, 0x78, 0x40, 0x40, 0x40, 0x00}, /* F */
    {0x38, 0x44, 0x40, 0x5C, 0x44, 0x44, 0x3C, 0x00}, /* G */
    {0x44, 0x44, 0x44, 0x7C, 0x44, 0x44, 0x44, 0x00}, /* H */
    {0x38, 0x10, 0x10, 0x10, 0x10, 0x10, 0x38, 0x00}, /* I */
    {0x1C, 0x08, 0x08, 0x08, 0x08, 0x48, 0x30, 0x00}, /* J */
    {0x44, 0x48, 0x50, 0x60, 0x50, 0x48, 0x44, 0x00}, /* K */
    {0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x7C, 0x00}, /* L */
    {0x44, 0x6C, 0x54, 0x54, 0x44, 0x44, 0x44, 0x00}, /* M */
    {0x44, 0x44, 0x64, 0x54, 0x4C, 0x44, 0x44, 0x00}, /* N */
    {0x38, 0x44, 0x44, 0x44, 0x44, 0x44, 0x38, 0x00}, /* O */
    {0x78, 0x44, 0x44, 0x78, 0x40, 0x40, 0x40, 0x00}, /* P */
    {0x38, 0x44, 0x44, 0x44, 0x54, 0x48, 0x34, 0x00}, /* Q */
    {0x78, 0x44, 0x44, 0x78, 0x50, 0x48, 0x44, 0x00}, /* R */
    {0x3C, 0x40, 0x40, 0x38, 0x04, 0x04, 0x78, 0x00}, /* S */
    {0x7C, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x00}, /* T */
    {0x44, 0x44, 0x44, 0x44, 0x44, 0x44, 0x38, 0x00}, /* U */
    {0x44, 0x44, 0x44, 0x44, 0x44, 0x28, 0x10, 0x00}, /* V */
    {0x44, 0x44, 0x44, 0x54, 0x54, 0x54, 0x28, 0x00}, /* W */
    {0x44, 0x44, 0x28, 0x10, 0x28, 0x44, 0x44, 0x00}, /* X */
    {0x44, 0x44, 0x28, 0x10, 0x10, 0x10, 0x10, 0x00}, /* Y */
    {0x7C, 0x04, 0x08, 0x10, 0x20, 0x40, 0x7C, 0x00}, /* Z */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* [ */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* \ */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* ] */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* ^ */
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, /* _ */

};

/* Sprites in pixel art: each character is one pixel's palette index
 * ('.' is 0, transparent). The chick faces right; facing left is the same
 * tiles flipped. */
/* clang-format off */
static const char ChickArt[16][17] = {
    "................",
    ".....11111......",
    "...112222211....",
    "..12222222221...",
    "..12222223321...",
    ".1222222234321..",
    ".1222222234321..",
    ".12662222233215.",
    ".16666222222155.",
    ".12666222222215.",
    "..12662222221...",
    "...122222221....",
    "....1111111.....",
    ".....5...5......",
    "....55..55......",
    "................",
};

/* A star with a highlight and a sparkle on one side, so that each flip
 * shows. */
static const char StarArt[16][17] = {
    "................",
    ".......1.....3..",
    ".......1....343.",
    "......131....3..",
    "......121.......",
    "......121.......",
    ".1111132211111..",
    "..13322222221...",
    "...122222221....",
    "....1222221.....",
    "....1222221.....",
    "....1211121.....",
    "....11...11.....",
    "...11.....11....",
    "................",
    "................",
};
/* clang-format on */

/* A quarter of a sine wave in 8.8 fixed point, 64 steps to the quarter
 * turn; the other three quarters are mirrors of it. */
static const uint16_t QuarterSine[65] = {
    0,   6,   13,  19,  25,  31,  38,  44,  50,  56,  62,  68,  74,  80,  86,  92,  98,  104, 109, 115, 121, 126,
    132, 137, 142, 147, 152, 157, 162, 167, 172, 177, 181, 185, 190, 194, 198, 202, 206, 209, 213, 216, 220, 223,
    226, 229, 231, 234, 237, 239, 241, 243, 245, 247, 248, 250, 251, 252, 253, 254, 255, 255, 256, 256, 256,
};

int32_t Sine(uint32_t angle) {
    const uint32_t step = angle & 63;
    switch ((angle >> 6) & 3) {
    case 0: return QuarterSine[step];
    case 1: return QuarterSine[64 - step];
    case 2: return -(int32_t)QuarterSine[step];
    default: return -(int32_t)QuarterSine[64 - step];
    }
}

/* --- Palettes ---------------------------------------------------------------
 * Background colour 0 is the backdrop, seen wherever no layer has a pixel.
 * Each 16-colour bank has its own colour 0, which is transparent. */
static void LoadPalettes(void) {
    BG_PALETTE[0] = RGB(2, 3, 10); /* backdrop: night blue */
    /* Text banks: 1 the letter, 2 its shadow. */
    BG_PALETTE[16 * TEXT_WHITE + 1] = RGB(31, 31, 31);
    BG_PALETTE[16 * TEXT_WHITE + 2] = RGB(2, 2, 8);
    BG_PALETTE[16 * TEXT_YELLOW + 1] = RGB(31, 27, 6);
    BG_PALETTE[16 * TEXT_YELLOW + 2] = RGB(8, 4, 0);
    BG_PALETTE[16 * TEXT_CYAN + 1] = RGB(12, 28, 31);
    BG_PALETTE[16 * TEXT_CYAN + 2] = RGB(0, 4, 8);
    /* Bank 1: clouds, white with grey-blue undersides. */
    BG_PALETTE[16 + 1] = RGB(30, 30, 31);
    BG_PALETTE[16 + 2] = RGB(20, 22, 28);
    /* The sky's 256-colour tiles use colours 64-67. */
    BG_PALETTE[64] = RGB(4, 6, 18);
    BG_PALETTE[65] = RGB(7, 10, 24);
    BG_PALETTE[66] = RGB(28, 28, 20);
    BG_PALETTE[67] = RGB(10, 14, 27);

    static const uint16_t Chick[7] = {
        0, RGB(10, 5, 2), RGB(31, 24, 4), RGB(31, 31, 31), RGB(0, 0, 0), RGB(31, 12, 2), RGB(31, 31, 16)};
    static const uint16_t Star[5] = {0, RGB(31, 14, 0), RGB(31, 29, 4), RGB(31, 31, 31), RGB(31, 31, 20)};
    for (uint32_t i = 1; i < 7; ++i) OBJ_PALETTE[16 * BANK_CHICK + i] = Chick[i];
    for (uint32_t i = 1; i < 5; ++i) OBJ_PALETTE[16 * BANK_STAR + i] = Star[i];
    /* Title letters: a gradient from top (1) to bottom (7); their shadows
     * use the same tiles with every colour dark. */
    for (uint32_t i = 1; i < 8; ++i) {
        OBJ_PALETTE[16 * BANK_LETTERS + i] = RGB(31, 31 - 3 * i, 4 + 2 * i);
        OBJ_PALETTE[16 * BANK_SHADOW + i] = RGB(1, 1, 5);
    }
}

/* --- Tiles ------------------------------------------------------------------
 * A 16-colour tile is 8 rows of 4 bytes, two pixels a byte with the left
 * pixel in the low nibble, written here as two halfwords a row. */
static void WriteTileRow16(volatile uint16_t* tile, uint32_t row, const uint8_t pixels[8]) {
    tile[2 * row] = (uint16_t)(pixels[0] | pixels[1] << 4 | pixels[2] << 8 | pixels[3] << 12);
    tile[2 * row + 1] = (uint16_t)(pixels[4] | pixels[5] << 4 | pixels[6] << 8 | pixels[7] << 12);
}

/* Font tiles: colour 1 for the letter, 2 for a shadow one pixel down and
 * to the right, which keeps the text readable over any background. */
static void LoadFont(void) {
    for (uint32_t glyph = 0; glyph < 64; ++glyph) {
        volatile uint16_t* tile = VRAM + 16 * glyph;
        for (uint32_t row = 0; row < 8; ++row) {
            const uint32_t ink = Font[glyph][row];
            const uint32_t shadow = row > 0 ? (uint32_t)(Font[glyph][row - 1] >> 1) & ~ink : 0;
            uint8_t pixels[8];
            for (uint32_t x = 0; x < 8; ++x) {
                const uint32_t bit = 0x80u >> x;
                pixels[x] = (ink & bit) ? 1 : (shadow & bit) ? 2 : 0;
            }
            WriteTileRow16(tile, row, pixels);
        }
    }
}

/* A cloud of 4 x 2 tiles (32 x 16 pixels), tiles 64-71: the union of three
 * round puffs with a flat base, shaded on its lower part. */
#define TILE_CLOUD 64

static uint32_t CloudPixel(int32_t x, int32_t y) {
    static const int8_t Puffs[3][3] = {{9, 10, 7}, {17, 7, 7}, {24, 10, 6}}; /* x, y, radius */
    if (y > 14) return 0;
    for (uint32_t i = 0; i < 3; ++i) {
        const int32_t dx = x - Puffs[i][0], dy = y - Puffs[i][1], r = Puffs[i][2];
        if (dx * dx + dy * dy <= r * r) return y >= 11 ? 2 : 1;
    }
    return 0;
}

static void LoadClouds(void) {
    for (uint32_t t = 0; t < 8; ++t) {
        volatile uint16_t* tile = VRAM + 16 * (TILE_CLOUD + t);
        for (uint32_t row = 0; row < 8; ++row) {
            uint8_t pixels[8];
            for (uint32_t x = 0; x < 8; ++x) pixels[x] = (uint8_t)CloudPixel(8 * (t % 4) + x, 8 * (t / 4) + row);
            WriteTileRow16(tile, row, pixels);
        }
    }
    /* BG1's 32 x 32 map: clouds scattered over it; the rest stays tile 0,
     * the font's blank space. */
    static const uint8_t Places[6][2] = {{2, 5}, {12, 3}, {22, 7}, {6, 12}, {18, 14}, {27, 17}};
    volatile uint16_t* map = VRAM + 1024 * CLOUD_SCREEN_BLOCK;
    for (uint32_t i = 0; i < 32 * 32; ++i) map[i] = 0;
    for (uint32_t c = 0; c < 6; ++c)
        for (uint32_t t = 0; t < 8; ++t)
            map[32 * (Places[c][1] + t / 4) + Places[c][0] + t % 4] = (uint16_t)((TILE_CLOUD + t) | 1 << 12);
}

/* The sky for the rotating background: 256-colour tiles (one byte a pixel)
 * in character block 1. Tile 0 dark, tile 1 lighter, tile 2 dark with a
 * small star, tile 3 dark with a faint ring. */
static uint32_t SkyPixel(uint32_t tile, uint32_t x, uint32_t y) {
    switch (tile) {
    case 1: return 65;
    case 2: return ((x == 3 && y >= 2 && y <= 4) || (y == 3 && x >= 2 && x <= 4)) ? 66 : 64;
    case 3: {
        const int32_t dx = (int32_t)(2 * x) - 7, dy = (int32_t)(2 * y) - 7, d = dx * dx + dy * dy;
        return (d >= 20 && d <= 36) ? 67 : 64;
    }
    default: return 64;
    }
}

static void LoadSky(void) {
    volatile uint16_t* tiles = VRAM + 8192 * SKY_CHAR_BLOCK;
    for (uint32_t t = 0; t < 4; ++t)
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t x = 0; x < 8; x += 2)
                tiles[32 * t + 4 * y + x / 2] = (uint16_t)(SkyPixel(t, x, y) | SkyPixel(t, x + 1, y) << 8);

    /* A 16 x 16 map of one byte per tile: a checkerboard of 16-pixel
     * squares with a few stars and rings on the dark squares. Written two
     * entries at a time. */
    volatile uint16_t* map = VRAM + 1024 * SKY_SCREEN_BLOCK;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; x += 2) {
            uint32_t entries[2];
            for (uint32_t k = 0; k < 2; ++k) {
                const uint32_t column = x + k;
                const uint32_t light = ((column / 2) + (y / 2)) & 1;
                uint32_t tile = light;
                if (!light && ((column * 7 + y * 5) % 11) == 0) tile = 2;
                if (!light && column % 4 == 1 && y % 4 == 3) tile = 3;
                entries[k] = tile;
            }
            map[(16 * y + x) / 2] = (uint16_t)(entries[0] | entries[1] << 8);
        }
}

/* Sprite tiles: a 16 x 16 sprite is four tiles in the order top left, top
 * right, bottom left, bottom right (one-dimensional mapping). */
static void LoadArt16(uint32_t firstTile, const char art[16][17]) {
    for (uint32_t t = 0; t < 4; ++t) {
        volatile uint16_t* tile = OBJ_VRAM + 16 * (firstTile + t);
        for (uint32_t row = 0; row < 8; ++row) {
            uint8_t pixels[8];
            for (uint32_t x = 0; x < 8; ++x) {
                const char c = art[8 * (t / 2) + row][8 * (t % 2) + x];
                pixels[x] = c == '.' ? 0 : (uint8_t)(c - '0');
            }
            WriteTileRow16(tile, row, pixels);
        }
    }
}

/* The title's letters: a font letter blown up four times into a 32 x 32
 * sprite of 16 tiles, coloured by height for a gradient. */
static void LoadBigLetter(uint32_t firstTile, char letter) {
    const uint8_t* glyph = Font[letter - 0x20];
    for (uint32_t t = 0; t < 16; ++t) {
        volatile uint16_t* tile = OBJ_VRAM + 16 * (firstTile + t);
        for (uint32_t row = 0; row < 8; ++row) {
            const uint32_t y = 8 * (t / 4) + row;
            uint8_t pixels[8];
            for (uint32_t x = 0; x < 8; ++x) {
                const uint32_t px = 8 * (t % 4) + x;
                /* The 5 x 7 letter sits in columns 1-5 of its cell: 4 x (1..5)
                 * is 4..23, moved right by 2 to centre it; rows 0-6 become
                 * 2..29. */
                const uint32_t gx = (px - 2) / 4, gy = (y - 2) / 4;
                const int on = px >= 6 && px < 26 && y >= 2 && y < 30 && (glyph[gy] & (0x80u >> gx));
                pixels[x] = on ? (uint8_t)(1 + gy) : 0;
            }
            WriteTileRow16(tile, row, pixels);
        }
    }
}

void LoadGraphics(void) {
    LoadPalettes();
    LoadFont();
    LoadClouds();
    LoadSky();
    LoadArt16(TILE_CHICK, ChickArt);
    LoadArt16(TILE_STAR, StarArt);
    static const char Title[4] = {'K', 'O', 'R', 'U'};
    for (uint32_t i = 0; i < 4; ++i) LoadBigLetter(TILE_LETTERS + 16 * i, Title[i]);
    ClearText();
}

/* --- Text -------------------------------------------------------------------
 * A text map entry is the tile number with the palette bank in bits 12-15. */
void ClearText(void) {
    volatile uint32_t* map = (volatile uint32_t*)(VRAM + 1024 * TEXT_SCREEN_BLOCK);
    for (uint32_t i = 0; i < 32 * 32 / 2; ++i) map[i] = 0;
}

void PrintText(uint32_t column, uint32_t row, uint32_t bank, const char* text) {
    volatile uint16_t* map = VRAM + 1024 * TEXT_SCREEN_BLOCK + 32 * row + column;
    for (; *text; ++text, ++map) {
        const uint32_t c = (uint8_t)*text;
        *map = (uint16_t)((c >= 0x20 && c < 0x60 ? c - 0x20 : 0) | bank << 12);
    }
}

void PrintNumber(uint32_t column, uint32_t row, uint32_t bank, uint32_t value, uint32_t digits) {
    char text[8];
    if (digits > 7) digits = 7;
    text[digits] = 0;
    for (uint32_t i = digits; i-- > 0; value /= 10) text[i] = (char)('0' + value % 10);
    PrintText(column, row, bank, text);
}

/* --- Sprites ----------------------------------------------------------------*/
static uint16_t ShadowOam[128 * 4] __attribute__((aligned(4)));

void SetSprite(uint32_t n, uint16_t attr0, uint16_t attr1, uint16_t attr2) {
    ShadowOam[4 * n] = attr0;
    ShadowOam[4 * n + 1] = attr1;
    ShadowOam[4 * n + 2] = attr2;
}

void SetSpriteMatrix(uint32_t matrix, int16_t pa, int16_t pb, int16_t pc, int16_t pd) {
    ShadowOam[16 * matrix + 3] = (uint16_t)pa;
    ShadowOam[16 * matrix + 7] = (uint16_t)pb;
    ShadowOam[16 * matrix + 11] = (uint16_t)pc;
    ShadowOam[16 * matrix + 15] = (uint16_t)pd;
}

void HideSprites(void) {
    for (uint32_t n = 0; n < 128; ++n) SetSprite(n, OBJ_HIDDEN, 0, 0);
}

/* DMA channel 3 copies the 1 KB of sprite attributes as 256 words; the
 * CPU stands still until it is done. */
void CopySpritesToOam(void) {
    DMA3SAD = (uint32_t)ShadowOam;
    DMA3DAD = 0x07000000;
    DMA3CNT = DMA_ENABLE_32BIT_NOW | 256;
}
