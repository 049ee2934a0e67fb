/* Timer overflow counts, cascades and overflow interrupts.
 *
 * In the emulator's model the timers advance at slice ends (two slices a
 * line, 960 and 272 cycles, 456 slices and 280896 cycles a frame) and a
 * timer ticks at most once per slice: with prescaler 1, 64 or 256 every
 * slice is one tick, 456 a frame, while a 1024-cycle timer ticks once per
 * 1024 cycles, 16 x 280896 / 1024 = 4389 times in 16 frames. A timer
 * started during a slice is charged that whole slice. A timer reloaded
 * with 0x10000 - n overflows on every n-th tick. */
#include "system.h"

static void StopTimers(void) {
    for (uint32_t timer = 0; timer < 4; ++timer) TMCNT_H(timer) = 0;
    IF = IRQ_TIMER(0) | IRQ_TIMER(1) | IRQ_TIMER(2) | IRQ_TIMER(3);
}

static void StartTimer(uint32_t timer, uint32_t ticks, uint32_t control) {
    TMCNT_L(timer) = (uint16_t)(0x10000 - ticks);
    TMCNT_H(timer) = (uint16_t)(TIMER_ENABLE | TIMER_IRQ | control);
}

static void FrameWindow(uint32_t frames, uint32_t counts[4]) {
    uint32_t before[4];
    for (uint32_t timer = 0; timer < 4; ++timer) before[timer] = IrqCount[3 + timer];
    for (uint32_t frame = 0; frame < frames; ++frame) VBlankIntrWait();
    for (uint32_t timer = 0; timer < 4; ++timer) counts[timer] = IrqCount[3 + timer] - before[timer];
}

static void Prescalers(void) {
    /* Each overflows on every tick; the window starts in the slice the
     * timers were started in and ends 16 x 456 slices later. */
    VBlankIntrWait();
    for (uint32_t timer = 0; timer < 4; ++timer) StartTimer(timer, 1, timer);
    uint32_t counts[4];
    FrameWindow(16, counts);
    StopTimers();

    CHECK(counts[0], 16 * 456);
    CHECK(counts[1], 16 * 456);
    CHECK(counts[2], 16 * 456);
    CHECK(counts[3], 4389);
}

static void Cascade(void) {
    /* Timer 0 overflows every 2 slices, 228 times a frame; timer 1 counts
     * those and overflows every 228, once a frame; timer 2 every second of
     * those; timer 3 on each of timer 2's. Timer 0 has nothing below it
     * and ignores its count-up bit. */
    VBlankIntrWait();
    StartTimer(3, 1, TIMER_COUNT_UP);
    StartTimer(2, 2, TIMER_COUNT_UP);
    StartTimer(1, 228, TIMER_COUNT_UP);
    StartTimer(0, 2, TIMER_COUNT_UP);
    uint32_t counts[4];
    FrameWindow(8, counts);
    const uint32_t line2 = IrqLine[5], line3 = IrqLine[6];
    StopTimers();

    CHECK(counts[0], 8 * 228);
    CHECK(counts[1], 8);
    CHECK(counts[2], 4);
    CHECK(counts[3], 4);
    /* Timer 3 overflows in the very tick in which timer 2 does. */
    CHECK(line3, line2);
}

static void OverflowLines(void) {
    /* Started in line 160's drawing slice: prescaler 1, 3 ticks: the ends
     * of 160 (drawing), 160 (blank), 161 (drawing), so line 161's blank. */
    VBlankIntrWait();
    StartTimer(1, 3, 0);
    IntrWait(1, IRQ_TIMER(1));
    const uint32_t line1 = VCOUNT, status1 = DISPSTAT;
    StopTimers();

    /* Prescaler 64, 10 ticks: the tenth slice end is the end of line
     * 164's blank, so the request comes with line 165's drawing. */
    VBlankIntrWait();
    StartTimer(2, 10, 1);
    IntrWait(1, IRQ_TIMER(2));
    const uint32_t line2 = VCOUNT, status2 = DISPSTAT;
    StopTimers();

    /* Prescaler 256, 5 ticks: the end of line 162's drawing. */
    VBlankIntrWait();
    StartTimer(3, 5, 2);
    IntrWait(1, IRQ_TIMER(3));
    const uint32_t line3 = VCOUNT, status3 = DISPSTAT;

    /* A stopped timer raises nothing more. */
    StopTimers();
    const uint32_t count4 = IrqCount[6];
    VBlankIntrWait();
    VBlankIntrWait();
    const uint32_t count5 = IrqCount[6];

    CHECK(line1, 161);
    CHECK(status1 & STAT_HBLANK, STAT_HBLANK);
    CHECK(line2, 165);
    CHECK(status2 & STAT_HBLANK, 0);
    CHECK(line3, 162);
    CHECK(status3 & STAT_HBLANK, STAT_HBLANK);
    CHECK(count5, count4);
}

int main(void) {
    DISPSTAT = STAT_VBLANK_IRQ;
    StartInterrupts(IRQ_VBLANK | IRQ_TIMER(0) | IRQ_TIMER(1) | IRQ_TIMER(2) | IRQ_TIMER(3));
    Prescalers();
    Cascade();
    OverflowLines();
    return 0;
}

CHECKS_END();
