#include "machine/timers.h"

#include <gtest/gtest.h>

#include "machine/bus.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "tests/support/scanline_steps.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t IoBase = 0x04000000;

uint32_t TimerControl(uint32_t timer) { return IoBase + Io::TM0CNT_L + 4 * timer + 2; }
uint32_t TimerCounter(uint32_t timer) { return IoBase + Io::TM0CNT_L + 4 * timer; }

TEST(Timers, ControlSelectsPrescalerAndCountUp) {
    struct Case {
        uint32_t timer;
        uint16_t control;
        int32_t period, countdown;
    };
    const Case cases[] = {
        {0, 0x0080, 1, 1},       {0, 0x0081, 64, 64}, {1, 0x0082, 256, 256},
        {1, 0x0083, 1024, 1024}, {1, 0x0084, 1, 0},  // count-up
        {0, 0x0084, 1, 1},                           // timer 0 has nothing to count
        {3, 0x00C7, 1024, 0},                        // count-up ignores the prescaler's countdown
        {2, 0x0043, 0, 0},                           // disabled
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "timer " << c.timer << " control " << std::hex << c.control);
        TestMachine machine;
        BusWrite16(TimerCounter(c.timer), 0x1234);
        BusWrite16(TimerControl(c.timer), c.control);
        EXPECT_EQ(TimerState[c.timer].Period, c.period);
        EXPECT_EQ(TimerState[c.timer].Countdown, c.countdown);
        EXPECT_EQ(TimerState[c.timer].Counter, 0x1234) << "control leaves the count alone";
        EXPECT_EQ(ReadIoHalf(Io::TM0CNT_L + 4 * c.timer + 2), c.control);
    }
}

TEST(Timers, PrescalerTicksAtMostOncePerSlice) {
    TestMachine machine;
    BusWrite16(TimerControl(0), 0x0083);  // every 1024 cycles
    EndSlice();                           // a 960-cycle drawing slice
    EXPECT_EQ(TimerState[0].Countdown, 64);
    EXPECT_EQ(TimerState[0].Counter, 0);
    EndSlice();  // 272 cycles of horizontal blank: 208 past the tick
    EXPECT_EQ(TimerState[0].Countdown, 816);
    EXPECT_EQ(TimerState[0].Counter, 1);

    // Every cycle, yet one tick per slice.
    BusWrite16(TimerControl(1), 0x0080);
    EndSlice();
    EndSlice();
    EXPECT_EQ(TimerState[1].Counter, 2);
    EXPECT_EQ(TimerState[1].Countdown, 1);
}

TEST(Timers, OvershootCountsAsElapsedTime) {
    TestMachine machine;
    BusWrite16(TimerControl(0), 0x0081);  // every 64 cycles
    TimerState[0].Countdown = 1000;
    EndSlice(39);  // 960 + 39 cycles
    EXPECT_EQ(TimerState[0].Countdown, 1);
    EndSlice(1);  // 273 cycles: 272 past the tick, 272 mod 64 = 16 into the next period
    EXPECT_EQ(TimerState[0].Countdown, 48);
}

TEST(Timers, OverflowReloadsAndRequestsInterrupt) {
    TestMachine machine;
    BusWrite16(TimerCounter(0), 0xFFF0);  // also the reload value
    BusWrite16(TimerControl(0), 0x00C0);  // every cycle, interrupt on overflow
    for (int slice = 1; slice <= 15; ++slice) StepTimers(960);
    EXPECT_EQ(TimerState[0].Counter, 0xFFFF);
    EXPECT_EQ(ReadIoHalf(Io::IF), 0);
    StepTimers(960);
    EXPECT_EQ(TimerState[0].Counter, 0xFFF0);
    EXPECT_EQ(ReadIoHalf(Io::IF), IrqTimer0);
    EXPECT_EQ(ReadIoHalf(Io::TM0CNT_L), 0xFFF0) << "the register is not a mirror of the count";
}

TEST(Timers, CountUpTimersChainOnOverflows) {
    TestMachine machine;
    BusWrite16(TimerCounter(0), 0xFFFF);
    BusWrite16(TimerControl(0), 0x0080);
    BusWrite16(TimerCounter(1), 0xFFFF);
    BusWrite16(TimerControl(1), 0x00C4);  // count-up, interrupt
    BusWrite16(TimerCounter(2), 0x0005);
    BusWrite16(TimerControl(2), 0x0084);  // count-up

    StepTimers(960);  // 0 overflows, 1 counts and overflows, 2 counts
    EXPECT_EQ(TimerState[0].Counter, 0xFFFF);
    EXPECT_EQ(TimerState[1].Counter, 0xFFFF);
    EXPECT_EQ(TimerState[2].Counter, 6);
    EXPECT_EQ(ReadIoHalf(Io::IF), IrqTimer0 << 1);

    BusWrite16(TimerCounter(0), 0x0000);
    StepTimers(960);  // no overflow below: the chain stands still
    EXPECT_EQ(TimerState[0].Counter, 1);
    EXPECT_EQ(TimerState[1].Counter, 0xFFFF);
    EXPECT_EQ(TimerState[2].Counter, 6);
}

TEST(Timers, StoppedTimerNeitherCountsNorDrivesTheChain) {
    TestMachine machine;
    BusWrite16(TimerCounter(0), 0xFFFF);  // enable bit clear
    BusWrite16(TimerControl(1), 0x0084);
    StepTimers(960);
    EXPECT_EQ(TimerState[0].Counter, 0xFFFF);
    EXPECT_EQ(TimerState[1].Counter, 0);
}

}  // namespace
