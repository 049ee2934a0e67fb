/* The bitmap modes, one after the other down the screen, switched at fixed
 * lines while the frame is drawn:
 *
 *   lines 0-53    mode 3: a direct-colour gradient, red rising to the right,
 *                 green downwards, with a white line along the top and the
 *                 two sides.
 *   lines 54-106  mode 4, second frame: vertical stripes 30 pixels wide in
 *                 eight colours (black, red, green, yellow, blue, magenta,
 *                 cyan, white), darkened to half by the brightness effect.
 *   lines 107-159 mode 5, first frame: a 160 x 128 bitmap, a blue gradient
 *                 with a yellow frame along its sides and bottom, walked
 *                 through BG2's rotation-scaling parameters like the other
 *                 bitmaps, here enlarged: 0.75 bitmap pixels a screen
 *                 pixel across, 0.8 down, from bitmap (-10, 84) at line
 *                 107 (BG2Y written there takes effect at once): rows
 *                 84-125 show. Its 160 columns fill screen x 14-226; left
 *                 and right of them the black backdrop shows (bitmaps do
 *                 not wrap).
 *   sprite        a 32 x 32 sprite from tile 512 (bitmap-mode sprite tiles
 *                 start at 0x14000) at (200, 40), in front of all three:
 *                 white squares and green letters F.
 *
 * The three bitmaps share VRAM, but the rows each band shows do not
 * overlap: mode 3's rows 0-53 end at 0x6540, mode 5's rows 84-127 start at
 * 0x6900, and mode 4's second frame starts at 0xA000. */

#include "video.h"

static const uint8_t Solid[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

int main(void) {
    DISPCNT = 0x0080;
    PALETTE[0] = RGB(0, 0, 0);
    for (uint32_t i = 0; i < 8; ++i) PALETTE[16 + i] = RGB((i & 1) * 31, ((i >> 1) & 1) * 31, ((i >> 2) & 1) * 31);
    SPRITE_PALETTE[1] = RGB(31, 31, 31);
    SPRITE_PALETTE[2] = RGB(0, 31, 0);

    for (uint32_t y = 0; y < 54; ++y)
        for (uint32_t x = 0; x < 240; ++x) {
            const int edge = x == 0 || x == 239 || y == 0;
            VRAM16[y * 240 + x] = edge ? RGB(31, 31, 31) : RGB(x * 31 / 239, y * 31 / 53, 8);
        }
    for (uint32_t y = 84; y < 128; ++y)
        for (uint32_t x = 0; x < 160; ++x) {
            const int edge = x == 0 || x == 159 || y == 127;
            VRAM16[y * 160 + x] = edge ? RGB(31, 31, 0) : RGB(4, 4, y * 31 / 127);
        }
    for (uint32_t y = 0; y < 160; ++y)
        for (uint32_t x = 0; x < 240; x += 2) {
            const uint32_t index = 16 + (x / 30) % 8;
            VRAM16[(0xA000 + y * 240 + x) / 2] = (uint16_t)(index | index << 8);
        }
    /* Sprite tiles 512-527, one-dimensional 4 x 4. */
    for (uint32_t i = 0; i < 16; ++i) PatternTile16(0x14000 + 32 * i, i & 1 ? LetterF : Solid, 1 + (i & 1), 0);
    HideSprites();
    SetSprite(0, 40, 200 | 0x8000, 512);
    BLDY = 8;

    for (;;) {
        WaitForLine(160);
        DISPCNT = 0x0003 | 0x0040 | 0x0400 | 0x1000;
        BLDCNT = 0;
        BGPA(2) = 256;
        BGPD(2) = 256;
        BGX(2) = 0;
        BGY(2) = 0;
        WaitForLine(54);
        DISPCNT = 0x0004 | 0x0010 | 0x0040 | 0x0400 | 0x1000;
        BLDCNT = 0x0004 | 0x00C0;
        WaitForLine(107);
        DISPCNT = 0x0005 | 0x0040 | 0x0400 | 0x1000;
        BLDCNT = 0;
        BGPA(2) = 192;
        BGPD(2) = 205;
        BGX(2) = (uint32_t)(-10 * 256);
        BGY(2) = 84 * 256;
    }
}
