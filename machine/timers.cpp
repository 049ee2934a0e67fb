#include "machine/timers.h"

#include "machine/interrupts.h"
#include "machine/io_registers.h"

std::array<HardwareTimer, 4> TimerState{};

static uint32_t TimerBlock(uint32_t timer) { return Io::TM0CNT_L + 4 * timer; }

void WriteTimerControl(uint32_t timer, uint16_t value) {
    HardwareTimer& t = TimerState[timer];
    const bool enabled = value & 0x80;
    const uint32_t prescaler = value & 3;
    // Prescaler 0 ticks every cycle, 1-3 every 64, 256 and 1024 cycles.
    t.Period = !enabled ? 0 : prescaler == 0 ? 1 : int32_t(16u << (2 * prescaler));
    // Count-up (bit 2) chains a timer to the overflows of the one below;
    // timer 0 has none below it and ignores the bit.
    const bool countUp = timer != 0 && (value & 4);
    t.Countdown = countUp ? 0 : t.Period;
}

void StepTimers(int32_t elapsed) {
    bool belowOverflowed = false;
    for (uint32_t i = 0; i < TimerState.size(); ++i) {
        HardwareTimer& t = TimerState[i];
        bool overflowed = false;
        if (t.Period > 0) {
            if (t.Countdown == 0) {
                if (belowOverflowed) ++t.Counter;
            } else {
                // 64-bit so that a countdown restored from a damaged snapshot
                // cannot overflow the subtraction.
                const int64_t left = int64_t(t.Countdown) - elapsed;
                if (left <= 0) {
                    // C++'s remainder takes the dividend's sign: the new
                    // countdown lands in 1..Period.
                    t.Countdown = int32_t(left % t.Period + t.Period);
                    ++t.Counter;
                } else {
                    t.Countdown = int32_t(left);
                }
            }
            if (t.Counter > 0xFFFF) {
                const uint32_t block = TimerBlock(i);
                t.Counter = ReadIoHalf(block);  // TMxCNT_L holds the reload value
                if (ReadIoHalf(block + 2) & 0x40) RaiseInterrupt(uint16_t(IrqTimer0 << i));
                overflowed = true;
            }
        }
        belowOverflowed = overflowed;
    }
}

void ResetTimers() { TimerState.fill({0, 0, 0}); }
