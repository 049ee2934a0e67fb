// The desktop program's smoke test cartridge. It writes "KORU SMOKE" to the
// start of the backup RAM (so the battery file is written when the game
// ends) and shows a still mode 3 picture of four quadrants: red top left,
// green top right, blue bottom left, white bottom right.

#include <stdint.h>

#define DISPCNT (*(volatile uint16_t*)0x04000000)

static const char Mark[] = "KORU SMOKE";

int main(void) {
    volatile uint8_t* sram = (volatile uint8_t*)0x0E000000;
    for (int i = 0; Mark[i]; ++i) sram[i] = (uint8_t)Mark[i];

    volatile uint16_t* vram = (volatile uint16_t*)0x06000000;
    for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 240; ++x) {
            uint16_t colour;
            if (y < 80)
                colour = x < 120 ? 0x001F : 0x03E0;
            else
                colour = x < 120 ? 0x7C00 : 0x7FFF;
            vram[y * 240 + x] = colour;
        }
    }
    DISPCNT = 0x0403;  // mode 3, BG2 on
    for (;;) {
    }
}
