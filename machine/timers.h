#pragma once
// The four 16-bit timers. They advance at slice boundaries only: each
// scanline tick hands them the cycles the slice took, and a timer ticks at
// most once per slice whatever its prescaler, so the faster prescalers run
// slow. That is enough for the periodic interrupts games use them for; the
// sound sample channels, which need every overflow of timers 0 and 1 at its
// exact cycle, keep clocks of their own (sound/sample_channels.h).

#include <array>
#include <cstdint>

struct HardwareTimer {
    int32_t Period;     // cycles per tick: 0 stopped, else 1, 64, 256 or 1024
    int32_t Countdown;  // cycles until the next tick; 0 = counts overflows of the timer below
    int32_t Counter;    // the current count; overflows when it passes 0xFFFF
};

extern std::array<HardwareTimer, 4> TimerState;

// TMxCNT_H: prescaler, count-up and enable. The counter is left alone.
void WriteTimerControl(uint32_t timer, uint16_t value);

// Advances every running timer by one slice of elapsed cycles, reloading
// overflowed counters from TMxCNT_L and raising their interrupts.
void StepTimers(int32_t elapsed);

// All four timers stopped with a count of 0 (registers keep their values).
void ResetTimers();
