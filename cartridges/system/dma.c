/* DMA's start timings, the largest count and the end interrupt: the
 * address modes, the element sizes, the cartridge source and the latch of
 * sources a channel cannot read are the mGBA suite's DMA tests and
 * nba-hw-test's dma/latch (tests/cartridges).
 *
 * A transfer runs whole at the moment it starts: at the control write
 * ("Immediate"), at the start of line 160 (VBlank), at the horizontal
 * blank of each drawn line 0-159 (HBlank) and, on channel 3 only, at the
 * start of each drawn line (Special). A repeating channel goes on from its
 * own copies of the addresses (a destination with control 3 starts again
 * at the programmed address on every repeat). Reading VCOUNT as a fixed
 * source logs the line each transfer ran in. */
#include "system.h"

static const uint16_t Table[8] = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555, 0x6666, 0x7777, 0x8888};
static volatile uint32_t Fill = 0xCAFEF00D;

#define SENTINEL 0xEEEE
static volatile uint16_t Buffer[16];
static volatile uint16_t LineLog[170];
static volatile uint16_t SpecialLog[170];
static volatile uint16_t Unused[2];

static void ClearBuffer(void) {
    for (uint32_t i = 0; i < 16; ++i) Buffer[i] = SENTINEL;
}

/* How many of the n halfwords differ from Table[first + step * i]. */
static uint32_t TableMismatches(uint32_t offset, uint32_t n, uint32_t first, int32_t step) {
    uint32_t wrong = 0;
    for (uint32_t i = 0; i < n; ++i)
        if (Buffer[offset + i] != Table[first + step * (int32_t)i]) ++wrong;
    return wrong;
}

/* How many entries of a line log differ from their index, over lines 0-159. */
static uint32_t LogMismatches(const volatile uint16_t* log) {
    uint32_t wrong = 0;
    for (uint32_t i = 0; i < 160; ++i)
        if (log[i] != i) ++wrong;
    return wrong;
}

static void CountZero(void) {
    /* A count of 0 is the largest transfer: 0x10000 halfwords (128 KB) on
     * channel 3, 0x4000 elements (here words, 64 KB) on channel 0. */
    volatile uint16_t* const ewram16 = (volatile uint16_t*)0x02000000;
    volatile uint32_t* const ewram32 = (volatile uint32_t*)0x02000000;
    ewram16[0xFFFF] = 0;
    ewram16[0x10000] = 0x5A5A;
    StartDma(3, &Fill, ewram16, 0, DMA_NOW | DMA_SRC_FIXED);
    CHECK(ewram16[0], 0xF00D);
    CHECK(ewram16[0xFFFF], 0xF00D);
    CHECK(ewram16[0x10000], 0x5A5A);

    ewram32[0xBFFF] = 0;
    ewram32[0xC000] = 0x5A5A5A5A;
    StartDma(0, &Fill, &ewram32[0x8000], 0, DMA_NOW | DMA_SRC_FIXED | DMA_32);
    CHECK(ewram32[0xBFFF], Fill);
    CHECK(ewram32[0xC000], 0x5A5A5A5A);
}

static void AtVblank(void) {
    /* Armed just after this frame's vertical blank began: nothing moves
     * until the next one. */
    ClearBuffer();
    VBlankIntrWait();
    StartDma(1, Table, Buffer, 4, DMA_AT_VBLANK);
    const uint32_t early = Buffer[0];
    VBlankIntrWait();
    CHECK(early, SENTINEL);
    CHECK(TableMismatches(0, 4, 0, 1), 0);
    CHECK(Buffer[4], SENTINEL);
    CHECK(DMACNT_H(1) & DMA_ENABLE, 0);

    /* Repeating, one element each time to one place: each vertical blank
     * brings the next entry, and the channel stays armed. */
    ClearBuffer();
    StartDma(2, Table, Buffer, 1, DMA_AT_VBLANK | DMA_REPEAT | DMA_DEST_FIXED);
    VBlankIntrWait();
    const uint32_t first = Buffer[0];
    VBlankIntrWait();
    const uint32_t second = Buffer[0];
    VBlankIntrWait();
    const uint32_t third = Buffer[0], control = DMACNT_H(2);
    /* Writing the control again while the channel is on changes nothing;
     * switching it off and on starts it from the programmed source again
     * (sound drivers restart their FIFO channels so every frame). */
    DMACNT_H(2) = DMA_ENABLE | DMA_AT_VBLANK | DMA_REPEAT | DMA_DEST_FIXED;
    VBlankIntrWait();
    const uint32_t fourth = Buffer[0];
    DMACNT_H(2) = 0;
    DMACNT_H(2) = DMA_ENABLE | DMA_AT_VBLANK | DMA_REPEAT | DMA_DEST_FIXED;
    VBlankIntrWait();
    const uint32_t restarted = Buffer[0];
    DMACNT_H(2) = 0;
    CHECK(first, 0x1111);
    CHECK(second, 0x2222);
    CHECK(third, 0x3333);
    CHECK(control & DMA_ENABLE, DMA_ENABLE);
    CHECK(fourth, 0x4444);
    CHECK(restarted, 0x1111);
    CHECK(Buffer[1], SENTINEL);
}

static void AtHblankAndSpecial(void) {
    /* From line 160 to the next line 160: channel 0 logs VCOUNT at every
     * horizontal blank of the drawn lines (none in the vertical blank);
     * channel 1 writes it twice per line to the same two halfwords
     * (destination control 3); channel 3 logs it at the start of each
     * drawn line. Channel 2 armed for "Special" never runs. */
    for (uint32_t i = 0; i < 170; ++i) LineLog[i] = SpecialLog[i] = SENTINEL;
    ClearBuffer();
    Unused[0] = SENTINEL;
    VBlankIntrWait();
    StartDma(0, &VCOUNT, LineLog, 1, DMA_AT_HBLANK | DMA_REPEAT | DMA_SRC_FIXED);
    StartDma(1, &VCOUNT, Buffer, 2, DMA_AT_HBLANK | DMA_REPEAT | DMA_SRC_FIXED | DMA_DEST_RELOAD);
    StartDma(2, &VCOUNT, Unused, 1, DMA_SPECIAL | DMA_REPEAT | DMA_SRC_FIXED);
    StartDma(3, &VCOUNT, SpecialLog, 1, DMA_SPECIAL | DMA_REPEAT | DMA_SRC_FIXED);
    VBlankIntrWait();
    for (uint32_t channel = 0; channel < 4; ++channel) DMACNT_H(channel) = 0;

    CHECK(LogMismatches(LineLog), 0);
    CHECK(LineLog[160], SENTINEL);
    CHECK(Buffer[0], 159);
    CHECK(Buffer[1], 159);
    CHECK(Buffer[2], SENTINEL);
    CHECK(LogMismatches(SpecialLog), 0);
    CHECK(SpecialLog[160], SENTINEL);
    CHECK(Unused[0], SENTINEL);
}

static void EndInterrupt(void) {
    /* The end-of-transfer request of channel 2: IF bit 10. */
    ClearBuffer();
    const uint32_t count0 = IrqCount[10];
    StartDma(2, Table, Buffer, 2, DMA_NOW | DMA_IRQ);
    IntrWait(0, IRQ_DMA(2));
    CHECK(IrqCount[10] - count0, 1);
    CHECK(Buffer[1], 0x2222);
}

int main(void) {
    DISPSTAT = STAT_VBLANK_IRQ;
    StartInterrupts(IRQ_VBLANK | IRQ_DMA(2));
    CountZero();
    AtVblank();
    AtHblankAndSpecial();
    EndInterrupt();
    return 0;
}

CHECKS_END();
