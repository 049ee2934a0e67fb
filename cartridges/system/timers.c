/* Timer counts, prescalers, cascades, overflow interrupts and the counter
 * registers, as the hardware has them.
 *
 * A running timer counts once every 1, 64, 256 or 1024 cycles (or, in
 * count-up mode, once per overflow of the timer below it), from its reload
 * value; passing 0xFFFF it starts again from the reload value and requests
 * its interrupt. A read of TMxCNT_L gives the count at the cycle of the
 * read. A frame is 280896 = 64 x 3 x 7 x 11 x 19 cycles, so a timer whose
 * overflow period divides a whole number of frames overflows exactly that
 * many times in that many frames, wherever its first overflow falls: the
 * windows below run from one return of VBlankIntrWait to another. The
 * control bits' read-back and the reload latch are png183's
 * timer_check_count_up_presence and nba-hw-test's timer/reload. */
#include "system.h"

#define PRESCALE_1 0
#define PRESCALE_64 1
#define PRESCALE_256 2
#define PRESCALE_1024 3

static void StopTimers(void) {
    for (uint32_t timer = 0; timer < 4; ++timer) TMCNT_H(timer) = 0;
    IF = IRQ_TIMER(0) | IRQ_TIMER(1) | IRQ_TIMER(2) | IRQ_TIMER(3);
}

static void StartTimer(uint32_t timer, uint32_t counts, uint32_t control) {
    TMCNT_L(timer) = (uint16_t)(0x10000 - counts);
    TMCNT_H(timer) = (uint16_t)(TIMER_ENABLE | control);
}

/* Interrupts per timer over `frames` frames. */
static void FrameWindow(uint32_t frames, uint32_t counts[4]) {
    uint32_t before[4];
    for (uint32_t timer = 0; timer < 4; ++timer) before[timer] = IrqCount[3 + timer];
    for (uint32_t frame = 0; frame < frames; ++frame) VBlankIntrWait();
    for (uint32_t timer = 0; timer < 4; ++timer) counts[timer] = IrqCount[3 + timer] - before[timer];
}

static void Prescalers(void) {
    /* Every prescaler: 64 x 16, 256 x 4 and 1024 x 1 make a 1024-cycle
     * period, 16 frames hold 16 x 280896 / 1024 = 4389 of them. Timer 0
     * counts 512 cycles: two or three overflows in many a 960-cycle slice,
     * each its own interrupt, 8778 in all. */
    VBlankIntrWait();
    StartTimer(0, 512, TIMER_IRQ | PRESCALE_1);
    StartTimer(1, 16, TIMER_IRQ | PRESCALE_64);
    StartTimer(2, 4, TIMER_IRQ | PRESCALE_256);
    StartTimer(3, 1, TIMER_IRQ | PRESCALE_1024);
    VBlankIntrWait();
    uint32_t counts[4];
    FrameWindow(16, counts);
    StopTimers();

    CHECK(counts[0], 8778);
    CHECK(counts[1], 4389);
    CHECK(counts[2], 4389);
    CHECK(counts[3], 4389);
}

static void Cascade(void) {
    /* Timer 0 overflows every 192 cycles; timer 1 counts those, 7 to an
     * overflow (1344 cycles); timer 2 counts 11 of timer 1's (14784);
     * timer 3 counts 19 of timer 2's, once a frame. In 8 frames: 1672,
     * 152 and 8 interrupts; and timer 3 overflows in the very cycle timer 2
     * and timer 1 do, so one handler run serves all three. */
    VBlankIntrWait();
    StartTimer(3, 19, TIMER_IRQ | TIMER_COUNT_UP);
    StartTimer(2, 11, TIMER_IRQ | TIMER_COUNT_UP);
    StartTimer(1, 7, TIMER_IRQ | TIMER_COUNT_UP);
    StartTimer(0, 192, PRESCALE_1);
    VBlankIntrWait();
    uint32_t counts[4];
    FrameWindow(8, counts);
    IntrWait(1, IRQ_TIMER(3));
    const uint32_t status1 = IrqStatus[4], status2 = IrqStatus[5], status3 = IrqStatus[6];
    const uint32_t line1 = IrqLine[4], line2 = IrqLine[5], line3 = IrqLine[6];
    StopTimers();

    CHECK(counts[0], 0);
    CHECK(counts[1], 1672);
    CHECK(counts[2], 152);
    CHECK(counts[3], 8);
    CHECK(line3 == line2 && line2 == line1, 1);
    CHECK(status3 == status2 && status2 == status1, 1);
}

/* Starts timer 0 and timer 1 with one two-word store, a cycle apart. */
static void StartPair(uint32_t control0, uint32_t control1) {
    register uint32_t word0 __asm__("r0") = control0 << 16;
    register uint32_t word1 __asm__("r1") = control1 << 16;
    register volatile uint32_t* registers __asm__("r2") = &REG32(0x100);
    __asm__ volatile("stmia %2, {%0, %1}" : : "r"(word0), "r"(word1), "r"(registers) : "memory");
}

static void Polling(void) {
    /* A program polling a counter sees it move with its own instructions:
     * timer 1 (every 256 cycles) is watched until it shows 4, and timer 0
     * (every cycle, started a cycle earlier) has then counted 1025 plus
     * the part of a polling round since timer 1's fourth count. Just after
     * the vertical blank's interrupt, no other one comes in between. */
    VBlankIntrWait();
    StartPair(TIMER_ENABLE | PRESCALE_1, TIMER_ENABLE | PRESCALE_256);
    while (TMCNT_L(1) < 4) {
    }
    const uint32_t fine = TMCNT_L(0);
    StopTimers();

    /* A stopped timer holds its count. */
    const uint32_t stopped1 = TMCNT_L(0);
    for (volatile uint32_t i = 0; i < 100; ++i) {
    }
    const uint32_t stopped2 = TMCNT_L(0);

    CHECK(fine >= 1025 && fine < 1025 + 256, 1);
    CHECK(stopped1, stopped2);
}

int main(void) {
    DISPSTAT = STAT_VBLANK_IRQ;
    StartInterrupts(IRQ_VBLANK | IRQ_TIMER(0) | IRQ_TIMER(1) | IRQ_TIMER(2) | IRQ_TIMER(3));
    Prescalers();
    Cascade();
    Polling();
    return 0;
}

CHECKS_END();
