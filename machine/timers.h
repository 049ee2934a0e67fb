#pragma once
// The four 16-bit timers. A running timer counts up from its reload value
// once every 1, 64, 256 or 1024 cycles, or, in count-up mode, once per
// overflow of the timer below it; passing 0xFFFF it overflows, starts again
// from the reload value and may request an interrupt. Timers 0 and 1 also
// clock the sound sample channels.
//
// Nothing steps the timers cycle by cycle. Their state holds at one moment,
// TimerBlock::Time, and RunTimers carries it forward to any later moment, working
// out the counts and every overflow in between at its own cycle. That is
// done at every slice end, before any write that the overflows could have
// seen (timers, sample channels, their DMA), and at the cycle of every read
// of a counter, so a program polling a counter sees it move with its own
// instructions. Slices end at the next overflow that requests an interrupt
// the CPU may take (NextTimerInterrupt), so it sees the request at its
// cycle.

#include <array>
#include <cstdint>

struct HardwareTimer {
    int32_t Period;     // cycles per count: 0 stopped, else 1, 64, 256 or 1024
    int32_t Countdown;  // cycles until the next count; 0 = counts the overflows of the timer below
    int32_t Counter;    // the current count; overflows when it passes 0xFFFF
};

// The timers as they stand at Time. Snapshots store Timers as they lie
// (periods and countdowns), at a slice end that the timers have reached.
struct TimerBlock {
    std::array<HardwareTimer, 4> Timers{};
    int64_t Time = 0;
    // A timer started at some cycle counts for the first time two cycles
    // plus one period later: the hardware takes that long to set it going.
    // The delay is the state's one piece outside Timers; it is over long
    // before any slice end a snapshot could be taken at.
    std::array<int64_t, 4> StartDelay{};
    // While a catch-up is under way, the sample channels' DMA writing the
    // FIFOs comes back through the register writes and must not start
    // another.
    bool CatchingUp = false;
};

struct Machine;

// TMxCNT_L takes the reload value, used by the next start and overflow; the
// count itself is not written.
void WriteTimerReload(Machine& m, uint32_t timer, uint16_t value);
// TMxCNT_H: prescaler, count-up, interrupt and enable, at the current cycle.
// A start loads the reload value; the register keeps only its real bits.
void WriteTimerControl(Machine& m, uint32_t timer, uint16_t value);

// TM0CNT_L to TM3CNT_H. A read there returns the counts as they stand at the
// current cycle (ReadTimerWord gives the aligned word holding `address`).
inline bool IsTimerAddress(uint32_t address) { return address - 0x04000100u < 0x10u; }
uint32_t ReadTimerWord(Machine& m, uint32_t address);

// No timer runs: an idle machine's slice ends pay this test and no more.
inline bool TimersIdle(const TimerBlock& timers) {
    const std::array<HardwareTimer, 4>& t = timers.Timers;
    return (t[0].Period | t[1].Period | t[2].Period | t[3].Period) == 0;
}

// Carries the timers forward to `time` (earlier times are ignored, and so
// is a call while a catch-up is under way); CatchUpTimers is its work once
// some timer runs.
void RunTimers(Machine& m, int64_t time);
void CatchUpTimers(Machine& m, int64_t time);

// A time beyond any run; sums of it stay in range.
inline constexpr int64_t NeverTime = INT64_MAX / 4;

// When the CPU is to see the next overflow that requests an interrupt it
// may take (enabled in IE, with IME on): a few cycles after the overflow
// itself; NeverTime when there is none. Requests the CPU could not take
// wait in IF until the timers next catch up.
int64_t NextTimerInterrupt(const Machine& m);

// All four stopped at `time`, counts 0; the registers keep their values.
void ResetTimers(TimerBlock& timers, int64_t time);
