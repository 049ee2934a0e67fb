#include "sound/sample_channels.h"

#include <algorithm>

#include "machine/clock.h"
#include "machine/dma.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "sound/sound_chip.h"

namespace {

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

void UpdateClockedTimers(Machine& m) {
    SampleChannelState& state = m.SampleChannels;
    uint32_t clocked = 0;
    if (state.MasterOn)
        for (uint32_t channel = 0; channel < 2; ++channel)
            if (ChannelOn(state.Control, channel)) clocked |= 1u << TimerOf(state.Control, channel);
    state.ClockedTimers = clocked;
}

// One side of the hardware's mixer: the channels sent to it, each at 50 %
// or (doubled) 100 %, plus the bias level, clipped to the 10-bit range and
// cut to the resolution SOUNDBIAS bits 14-15 select (9 bits down to 6). The
// bias itself is a DC level a host output does not reproduce, so it is
// taken off again.
int32_t MixSide(const Machine& m, int32_t sum) {
    const int32_t bias = m.SampleChannels.Bias & 0x3FE;
    const int32_t dropBits = 1 + (m.SampleChannels.Bias >> 14);
    const int32_t level = std::clamp(sum + bias, 0, 0x3FF) >> dropBits << dropBits;
    return level - bias;
}

// Both sides of the mixer as they stand, averaged into one.
int32_t MixedLevel(const Machine& m) {
    const SampleChannelState& state = m.SampleChannels;
    int32_t left = 0, right = 0;
    for (uint32_t channel = 0; channel < 2; ++channel) {
        const uint16_t bits = ChannelBits(state.Control, channel);
        const bool fullVolume = state.Control & (SampleControl::FullVolumeA << channel);
        const int32_t sample = state.Fifos[channel].Output * (fullVolume ? 2 : 1);
        if (bits & SampleControl::LeftA) left += sample;
        if (bits & SampleControl::RightA) right += sample;
    }
    return (MixSide(m, left) + MixSide(m, right)) / 2;
}

// Writes the level from `time` on. A reader that has fallen a whole ring
// behind loses the newest levels; it skips ahead itself when it notices.
void WriteLevel(Machine& m, int64_t time) {
    if (!m.SampleLevels.Connected.load(std::memory_order_relaxed)) return;
    m.SampleChannels.Level = MixedLevel(m);
    SampleStream& ring = m.SampleLevels;
    const uint32_t head = ring.Head.load(std::memory_order_relaxed);
    if (head - ring.Tail.load(std::memory_order_acquire) >= SampleStreamCapacity) return;
    ring.Levels[head % SampleStreamCapacity] = {time, m.SampleChannels.Level};
    ring.Head.store(head + 1, std::memory_order_release);
}

// A register changed the mix: the new level holds from this cycle.
void LevelChanged(Machine& m) {
    if (m.SampleLevels.Connected.load(std::memory_order_relaxed) && MixedLevel(m) != m.SampleChannels.Level)
        WriteLevel(m, ClockNow(m.Cpu, m.Clock));
}

}  // namespace

void ResetSampleChannels(Machine& m) {
    for (SampleFifo& fifo : m.SampleChannels.Fifos) EmptyFifo(fifo);
    SyncSampleChannels(m);
}

void SyncSampleChannels(Machine& m) {
    SampleChannelState& state = m.SampleChannels;
    state.Control = ReadIoHalf(m, Io::SOUNDCNT_H) & SampleControl::Readable;
    state.Bias = ReadIoHalf(m, Io::SOUNDBIAS);
    state.MasterOn = m.SoundRegs[SoundReg::Master] & 0x80;
    UpdateClockedTimers(m);
    LevelChanged(m);
}

void WriteSampleControl(Machine& m, uint16_t value) {
    SampleChannelState& state = m.SampleChannels;
    for (uint32_t channel = 0; channel < 2; ++channel)
        if (ChannelBits(value, channel) & SampleControl::ResetA) EmptyFifo(state.Fifos[channel]);
    state.Control = value & SampleControl::Readable;
    UpdateClockedTimers(m);
    LevelChanged(m);
}

// Switching the sound unit off silences the sample channels and empties
// their FIFOs; while it is off, nothing is clocked.
void WriteSampleMaster(Machine& m, uint8_t value) {
    SampleChannelState& state = m.SampleChannels;
    state.MasterOn = value & 0x80;
    if (!state.MasterOn)
        for (SampleFifo& fifo : state.Fifos) EmptyFifo(fifo);
    UpdateClockedTimers(m);
    LevelChanged(m);
}

void WriteSampleBias(Machine& m, uint16_t value) {
    m.SampleChannels.Bias = value;
    LevelChanged(m);
}

// A full FIFO ignores further bytes.
void PushFifo(Machine& m, uint32_t channel, uint16_t value) {
    SampleFifo& fifo = m.SampleChannels.Fifos[channel];
    for (const uint8_t byte : {uint8_t(value), uint8_t(value >> 8)}) {
        if (fifo.Count == FifoCapacity) return;
        fifo.Bytes[(fifo.Read + fifo.Count) % FifoCapacity] = int8_t(byte);
        ++fifo.Count;
    }
}

void ClockSampleChannels(Machine& m, uint32_t timer, int64_t time) {
    SampleChannelState& state = m.SampleChannels;
    for (uint32_t channel = 0; channel < 2; ++channel) {
        if (!ChannelOn(state.Control, channel) || TimerOf(state.Control, channel) != timer) continue;
        SampleFifo& fifo = state.Fifos[channel];
        // An empty FIFO leaves the last sample on the output.
        if (fifo.Count) {
            fifo.Output = fifo.Bytes[fifo.Read];
            fifo.Read = (fifo.Read + 1) % FifoCapacity;
            --fifo.Count;
        }
        if (fifo.Count <= FifoRefillLevel) RunFifoDma(m, channel == 0 ? FifoAddressA : FifoAddressB);
    }
    WriteLevel(m, time);
}

void ConnectSampleStream(SampleStream& ring) {
    ring.Head.store(0, std::memory_order_relaxed);
    ring.Tail.store(0, std::memory_order_relaxed);
    ring.Connected.store(true, std::memory_order_release);
}

void DisconnectSampleStream(SampleStream& ring) { ring.Connected.store(false, std::memory_order_release); }

bool SampleStreamConnected(const SampleStream& ring) { return ring.Connected.load(std::memory_order_acquire); }

uint32_t SampleStreamFill(const SampleStream& ring) {
    return ring.Head.load(std::memory_order_acquire) - ring.Tail.load(std::memory_order_relaxed);
}

int64_t OldestSampleTime(const SampleStream& ring) {
    return ring.Levels[ring.Tail.load(std::memory_order_relaxed) % SampleStreamCapacity].Time;
}

int64_t NewestSampleTime(const SampleStream& ring) {
    const uint32_t head = ring.Head.load(std::memory_order_acquire);
    return ring.Levels[(head - 1) % SampleStreamCapacity].Time;
}

void SkipSampleStream(SampleStream& ring, int64_t time, int32_t& level) {
    const uint32_t head = ring.Head.load(std::memory_order_acquire);
    uint32_t tail = ring.Tail.load(std::memory_order_relaxed);
    for (; tail != head && ring.Levels[tail % SampleStreamCapacity].Time < time; ++tail)
        level = ring.Levels[tail % SampleStreamCapacity].Level;
    ring.Tail.store(tail, std::memory_order_release);
}

void RenderSampleLevels(SampleStream& ring, SampleLevelReader& reader, float* out, int32_t count, double span) {
    const uint32_t head = ring.Head.load(std::memory_order_acquire);
    uint32_t tail = ring.Tail.load(std::memory_order_relaxed);
    const double scale = 1.0 / (SampleFullScale * span);
    for (int32_t i = 0; i < count; ++i) {
        const double end = reader.Cursor + span;
        double from = reader.Cursor;
        double sum = 0;
        // Levels due within this sample's span; one that is already late
        // takes effect at its start.
        while (tail != head) {
            const SampleLevel& next = ring.Levels[tail % SampleStreamCapacity];
            const double at = double(next.Time);
            if (at >= end) break;
            if (at > from) {
                sum += double(reader.Level) * (at - from);
                from = at;
            }
            reader.Level = next.Level;
            ++tail;
        }
        sum += double(reader.Level) * (end - from);
        out[i] = float(sum * scale);
        reader.Cursor = end;
    }
    ring.Tail.store(tail, std::memory_order_release);
}
