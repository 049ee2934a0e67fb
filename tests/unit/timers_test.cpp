// The timers where the cartridges cannot look: the overshoot of a slice's
// last instruction counts as elapsed time, and the counter register reads
// back the reload value, not the count. Prescalers, cascades and overflow
// interrupts are checked by cartridges/system/timers.c.

#include "machine/timers.h"

#include <gtest/gtest.h>

#include "machine/bus.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "tests/support/scanline_steps.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t TimerCounter = 0x04000000 + Io::TM0CNT_L;
constexpr uint32_t TimerControl = TimerCounter + 2;

TEST(Timers, OvershootCountsAsElapsedTime) {
    TestMachine machine;
    BusWrite16(TimerControl, 0x0081);  // every 64 cycles
    TimerState[0].Countdown = 1000;
    EndSlice(39);  // 960 + 39 cycles
    EXPECT_EQ(TimerState[0].Countdown, 1);
    EndSlice(1);  // 273 cycles: 272 past the tick, 272 mod 64 = 16 into the next period
    EXPECT_EQ(TimerState[0].Countdown, 48);
    EXPECT_EQ(TimerState[0].Counter, 1);
}

TEST(Timers, CounterRegisterKeepsTheReloadValue) {
    TestMachine machine;
    BusWrite16(TimerCounter, 0xFFFE);
    BusWrite16(TimerControl, 0x00C0);  // every cycle, interrupt on overflow
    StepTimers(960);
    EXPECT_EQ(TimerState[0].Counter, 0xFFFF);
    EXPECT_EQ(ReadIoHalf(Io::TM0CNT_L), 0xFFFE);
    StepTimers(960);
    EXPECT_EQ(TimerState[0].Counter, 0xFFFE) << "reloaded";
    EXPECT_EQ(ReadIoHalf(Io::IF), IrqTimer0);
}

}  // namespace
