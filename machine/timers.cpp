#include "machine/timers.h"

#include <algorithm>

#include "machine/clock.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "sound/sample_channels.h"

namespace {

constexpr int64_t Never = NeverTime;

constexpr uint16_t ControlEnable = 0x80;
constexpr uint16_t ControlInterrupt = 0x40;
constexpr uint16_t ControlCountUp = 0x04;

// The CPU takes a timer's request this many cycles after the overflow: an
// instruction that starts in the third cycle after it still runs (a
// program reading the counter there sees it restarted from the reload
// value), the next one does not.
constexpr int64_t InterruptDelay = 3;

uint32_t ReloadOf(const Machine& m, uint32_t timer) { return ReadIoHalf(m, Io::TM0CNT_L + 4 * timer); }
uint16_t ControlOf(const Machine& m, uint32_t timer) { return ReadIoHalf(m, Io::TM0CNT_L + 4 * timer + 2); }

int64_t Saturated(int64_t value) { return std::min(value, Never); }
int64_t SaturatedProduct(int64_t a, int64_t b) { return b != 0 && a > Never / b ? Never : Saturated(a * b); }

// Cycles from one overflow of a running timer to the next.
int64_t OverflowPeriod(const Machine& m, uint32_t timer) {
    const HardwareTimer& t = m.TimerState.Timers[timer];
    if (t.Period <= 0) return Never;
    const int64_t counts = 0x10000 - int64_t(ReloadOf(m, timer));
    if (t.Countdown != 0) return counts * t.Period;
    return timer == 0 ? Never : SaturatedProduct(counts, OverflowPeriod(m, timer - 1));
}

// Cycles from the timers' Time to the timer's next overflow.
int64_t CyclesToOverflow(const Machine& m, uint32_t timer) {
    const HardwareTimer& t = m.TimerState.Timers[timer];
    if (t.Period <= 0) return Never;
    const int64_t countsLeft = std::max<int64_t>(0x10000 - int64_t(t.Counter), 1);
    if (t.Countdown != 0) return m.TimerState.StartDelay[timer] + t.Countdown + (countsLeft - 1) * t.Period;
    if (timer == 0) return Never;
    const int64_t first = CyclesToOverflow(m, timer - 1);
    return first >= Never ? Never : Saturated(first + SaturatedProduct(countsLeft - 1, OverflowPeriod(m, timer - 1)));
}

// Moves one timer on by `cycles`, in which the timer below overflowed
// `belowOverflows` times; returns its own overflows. Each overflow restarts
// the count from the reload value; any number of them requests the
// interrupt once, which is all the flag can hold.
int64_t AdvanceTimer(Machine& m, uint32_t timer, int64_t cycles, int64_t belowOverflows) {
    HardwareTimer& t = m.TimerState.Timers[timer];
    if (t.Period <= 0) return 0;
    int64_t counts = belowOverflows;
    if (t.Countdown != 0) {
        int64_t& startDelay = m.TimerState.StartDelay[timer];
        const int64_t waited = std::min(cycles, startDelay);
        startDelay -= waited;
        cycles -= waited;
        if (cycles < t.Countdown) {
            t.Countdown -= int32_t(cycles);
            return 0;
        }
        cycles -= t.Countdown;
        counts = 1 + cycles / t.Period;
        t.Countdown = int32_t(t.Period - cycles % t.Period);
    }
    const int64_t toOverflow = 0x10000 - int64_t(t.Counter);
    if (counts < toOverflow) {
        t.Counter += int32_t(counts);
        return 0;
    }
    const int64_t reload = ReloadOf(m, timer);
    const int64_t span = 0x10000 - reload;
    const int64_t beyond = counts - toOverflow;
    if (ControlOf(m, timer) & ControlInterrupt) RaiseInterrupt(m, uint16_t(IrqTimer0 << timer));
    t.Counter = int32_t(reload + beyond % span);
    return 1 + beyond / span;
}

// All four timers on by `cycles`, each counting up on the overflows of the
// one below.
void AdvanceAll(Machine& m, int64_t cycles) {
    int64_t below = 0;
    for (uint32_t timer = 0; timer < 4; ++timer) below = AdvanceTimer(m, timer, cycles, below);
}

}  // namespace

void RunTimers(Machine& m, int64_t time) {
    TimerBlock& timers = m.TimerState;
    if (time <= timers.Time || timers.CatchingUp) return;
    if (TimersIdle(timers))
        timers.Time = time;
    else
        CatchUpTimers(m, time);
}

void CatchUpTimers(Machine& m, int64_t time) {
    TimerBlock& timers = m.TimerState;
    timers.CatchingUp = true;
    // The sample channels take a byte at each overflow of their timer, at
    // its cycle. Nothing changes a timer between two catch-ups, so its
    // overflows come one overflow period apart from the first; the timers
    // themselves are then carried forward in one step.
    const uint32_t clocking = m.SampleChannels.ClockedTimers;
    std::array<int64_t, 2> next{Never, Never}, period{Never, Never};
    for (uint32_t timer = 0; timer < 2; ++timer) {
        if (!(clocking & (1u << timer))) continue;
        next[timer] = timers.Time + CyclesToOverflow(m, timer);
        period[timer] = OverflowPeriod(m, timer);
    }
    for (int64_t at; (at = std::min(next[0], next[1])) <= time;) {
        for (uint32_t timer = 0; timer < 2; ++timer) {
            if (next[timer] != at) continue;
            ClockSampleChannels(m, timer, at);
            next[timer] += period[timer];
        }
    }
    AdvanceAll(m, time - timers.Time);
    timers.Time = time;
    timers.CatchingUp = false;
}

int64_t NextTimerInterrupt(const Machine& m) {
    if (TimersIdle(m.TimerState) || !(ReadIoHalf(m, Io::IME) & 1)) return Never;
    const uint16_t enabled = ReadIoHalf(m, Io::IE);
    int64_t next = Never;
    for (uint32_t timer = 0; timer < 4; ++timer)
        if ((ControlOf(m, timer) & ControlInterrupt) && (enabled & (IrqTimer0 << timer)))
            next = std::min(next, CyclesToOverflow(m, timer));
    return next >= Never ? Never : m.TimerState.Time + next + InterruptDelay;
}

void WriteTimerReload(Machine& m, uint32_t timer, uint16_t value) {
    // An overflow in the very next cycle still reloads the old value.
    RunTimers(m, ClockNow(m.Cpu, m.Clock) + 1);
    StoreIoHalf(m, Io::TM0CNT_L + 4 * timer, value);
    EndSliceBy(m.Cpu, m.Clock, NextTimerInterrupt(m));
}

void WriteTimerControl(Machine& m, uint32_t timer, uint16_t value) {
    const int64_t now = ClockNow(m.Cpu, m.Clock);
    RunTimers(m, now);
    HardwareTimer& t = m.TimerState.Timers[timer];
    const bool wasRunning = t.Period > 0;
    // Count-up chains a timer to the overflows of the one below; timer 0
    // has none below it, and its bit 2 does not exist.
    const bool countUp = timer != 0 && (value & ControlCountUp);
    const int32_t period = (value & 3) == 0 ? 1 : int32_t(16u << (2 * (value & 3)));
    if (!(value & ControlEnable)) {
        // The count goes on for one more cycle after the write.
        if (wasRunning) RunTimers(m, now + 1);
        t.Period = 0;
        t.Countdown = 0;
    } else if (!wasRunning) {
        t.Counter = int32_t(ReloadOf(m, timer));
        t.Period = period;
        t.Countdown = countUp ? 0 : period;
        m.TimerState.StartDelay[timer] = countUp ? 0 : std::max<int64_t>(now + 2 - m.TimerState.Time, 0);
    } else {
        // A running timer keeps its count; a new prescaler takes over at
        // the next count at the latest.
        t.Period = period;
        if (countUp)
            t.Countdown = 0;
        else if (t.Countdown == 0 || t.Countdown > period)
            t.Countdown = period;
    }
    StoreIoHalf(m, Io::TM0CNT_L + 4 * timer + 2, uint16_t(value & (timer == 0 ? 0x00C3 : 0x00C7)));
    EndSliceBy(m.Cpu, m.Clock, NextTimerInterrupt(m));
}

uint32_t ReadTimerWord(Machine& m, uint32_t address) {
    RunTimers(m, ClockNow(m.Cpu, m.Clock));
    const uint32_t timer = (address >> 2) & 3;
    return uint32_t(m.TimerState.Timers[timer].Counter & 0xFFFF) | uint32_t(ControlOf(m, timer)) << 16;
}

void ResetTimers(TimerBlock& timers, int64_t time) {
    timers.Timers.fill({0, 0, 0});
    timers.StartDelay.fill(0);
    timers.Time = time;
}
