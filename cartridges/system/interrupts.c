/* Waiting for interrupts: VBlankIntrWait and IntrWait through our handler,
 * HALTCNT, the line-match and horizontal-blank interrupts.
 *
 * Times follow the emulator's model: a line is a 960-cycle drawing slice
 * and a 272-cycle horizontal-blank slice, the status flags and timers
 * change only at slice ends, and a timer ticks at most once per slice. A
 * timer started during the drawing slice of line 160 (right after
 * VBlankIntrWait returned) is charged that whole slice: slices then end
 * after 960, 1232, 2192, 2464, 3424, 3696 and 4656 cycles, so a
 * 1024-cycle timer ticks at the ends of 1232, 2192, 3424 and 4656 and its
 * fourth tick falls at the end of line 163's drawing: the interrupt is seen
 * in line 163's horizontal blank. Values are read into locals first and
 * checked afterwards, because a check takes longer than a horizontal
 * blank. */
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
    /* Timer 0 at 64 cycles a tick ticks once per slice, 456 times a frame;
     * with 4 ticks to an overflow it interrupts 114 times a frame, and
     * VBlankIntrWait must sleep through all of them. */
    VBlankIntrWait();
    StartTimer0(4, 1);
    const uint32_t timer0 = IrqCount[3], vblank0 = IrqCount[0];
    VBlankIntrWait();
    const uint32_t line1 = VCOUNT, status1 = DISPSTAT;
    const uint32_t timer1 = IrqCount[3], vblank1 = IrqCount[0];
    VBlankIntrWaitArm();
    const uint32_t line2 = VCOUNT;
    const uint32_t timer2 = IrqCount[3], vblank2 = IrqCount[0];
    StopTimer0();

    CHECK(line1, 160);
    CHECK(status1 & STAT_VBLANK, STAT_VBLANK);
    CHECK(vblank1 - vblank0, 1);
    CHECK(timer1 - timer0, 114);
    CHECK(line2, 160);
    CHECK(vblank2 - vblank1, 1);
    CHECK(timer2 - timer1, 114);
}

static void IntrWaitForTimer(void) {
    /* The fourth 1024-cycle tick after line 160: line 163's blank. */
    VBlankIntrWait();
    StartTimer0(4, 3);
    const uint32_t count0 = IrqCount[3];
    IntrWait(1, IRQ_TIMER(0));
    const uint32_t line1 = VCOUNT, status1 = DISPSTAT, count1 = IrqCount[3], irqLine1 = IrqLine[3];

    /* The flag is already in the check word: with R0 = 1 it is discarded
     * and the call sleeps until the next overflow, four ticks on: the
     * ends of lines 164 (drawing), 164 (blank), 165 (blank) and 166
     * (drawing), so line 166's blank. */
    BIOS_IRQ_CHECK |= IRQ_TIMER(0);
    IntrWait(1, IRQ_TIMER(0));
    const uint32_t line2 = VCOUNT, status2 = DISPSTAT;

    /* With R0 = 0 a flag already there ends the wait at once (with the
     * timer stopped nothing else could end it), and the call takes it out
     * of the check word. The call itself may just cross a slice end. */
    StopTimer0();
    BIOS_IRQ_CHECK |= IRQ_TIMER(0);
    const uint32_t before3 = VCOUNT;
    IntrWait(0, IRQ_TIMER(0));
    const uint32_t line3 = VCOUNT, check3 = BIOS_IRQ_CHECK;

    CHECK(line1, 163);
    CHECK(status1 & STAT_HBLANK, STAT_HBLANK);
    CHECK(irqLine1, 163);
    CHECK(count1 - count0, 1);
    CHECK(line2, 166);
    CHECK(status2 & STAT_HBLANK, STAT_HBLANK);
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

    /* With the CPU's own mask set the halt still ends at the vertical
     * blank, but the handler runs only once the mask is lifted. */
    CpuIrqDisable();
    HALTCNT = 0;
    const uint32_t line2 = VCOUNT, flags2 = IF, vblank2 = IrqCount[0];
    CpuIrqEnable();
    const uint32_t vblank3 = IrqCount[0];

    /* Nothing could ever wake the CPU with IE = 0 or IME = 0: no halt. */
    IE = 0;
    const uint32_t before4 = VCOUNT;
    HALTCNT = 0;
    const uint32_t line4 = VCOUNT;
    IE = IRQ_VBLANK | IRQ_TIMER(0);
    IME = 0;
    HALTCNT = 0;
    const uint32_t line5 = VCOUNT;
    IME = 1;

    CHECK(line1, 160);
    CHECK(vblank1 - vblank0, 1);
    CHECK(hblank1 - hblank0, 0);
    CHECK(line2, 160);
    CHECK(flags2 & IRQ_VBLANK, IRQ_VBLANK);
    CHECK(vblank2 - vblank1, 0);
    CHECK(vblank3 - vblank1, 1);
    CHECK(line4, before4);
    CHECK(line5, before4);
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
