/* Registers and small drawing helpers shared by the picture test
 * cartridges. Every store to the hardware goes through a volatile pointer,
 * which also keeps the compiler from turning fill loops into library calls
 * these freestanding programs do not have. */
#ifndef KORU_CARTRIDGE_VIDEO_H
#define KORU_CARTRIDGE_VIDEO_H

#include "../system/system.h"

#define DISPCNT REG16(0x000)
#define BGCNT(n) REG16(0x008 + 2 * (n))
#define BGHOFS(n) REG16(0x010 + 4 * (n))
#define BGVOFS(n) REG16(0x012 + 4 * (n))
#define BGPA(n) REG16(0x020 + 0x10 * ((n)-2))
#define BGPB(n) REG16(0x022 + 0x10 * ((n)-2))
#define BGPC(n) REG16(0x024 + 0x10 * ((n)-2))
#define BGPD(n) REG16(0x026 + 0x10 * ((n)-2))
#define BGX(n) REG32(0x028 + 0x10 * ((n)-2))
#define BGY(n) REG32(0x02C + 0x10 * ((n)-2))
#define WIN0H REG16(0x040)
#define WIN1H REG16(0x042)
#define WIN0V REG16(0x044)
#define WIN1V REG16(0x046)
#define WININ REG16(0x048)
#define WINOUT REG16(0x04A)
#define MOSAIC REG16(0x04C)
#define BLDCNT REG16(0x050)
#define BLDALPHA REG16(0x052)
#define BLDY REG16(0x054)

#define PALETTE ((volatile uint16_t*)0x05000000)
#define SPRITE_PALETTE ((volatile uint16_t*)0x05000200)
#define VRAM16 ((volatile uint16_t*)0x06000000)
#define OAM16 ((volatile uint16_t*)0x07000000)

#define RGB(r, g, b) ((uint16_t)((r) | (g) << 5 | (b) << 10))

/* The letter F in an 8 x 8 tile: one glance shows any flip or rotation. */
static const uint8_t LetterF[8] = {0xFE, 0xC0, 0xC0, 0xFC, 0xC0, 0xC0, 0xC0, 0x00};

/* Byte offsets into VRAM of tile t at a character base. */
static inline uint32_t Tile16Offset(uint32_t base, uint32_t t) { return base + 32 * t; }
static inline uint32_t Tile256Offset(uint32_t base, uint32_t t) { return base + 64 * t; }

/* 16-colour tile: pixels set in the 8 x 8 bit pattern get index on, the
 * others index off. VRAM takes 16-bit stores. */
static inline void PatternTile16(uint32_t offset, const uint8_t* pattern, uint32_t on, uint32_t off) {
    for (uint32_t row = 0; row < 8; ++row)
        for (uint32_t half = 0; half < 2; ++half) {
            uint16_t value = 0;
            for (uint32_t k = 0; k < 4; ++k) {
                const uint32_t x = 4 * half + k;
                value |= (uint16_t)(((pattern[row] >> (7 - x)) & 1 ? on : off) << (4 * k));
            }
            VRAM16[(offset + row * 4 + 2 * half) / 2] = value;
        }
}

/* 256-colour tile with the same kind of pattern. */
static inline void PatternTile256(uint32_t offset, const uint8_t* pattern, uint32_t on, uint32_t off) {
    for (uint32_t row = 0; row < 8; ++row)
        for (uint32_t x = 0; x < 8; x += 2) {
            const uint32_t left = (pattern[row] >> (7 - x)) & 1 ? on : off;
            const uint32_t right = (pattern[row] >> (6 - x)) & 1 ? on : off;
            VRAM16[(offset + row * 8 + x) / 2] = (uint16_t)(left | right << 8);
        }
}

/* 16-colour tile of one colour index. */
static inline void FillTile16(uint32_t offset, uint32_t index) {
    for (uint32_t i = 0; i < 16; ++i) VRAM16[offset / 2 + i] = (uint16_t)(index * 0x1111);
}

static inline void SetSprite(uint32_t n, uint16_t attr0, uint16_t attr1, uint16_t attr2) {
    OAM16[4 * n] = attr0;
    OAM16[4 * n + 1] = attr1;
    OAM16[4 * n + 2] = attr2;
}

static inline void SetSpriteAffine(uint32_t group, int16_t pa, int16_t pb, int16_t pc, int16_t pd) {
    OAM16[16 * group + 3] = (uint16_t)pa;
    OAM16[16 * group + 7] = (uint16_t)pb;
    OAM16[16 * group + 11] = (uint16_t)pc;
    OAM16[16 * group + 15] = (uint16_t)pd;
}

/* Every sprite off screen (below the last line). */
static inline void HideSprites(void) {
    for (uint32_t n = 0; n < 128; ++n) SetSprite(n, 160, 0, 0);
}

static inline void WaitForLine(uint32_t line) {
    while (VCOUNT != line) {
    }
}

/* Rotation by angle steps of 1/16 turn, from a small table of sines in 8.8
 * fixed point (no floating point or library in these programs). */
static const int16_t Sine16[16] = {0, 98, 181, 237, 256, 237, 181, 98, 0, -98, -181, -237, -256, -237, -181, -98};

#endif
