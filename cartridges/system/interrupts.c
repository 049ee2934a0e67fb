/* Waiting for interrupts: VBlankIntrWait and IntrWait through our handler,
 * HALTCNT, the line-match and horizontal-blank interrupts.
 *
 * A line is 1232 cycles, 960 of drawing and 272 of horizontal blank; the
 * status flags change at those boundaries, a timer's overflow at its own
 * cycle. Values are read into locals first and checked afterwards, because
 * a check takes longer than a horizontal blank. */
#include "system.h"

static void StopTimer0(void) {
    TMCNT_H(0) = 0;
    IF = IRQ_TIMER(0);
}

/* Starts timer 0 so that it overflows after `ticks` ticks of the given
 * prescaler (0-3), with its interrupt. */
static void StartTimer0(uint32_t ticks, uint32_t prescaler) {
    TMCNT_H(0) = 0;
    TMCNT_L(0) = (uint16_t)(0x10000 - ticks);
    TMCNT_H(0) = (uint16_t)(TIMER_ENABLE | TIMER_IRQ | prescaler);
}

/* VBlankIntrWait from ARM state, where the BIOS takes the function number
 * from bits 23-16 of the comment field. */
static void VBlankIntrWaitArm(void) {
    __asm__ volatile("swi 0x50000" ::: "r0", "r1", "r2", "r3", "r12", "lr", "memory");
}

static void TimerStormAndVBlankIntrWait(void) {
    /* Timer 0 at 19 ticks of 64 cycles overflows every 1216 cycles, 231
     * times a frame (280896 = 231 x 1216), and VBlankIntrWait must sleep
     * through all of those interrupts. The first window starts a few
     * cycles into the frame, after the timer's start: 230 of them. */
    VBlankIntrWait();
    StartTimer0(19, 1);
    const uint32_t timer0 = IrqCount[3], vblank0 = IrqCount[0];
    VBlankIntrWait();
    const uint32_t line1 = VCOUNT, timer1 = IrqCount[3], vblank1 = IrqCount[0];
    VBlankIntrWaitArm();
    const uint32_t line2 = VCOUNT;
    const uint32_t timer2 = IrqCount[3], vblank2 = IrqCount[0];
    StopTimer0();

    CHECK(line1, 160);
    CHECK(vblank1 - vblank0, 1);
    CHECK(timer1 - timer0, 230);
    CHECK(line2, 160);
    CHECK(vblank2 - vblank1, 1);
    CHECK(timer2 - timer1, 231);
}

static void IntrWaitForTimer(void) {
    /* A timer started early in line 160 with a period of four whole lines
     * (4928 cycles) interrupts at the same point of line 164's drawing. */
    VBlankIntrWait();
    StartTimer0(4 * 1232, 0);
    const uint32_t count0 = IrqCount[3];
    IntrWait(1, IRQ_TIMER(0));
    const uint32_t line1 = VCOUNT, status1 = DISPSTAT, count1 = IrqCount[3], irqLine1 = IrqLine[3];

    /* The flag is already in the check word: with R0 = 1 it is discarded
     * and the call sleeps until the next overflow, four lines on. */
    BIOS_IRQ_CHECK |= IRQ_TIMER(0);
    IntrWait(1, IRQ_TIMER(0));
    const uint32_t line2 = VCOUNT;

    /* With R0 = 0 a flag already there ends the wait at once (with the
     * timer stopped nothing else could end it), and the call takes it out
     * of the check word. The call itself may just cross a slice end. */
    StopTimer0();
    BIOS_IRQ_CHECK |= IRQ_TIMER(0);
    const uint32_t before3 = VCOUNT;
    IntrWait(0, IRQ_TIMER(0));
    const uint32_t line3 = VCOUNT, check3 = BIOS_IRQ_CHECK;

    CHECK(line1, 164);
    CHECK(status1 & STAT_HBLANK, 0);
    CHECK(irqLine1, 164);
    CHECK(count1 - count0, 1);
    CHECK(line2, 168);
    CHECK(line3 - before3 <= 1, 1);
    CHECK(check3 & IRQ_TIMER(0), 0);
}

static void HaltUntilInterrupt(void) {
    /* The horizontal-blank flag raises IF every line, but without its bit
     * in IE it must not wake the CPU: the halt lasts until line 160. */
    VBlankIntrWait();
    DISPSTAT = STAT_VBLANK_IRQ | STAT_HBLANK_IRQ;
    const uint32_t vblank0 = IrqCount[0], hblank0 = IrqCount[1];
    HALTCNT = 0;
    const uint32_t line1 = VCOUNT, vblank1 = IrqCount[0], hblank1 = IrqCount[1];
    DISPSTAT = STAT_VBLANK_IRQ;
    IF = IRQ_HBLANK;

    /* Nothing could ever wake the CPU with IE = 0: no halt. */
    IE = 0;
    const uint32_t before4 = VCOUNT;
    HALTCNT = 0;
    const uint32_t line4 = VCOUNT;

    /* IME off: the halt still ends on the enabled request alone (the
     * handheld wakes on IE AND IF), and no handler runs until IME is on. */
    IE = IRQ_VBLANK;
    IME = 0;
    while (VCOUNT != 0) {
    }
    IF = 0xFFFF;
    HALTCNT = 0;
    const uint32_t line5 = VCOUNT, flags5 = IF, vblank5 = IrqCount[0];
    IME = 1;
    const uint32_t vblank6 = IrqCount[0];
    IE = IRQ_VBLANK | IRQ_TIMER(0);

    CHECK(line1, 160);
    CHECK(vblank1 - vblank0, 1);
    CHECK(hblank1 - hblank0, 0);
    CHECK(line4, before4);
    CHECK(line5, 160);
    CHECK(flags5 & IRQ_VBLANK, IRQ_VBLANK);
    CHECK(vblank6 - vblank5, 1);
}

static void LineMatch(void) {
    DISPSTAT = STAT_VBLANK_IRQ | STAT_MATCH_IRQ | (100 << 8);
    IE = IRQ_VBLANK | IRQ_MATCH;
    IntrWait(1, IRQ_MATCH);
    const uint32_t line1 = VCOUNT, status1 = DISPSTAT;
    const uint32_t match1 = IrqCount[2], vblank1 = IrqCount[0];
    /* Waiting for either request: the vertical blank comes first. */
    IntrWait(1, IRQ_MATCH | IRQ_VBLANK);
    const uint32_t line2 = VCOUNT;
    IntrWait(1, IRQ_MATCH);
    const uint32_t line3 = VCOUNT, match3 = IrqCount[2], vblank3 = IrqCount[0];
    /* The flag holds for line 100 only. */
    while (VCOUNT == 100) {
    }
    const uint32_t status4 = DISPSTAT;
    DISPSTAT = STAT_VBLANK_IRQ;
    IE = IRQ_VBLANK | IRQ_TIMER(0);

    CHECK(line1, 100);
    CHECK(status1 & STAT_MATCH, STAT_MATCH);
    CHECK(IrqLine[2], 100);
    CHECK(line2, 160);
    CHECK(line3, 100);
    CHECK(match3 - match1, 1);
    CHECK(vblank3 - vblank1, 1);
    CHECK(status4 & STAT_MATCH, 0);
}

static void HblankCount(void) {
    /* One horizontal-blank request per line, the vertical blank's lines
     * included: 228 a frame. */
    DISPSTAT = STAT_VBLANK_IRQ | STAT_HBLANK_IRQ;
    IF = IRQ_HBLANK;
    IE = IRQ_VBLANK | IRQ_HBLANK;
    VBlankIntrWait();
    const uint32_t hblank0 = IrqCount[1];
    VBlankIntrWait();
    const uint32_t line1 = VCOUNT, hblank1 = IrqCount[1];
    DISPSTAT = STAT_VBLANK_IRQ;
    IE = IRQ_VBLANK;

    CHECK(line1, 160);
    CHECK(hblank1 - hblank0, 228);
    CHECK(IrqMode, 0x12);
}

int main(void) {
    DISPSTAT = STAT_VBLANK_IRQ;
    StartInterrupts(IRQ_VBLANK | IRQ_TIMER(0));
    TimerStormAndVBlankIntrWait();
    IntrWaitForTimer();
    HaltUntilInterrupt();
    LineMatch();
    HblankCount();
    return 0;
}

CHECKS_END();
