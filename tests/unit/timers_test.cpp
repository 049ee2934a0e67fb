// The timers against the slice machinery: every cycle counts once, however
// far slices overrun, and each slice end leaves a state a snapshot can
// store. Counts, prescalers, cascades, reloads, interrupts and polling loops
// are checked by cartridges/system/timers.c and the public timer programs.

#include "machine/timers.h"

#include <gtest/gtest.h>

#include "machine/bus.h"
#include "machine/io_registers.h"
#include "tests/support/scanline_steps.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t TimerControl = 0x04000000 + Io::TM0CNT_L + 2;

// A frame of slices that each run 7 cycles past their end: the overshoot
// is carried into the next slice, so the frame still lasts 280896 cycles
// and the timer (started by a 1-cycle store at cycle 1, counting from
// cycle 3) has counted 280896 + 7 - 3 = 280900 = 4 x 65536 + 18756.
TEST(Timers, EveryCycleCountsOnceWhateverTheOvershoot) {
    TestMachine machine;
    BusWrite16(TimerControl, 0x0080);  // every cycle, reload 0
    for (int slice = 0; slice < 2 * 228; ++slice) EndSlice(7);
    EXPECT_EQ(CurrentLine(), 0u);
    EXPECT_EQ(TimerState[0].Counter, 18756);
}

// A timer started in a slice's last cycle is stored at the slice end with
// a countdown within its period, as a snapshot must hold it.
TEST(Timers, SliceEndLeavesAStorableState) {
    TestMachine machine;
    Cpu.Cycles = 1;
    BusWrite16(TimerControl, 0x0081);  // every 64 cycles
    EndSlice();
    EXPECT_EQ(TimerState[0].Period, 64);
    EXPECT_GE(TimerState[0].Countdown, 1);
    EXPECT_LE(TimerState[0].Countdown, 64);
}

}  // namespace
