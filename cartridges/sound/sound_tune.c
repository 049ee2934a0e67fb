/* A short tune on the four programmable sound channels, one part after the
 * other with silence between them, for the sound tests to listen to (the
 * PCM synthesiser into a WAV file, and the MIDI log):
 *
 *   1. square channel 1 at x = 1792: 131072 / 256 = 512 Hz, 20 frames,
 *      stopped by an envelope write of volume 0;
 *   2. square channel 2 at x = 1899: 131072 / 149 = 879 Hz, from volume 15
 *      down one step a frame until it falls silent;
 *   3. the wave channel with a triangle pattern at x = 1888:
 *      65536 / 160 = 409 Hz, 20 frames;
 *   4. square channel 1 sweeping up (sweep time 7, shift 3) from x = 1536:
 *      256 Hz, then 1728 (409 Hz), 1944 (1260 Hz), then 2187 overflows and
 *      the channel stops;
 *   5. the noise channel at full volume for its 64-unit length (250 ms).
 *
 * When the tune has finished, 0x600DC0DE is stored at 0x03000000. */

#include "../system/system.h"

#define SOUND1CNT_L REG16(0x060)
#define SOUND1CNT_H REG16(0x062)
#define SOUND1CNT_X REG16(0x064)
#define SOUND2CNT_L REG16(0x068)
#define SOUND2CNT_H REG16(0x06C)
#define SOUND3CNT_L REG16(0x070)
#define SOUND3CNT_H REG16(0x072)
#define SOUND3CNT_X REG16(0x074)
#define SOUND4CNT_L REG16(0x078)
#define SOUND4CNT_H REG16(0x07C)
#define WAVE_RAM(n) REG16(0x090 + 2 * (n))

#define TRIGGER 0x8000
#define LENGTH_ENABLE 0x4000
#define DUTY_HALF 0x0080

/* Waits until the display has entered the vertical blank `count` times. */
static void WaitFrames(int count) {
    while (count-- > 0) {
        while (VCOUNT == 160) {
        }
        while (VCOUNT != 160) {
        }
    }
}

/* A triangle over the 32 four-bit samples: 0, 1 ... 15, 15, 14 ... 0,
 * high nibble first within each byte. */
static void LoadTriangle(void) {
    static const uint8_t bytes[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                      0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
    for (int i = 0; i < 8; ++i) WAVE_RAM(i) = (uint16_t)(bytes[2 * i] | bytes[2 * i + 1] << 8);
}

int main(void) {
    SOUNDCNT_X = 0x0080; /* master enable */
    SOUNDCNT_L = 0xFF77; /* both terminals at level 7, every channel on both */
    SOUNDCNT_H = 0x0002; /* the four channels at full strength */
    WaitFrames(2);

    /* 1: 512 Hz. */
    SOUND1CNT_L = 0x0008; /* no sweep */
    SOUND1CNT_H = 0xF000 | DUTY_HALF;
    SOUND1CNT_X = TRIGGER | 1792;
    WaitFrames(20);
    SOUND1CNT_H = 0x0000 | DUTY_HALF; /* volume 0 */
    WaitFrames(5);

    /* 2: 879 Hz, fading out. */
    SOUND2CNT_L = 0xF100 | DUTY_HALF; /* volume 15, decreasing, step 1 */
    SOUND2CNT_H = TRIGGER | 1899;
    WaitFrames(25);

    /* 3: 409 Hz from the wave channel. The pattern is written while the
     * channel is stopped and the other bank is selected for playing. */
    SOUND3CNT_L = 0x0040;
    LoadTriangle();
    SOUND3CNT_L = 0x0080;
    SOUND3CNT_H = 0x2000; /* full output level */
    SOUND3CNT_X = TRIGGER | 1888;
    WaitFrames(20);
    SOUND3CNT_L = 0x0000;
    WaitFrames(5);

    /* 4: the sweep up from 256 Hz. */
    SOUND1CNT_L = 0x0073;
    SOUND1CNT_H = 0xF000 | DUTY_HALF;
    SOUND1CNT_X = TRIGGER | 1536;
    WaitFrames(20);

    /* 5: noise for 250 ms. */
    SOUND4CNT_L = 0xF000; /* volume 15, length 64 units */
    SOUND4CNT_H = TRIGGER | LENGTH_ENABLE;
    WaitFrames(25);

    *(volatile uint32_t*)0x03000000 = 0x600DC0DE;
    for (;;) {
    }
}
