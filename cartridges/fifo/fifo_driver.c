/* A sound driver of the kind games carry, streaming a 440 Hz sine on FIFO A
 * and a 660 Hz sine on FIFO B for three emulated minutes:
 *
 *  - A software mixer in the main loop writes, after each vertical blank,
 *    the next frame's samples into the buffer half that is not playing.
 *  - FIFO A (timer 0, DMA 1) plays a double buffer of two one-frame halves.
 *    The vertical-blank handler swaps them: DMA 1 off, FIFO A reset through
 *    SOUNDCNT_H bit 11, the source pointed at the half just mixed, DMA 1 on.
 *  - FIFO B (timer 1, DMA 2) plays one buffer two frames long, whose halves
 *    the mixer fills alternately. Every second vertical blank the handler
 *    switches DMA 2 off and on again without touching its source, and
 *    resets FIFO B through bit 15: the channel starts again from the
 *    address it was programmed with.
 *  - The rates games use, each a whole number of samples per 280896-cycle
 *    frame: 10512 Hz (176 a frame), 13379 (224), 18157 (304), 21024 (352)
 *    and 31536 (528), 2150 frames (36 s) each. The rate changes by writing
 *    the running timers' reload values, which take effect at their next
 *    overflow.
 *
 * Both sines keep their phase from sample to sample across every buffer
 * and rate, so the recording is two steady tones unless the emulator drops,
 * repeats or misplaces samples. When all rates have played, 0x600DC0DE is
 * stored at 0x03000000. */

#include "../system/system.h"

/* Enabled, "Special" (sound FIFO) timing, 32-bit, repeat, fixed destination. */
#define FIFO_DMA 0xB640
/* A at 100 % on the left from timer 0, B at 100 % on the right from timer
 * 1, the tone channels at 100 %. */
#define SAMPLE_CONTROL 0x520E
#define RESET_A 0x0800
#define RESET_B 0x8000

#define MAX_SAMPLES 528 /* per frame, at the highest rate */
#define FRAMES_PER_RATE 2150

static const uint32_t SamplesPerFrame[] = {176, 224, 304, 352, 528};
#define RATES (sizeof SamplesPerFrame / sizeof *SamplesPerFrame)
#define FRAME_CYCLES 280896u

extern const int8_t Sine[256]; /* fifo_sine.s, made by koru_fifo_sine */

static int8_t BufferA[2][MAX_SAMPLES] __attribute__((aligned(4)));
static int8_t BufferB[2 * MAX_SAMPLES] __attribute__((aligned(4)));

static volatile uint32_t Frame;     /* vertical blanks since the start */
static volatile uint32_t PlayingA;  /* the half of BufferA on FIFO A */
static uint32_t Samples;            /* per frame at the current rate */
static uint16_t Reload;             /* the timers' reload value for that rate */
static uint32_t PhaseA, PhaseB, StepA, StepB;

/* The sine's phase step per sample: frequency x 2^32 / rate, with the rate
 * 16777216 x samples / 280896. */
static uint32_t PhaseStep(uint32_t frequency, uint32_t samples) {
    return (uint32_t)(((uint64_t)frequency * FRAME_CYCLES << 32) / (16777216ull * samples));
}

static void Mix(int8_t* out, uint32_t* phase, uint32_t step) {
    for (uint32_t i = 0; i < Samples; ++i) {
        out[i] = Sine[*phase >> 24];
        *phase += step;
    }
}

static void SetRate(uint32_t rate) {
    Samples = SamplesPerFrame[rate];
    Reload = (uint16_t)(0x10000 - FRAME_CYCLES / Samples);
    TMCNT_L(0) = Reload;
    TMCNT_L(1) = Reload;
    StepA = PhaseStep(440, Samples);
    StepB = PhaseStep(660, Samples);
}

/* Called through the BIOS's interrupt vector in IRQ mode. */
static void VBlankHandler(void) {
    IF = 1;
    BIOS_IRQ_CHECK |= 1;
    const uint32_t next = PlayingA ^ 1;
    DMACNT_H(1) = 0;
    SOUNDCNT_H = SAMPLE_CONTROL | RESET_A;
    DMASAD(1) = (uint32_t)BufferA[next];
    DMACNT_H(1) = FIFO_DMA;
    PlayingA = next;
    if (Frame & 1) {
        DMACNT_H(2) = 0;
        SOUNDCNT_H = SAMPLE_CONTROL | RESET_B;
        DMACNT_H(2) = FIFO_DMA;
    }
    ++Frame;
}

int main(void) {
    SOUNDCNT_X = 0x0080;
    SOUNDCNT_L = 0;
    SOUNDCNT_H = SAMPLE_CONTROL | RESET_A | RESET_B;

    SetRate(0);
    Mix(BufferA[0], &PhaseA, StepA);
    Mix(BufferB, &PhaseB, StepB);
    StartDma(1, BufferA[0], &REG32(0x0A0), 0, FIFO_DMA); /* into FIFO A */
    StartDma(2, BufferB, &REG32(0x0A4), 0, FIFO_DMA);    /* into FIFO B */
    /* A word store sets the reload value and starts the timer at once. */
    REG32(0x104) = 0x00800000u | Reload;
    REG32(0x100) = 0x00800000u | Reload;

    BIOS_IRQ_VECTOR = (uint32_t)VBlankHandler;
    DISPSTAT = 0x0008;
    IE = 1;
    IME = 1;
    CpuIrqEnable();

    for (uint32_t rate = 0; rate < RATES; ++rate) {
        for (uint32_t frame = 0; frame < FRAMES_PER_RATE; ++frame) {
            /* The halves that play from the next vertical blank on. */
            Mix(BufferA[PlayingA ^ 1], &PhaseA, StepA);
            Mix(BufferB + ((Frame & 1) ? 0 : Samples), &PhaseB, StepB);
            VBlankIntrWait();
        }
        if (rate + 1 < RATES) SetRate(rate + 1);
    }
    SOUNDCNT_H = 0;
    *(volatile uint32_t*)0x03000000 = 0x600DC0DE;
    for (;;) {
        VBlankIntrWait();
    }
}
