#include "sound/sample_channels.h"

#include <algorithm>

#include "cpu/cpu_state.h"
#include "machine/dma.h"
#include "machine/io_registers.h"
#include "machine/scanline.h"
#include "machine/timers.h"
#include "sound/sound_chip.h"

SampleChannelState SampleChannels;
std::array<SampleStream, SampleStreamCount> SampleStreams;

namespace {

constexpr uint32_t FrameCycles = (DrawCycles + HblankCycles) * LinesPerFrame;

std::atomic<bool> Connected{false};

uint16_t ChannelBits(uint16_t control, uint32_t channel) {
    return uint16_t(control >> (SampleControl::ChannelShift * channel));
}
uint32_t TimerOf(uint16_t control, uint32_t channel) {
    return (ChannelBits(control, channel) & SampleControl::Timer1A) ? 1 : 0;
}
bool ChannelOn(uint16_t control, uint32_t channel) {
    return ChannelBits(control, channel) & (SampleControl::LeftA | SampleControl::RightA);
}

void EmptyFifo(SampleFifo& fifo) {
    fifo.Read = 0;
    fifo.Count = 0;
    fifo.Output = 0;
}

// Emulated time at the start of the current slice, from the display's
// position: frames are counted from the start of line 160, where FrameCount
// advances. Slices may overrun by a few cycles; a clock that starts here is
// off by that much at most, and from then on it runs on exact cycles.
uint64_t DisplayTime() {
    const uint32_t line = ReadIoHalf(Io::VCOUNT);
    const bool hblank = ReadIoHalf(Io::DISPSTAT) & StatusHblank;
    const uint32_t linesSinceVblank = (line + LinesPerFrame - VisibleLines) % LinesPerFrame;
    return uint64_t(FrameCount) * FrameCycles + linesSinceVblank * (DrawCycles + HblankCycles) +
           (hblank ? DrawCycles : 0);
}

// Cycles the CPU has run so far in the current slice.
int32_t CyclesIntoSlice() { return int32_t(Cpu.SliceLength) - Cpu.Cycles; }

int32_t ReloadOf(uint32_t timer) { return int32_t(ReadIoHalf(Io::TM0CNT_L + 4 * timer)); }

// Cycles from one overflow of a free-running timer to the next: the counter
// restarts at the reload value and overflows past 0xFFFF.
int32_t OverflowPeriod(uint32_t timer) { return (0x10000 - ReloadOf(timer)) * SampleChannels.Clocks[timer].Prescaler; }

void UpdateClockedTimers() {
    SampleChannelState& state = SampleChannels;
    const uint32_t before = state.ClockedTimers;
    uint32_t clocked = 0;
    if (state.MasterOn) {
        for (uint32_t channel = 0; channel < 2; ++channel) {
            if (!ChannelOn(state.Control, channel)) continue;
            const uint32_t timer = TimerOf(state.Control, channel);
            const SampleClock& clock = state.Clocks[timer];
            // A counting-up timer 1 needs timer 0 running below it.
            const bool runs = clock.Prescaler && (!clock.CountUp || state.Clocks[0].Prescaler);
            if (runs) clocked |= 1u << timer;
        }
    }
    if (!before && clocked) state.SliceStart = DisplayTime();
    state.ClockedTimers = clocked;
}

void StartClock(uint32_t timer, int32_t prescaler, bool countUp) {
    SampleClock& clock = SampleChannels.Clocks[timer];
    clock.Prescaler = prescaler;
    clock.CountUp = countUp;
    clock.Counter = uint32_t(ReloadOf(timer));
    // The counter starts at the reload value at this cycle of the slice.
    clock.Remaining = std::max(1, OverflowPeriod(timer) + CyclesIntoSlice());
}

// One side of the hardware's mixer: the channels sent to it, each at 50 %
// or (doubled) 100 %, plus the bias level, clipped to the 10-bit range and
// cut to the resolution SOUNDBIAS bits 14-15 select (9 bits down to 6). The
// bias itself is a DC level a host output does not reproduce, so it is
// taken off again.
int32_t MixSide(int32_t sum) {
    const int32_t bias = SampleChannels.Bias & 0x3FE;
    const int32_t dropBits = 1 + (SampleChannels.Bias >> 14);
    const int32_t level = std::clamp(sum + bias, 0, 0x3FF) >> dropBits << dropBits;
    return level - bias;
}

void PushSample(uint32_t stream, uint64_t time, uint32_t period, int32_t value) {
    SampleStream& ring = SampleStreams[stream];
    const uint32_t head = ring.Head.load(std::memory_order_relaxed);
    // A reader that has fallen a whole ring behind loses the newest samples;
    // it skips ahead itself when it notices.
    if (head - ring.Tail.load(std::memory_order_acquire) >= SampleStreamCapacity) return;
    ring.Samples[head % SampleStreamCapacity] = {time, period, int16_t(value)};
    ring.Head.store(head + 1, std::memory_order_release);
}

// An overflow of `timer`: every channel it clocks takes its next byte, and a
// FIFO that is down to half full has its DMA channel refill it.
void TakeSamples(uint32_t timer, uint64_t time, uint32_t period) {
    SampleChannelState& state = SampleChannels;
    const uint16_t control = state.Control;
    bool clocked[2];
    for (uint32_t channel = 0; channel < 2; ++channel) {
        clocked[channel] = ChannelOn(control, channel) && TimerOf(control, channel) == timer;
        if (!clocked[channel]) continue;
        SampleFifo& fifo = state.Fifos[channel];
        // An empty FIFO leaves the last sample on the output.
        if (fifo.Count) {
            fifo.Output = fifo.Bytes[fifo.Read];
            fifo.Read = (fifo.Read + 1) % FifoCapacity;
            --fifo.Count;
        }
        if (fifo.Count <= FifoRefillLevel) RunFifoDma(channel == 0 ? FifoAddressA : FifoAddressB);
    }
    if (!Connected.load(std::memory_order_relaxed)) return;
    int32_t left = 0, right = 0;
    for (uint32_t channel = 0; channel < 2; ++channel) {
        if (!clocked[channel]) continue;
        const uint16_t fullVolume = channel == 0 ? SampleControl::FullVolumeA : SampleControl::FullVolumeB;
        const int32_t sample = state.Fifos[channel].Output * ((control & fullVolume) ? 2 : 1);
        const uint16_t bits = ChannelBits(control, channel);
        if (bits & SampleControl::LeftA) left += sample;
        if (bits & SampleControl::RightA) right += sample;
    }
    PushSample(timer, time, period, (MixSide(left) + MixSide(right)) / 2);
}

}  // namespace

void ResetSampleChannels() {
    SampleChannelState& state = SampleChannels;
    for (SampleFifo& fifo : state.Fifos) EmptyFifo(fifo);
    state.Clocks = {};
    state.Control = ReadIoHalf(Io::SOUNDCNT_H) & SampleControl::Readable;
    state.Bias = ReadIoHalf(Io::SOUNDBIAS);
    state.MasterOn = SoundRegs[SoundReg::Master] & 0x80;
    state.ClockedTimers = 0;
    SyncSampleChannels();
}

void WriteSampleControl(uint16_t value) {
    SampleChannelState& state = SampleChannels;
    for (uint32_t channel = 0; channel < 2; ++channel)
        if (ChannelBits(value, channel) & SampleControl::ResetA) EmptyFifo(state.Fifos[channel]);
    state.Control = value & SampleControl::Readable;
    UpdateClockedTimers();
}

// Switching the sound unit off silences the sample channels and empties
// their FIFOs; while it is off, nothing is clocked.
void WriteSampleMaster(uint8_t value) {
    SampleChannelState& state = SampleChannels;
    state.MasterOn = value & 0x80;
    if (!state.MasterOn)
        for (SampleFifo& fifo : state.Fifos) EmptyFifo(fifo);
    UpdateClockedTimers();
}

void WriteSampleBias(uint16_t value) { SampleChannels.Bias = value; }

// A full FIFO ignores further bytes.
void PushFifo(uint32_t channel, uint16_t value) {
    SampleFifo& fifo = SampleChannels.Fifos[channel];
    for (const uint8_t byte : {uint8_t(value), uint8_t(value >> 8)}) {
        if (fifo.Count == FifoCapacity) return;
        fifo.Bytes[(fifo.Read + fifo.Count) % FifoCapacity] = int8_t(byte);
        ++fifo.Count;
    }
}

// Only a start (enable going from 0 to 1) reloads the counter; rewriting the
// control of a running timer leaves its count alone, as on the hardware.
void SampleTimerControl(uint32_t timer, uint16_t oldValue, uint16_t newValue) {
    if (timer > 1) return;
    SampleClock& clock = SampleChannels.Clocks[timer];
    const bool wasOn = oldValue & 0x80;
    const bool on = newValue & 0x80;
    const int32_t prescaler = (newValue & 3) == 0 ? 1 : int32_t(16u << (2 * (newValue & 3)));
    const bool countUp = timer == 1 && (newValue & 4);
    if (!on) {
        clock.Prescaler = 0;
    } else if (!wasOn || !clock.Prescaler) {
        StartClock(timer, prescaler, countUp);
    } else {
        clock.Prescaler = prescaler;
        clock.CountUp = countUp;
    }
    UpdateClockedTimers();
}

void RunSampleClocks(int32_t elapsed) {
    SampleChannelState& state = SampleChannels;
    SampleClock& clock0 = state.Clocks[0];
    SampleClock& clock1 = state.Clocks[1];
    const bool cascade = clock1.CountUp && clock1.Prescaler;
    // Timer 0 runs when it clocks a channel or drives a counting-up timer 1.
    if (clock0.Prescaler && ((state.ClockedTimers & 1) || (cascade && (state.ClockedTimers & 2)))) {
        while (clock0.Remaining <= elapsed) {
            const uint64_t time = state.SliceStart + uint32_t(clock0.Remaining);
            const int32_t period = OverflowPeriod(0);
            if (state.ClockedTimers & 1) TakeSamples(0, time, uint32_t(period));
            if (cascade && ++clock1.Counter > 0xFFFF) {
                clock1.Counter = uint32_t(ReloadOf(1));
                const int64_t chained = int64_t(period) * (0x10000 - ReloadOf(1));
                if (state.ClockedTimers & 2) TakeSamples(1, time, uint32_t(std::min<int64_t>(chained, UINT32_MAX)));
            }
            clock0.Remaining += period;
        }
        clock0.Remaining -= elapsed;
    }
    if (clock1.Prescaler && !clock1.CountUp && (state.ClockedTimers & 2)) {
        while (clock1.Remaining <= elapsed) {
            const int32_t period = OverflowPeriod(1);
            TakeSamples(1, state.SliceStart + uint32_t(clock1.Remaining), uint32_t(period));
            clock1.Remaining += period;
        }
        clock1.Remaining -= elapsed;
    }
    state.SliceStart += uint32_t(elapsed);
}

void SyncSampleChannels() {
    SampleChannelState& state = SampleChannels;
    state.Control = ReadIoHalf(Io::SOUNDCNT_H) & SampleControl::Readable;
    state.Bias = ReadIoHalf(Io::SOUNDBIAS);
    state.MasterOn = SoundRegs[SoundReg::Master] & 0x80;
    // The timers' own records say whether each one runs (the reset stops
    // them all, a snapshot brings back its own); a clock that disagrees
    // starts afresh or stops.
    for (uint32_t timer = 0; timer < 2; ++timer) {
        const HardwareTimer& t = TimerState[timer];
        SampleClock& clock = state.Clocks[timer];
        const bool countUp = timer == 1 && t.Period > 0 && t.Countdown == 0;
        if (t.Period != clock.Prescaler || countUp != clock.CountUp) {
            if (t.Period > 0)
                StartClock(timer, t.Period, countUp);
            else
                clock.Prescaler = 0;
        }
    }
    UpdateClockedTimers();
}

void ConnectSampleStreams() {
    for (SampleStream& stream : SampleStreams) {
        stream.Head.store(0, std::memory_order_relaxed);
        stream.Tail.store(0, std::memory_order_relaxed);
    }
    Connected.store(true, std::memory_order_release);
}

void DisconnectSampleStreams() { Connected.store(false, std::memory_order_release); }

bool SampleStreamsConnected() { return Connected.load(std::memory_order_acquire); }

uint32_t SampleStreamFill(uint32_t stream) {
    const SampleStream& ring = SampleStreams[stream];
    return ring.Head.load(std::memory_order_acquire) - ring.Tail.load(std::memory_order_relaxed);
}

TimedSample PeekSampleStream(uint32_t stream) {
    const SampleStream& ring = SampleStreams[stream];
    return ring.Samples[ring.Tail.load(std::memory_order_relaxed) % SampleStreamCapacity];
}

uint32_t ReadSampleStream(uint32_t stream, TimedSample* out, uint32_t count) {
    SampleStream& ring = SampleStreams[stream];
    const uint32_t tail = ring.Tail.load(std::memory_order_relaxed);
    const uint32_t available = ring.Head.load(std::memory_order_acquire) - tail;
    const uint32_t taken = std::min(count, available);
    for (uint32_t i = 0; i < taken; ++i) out[i] = ring.Samples[(tail + i) % SampleStreamCapacity];
    ring.Tail.store(tail + taken, std::memory_order_release);
    return taken;
}

void SkipSampleStream(uint32_t stream, uint32_t keep) {
    SampleStream& ring = SampleStreams[stream];
    const uint32_t head = ring.Head.load(std::memory_order_acquire);
    const uint32_t tail = ring.Tail.load(std::memory_order_relaxed);
    if (head - tail > keep) ring.Tail.store(head - keep, std::memory_order_release);
}
