/* Streams two known waveforms through the DMA sample channels, the way a
 * game's sound driver does: FIFO A, clocked by timer 0 and refilled by DMA 1,
 * plays a 440 Hz square; FIFO B, clocked by timer 1 and refilled by DMA 2, a
 * 1 kHz sine. Both channels at 100 % on both sides.
 *
 *   1. 300 frames (5 s) at 16384 Hz (timer reload 0xFC00);
 *   2. 300 frames at 31536 Hz (reload 0xFDEC, 532 cycles a sample).
 *
 * The samples lie in the cartridge one after the other (made at build time
 * by koru_fifo_waves), long enough for each part, and the DMAs simply run
 * through them, so any gap in the sound is the emulator's.
 *
 * When both parts have played, 0x600DC0DE is stored at 0x03000000. */

#include <stdint.h>

#define REG16(offset) (*(volatile uint16_t*)(0x04000000 + (offset)))
#define REG32(offset) (*(volatile uint32_t*)(0x04000000 + (offset)))

#define VCOUNT REG16(0x006)
#define SOUNDCNT_L REG16(0x080)
#define SOUNDCNT_H REG16(0x082)
#define SOUNDCNT_X REG16(0x084)
#define DMA1SAD REG32(0x0BC)
#define DMA1DAD REG32(0x0C0)
#define DMA1CNT_L REG16(0x0C4)
#define DMA1CNT_H REG16(0x0C6)
#define DMA2SAD REG32(0x0C8)
#define DMA2DAD REG32(0x0CC)
#define DMA2CNT_L REG16(0x0D0)
#define DMA2CNT_H REG16(0x0D2)
#define TM0CNT_L REG16(0x100)
#define TM0CNT_H REG16(0x102)
#define TM1CNT_L REG16(0x104)
#define TM1CNT_H REG16(0x106)

/* Enabled, "Special" (sound FIFO) timing, 32-bit, repeat, fixed destination. */
#define FIFO_DMA 0xB640
/* PSG, A and B at 100 %; A on both sides from timer 0, B on both sides from
 * timer 1; both FIFOs reset. */
#define SAMPLE_CONTROL 0xFB0E

extern const int8_t WaveA16[], WaveB16[], WaveA31[], WaveB31[];

static void WaitFrames(int count) {
    while (count-- > 0) {
        while (VCOUNT == 160) {
        }
        while (VCOUNT != 160) {
        }
    }
}

static void Stop(void) {
    TM0CNT_H = 0;
    TM1CNT_H = 0;
    DMA1CNT_H = 0;
    DMA2CNT_H = 0;
}

static void Play(const int8_t* a, const int8_t* b, uint16_t reload) {
    Stop();
    SOUNDCNT_H = SAMPLE_CONTROL;
    DMA1SAD = (uint32_t)a;
    DMA1DAD = 0x040000A0;
    DMA1CNT_L = 4;
    DMA1CNT_H = FIFO_DMA;
    DMA2SAD = (uint32_t)b;
    DMA2DAD = 0x040000A4;
    DMA2CNT_L = 4;
    DMA2CNT_H = FIFO_DMA;
    TM0CNT_L = reload;
    TM1CNT_L = reload;
    /* One word starts both timers at the same cycle. */
    REG32(0x104) = 0x00800000u | reload;
    REG32(0x100) = 0x00800000u | reload;
    WaitFrames(300);
}

int main(void) {
    SOUNDCNT_X = 0x0080;
    SOUNDCNT_L = 0xFF77;
    WaitFrames(2);
    Play(WaveA16, WaveB16, 0xFC00);
    Play(WaveA31, WaveB31, 0xFDEC);
    Stop();
    SOUNDCNT_H = 0;
    *(volatile uint32_t*)0x03000000 = 0x600DC0DE;
    for (;;) {
    }
}
