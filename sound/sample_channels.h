#pragma once
// The two DMA sample channels, FIFO A and FIFO B. A game streams signed
// 8-bit samples into a 32-byte FIFO per channel; timer 0 or timer 1 clocks
// the channel, and at each overflow of that timer the channel takes the next
// byte and holds it on its output until the following overflow. When a FIFO
// has fallen to half full, it asks the DMA channel aimed at it for four more
// words.
//
// The timers themselves advance once per slice, too coarsely to clock
// samples, so the channels keep a sample clock of their own: for each of the
// two timers, the cycles left to its next overflow, worked out from the
// reload value and the prescaler, so that every overflow of a slice is
// counted at its exact cycle.
//
// The output leaves the core as timestamped samples, one stream per timer
// (the sum of the channels that timer clocks), for a host-side reader to
// resample: the core never converts rates itself.

#include <array>
#include <atomic>
#include <cstdint>

inline constexpr uint32_t FifoCapacity = 32;
// A FIFO holding this many bytes or fewer after a sample asks for a refill.
inline constexpr uint32_t FifoRefillLevel = 16;
// Bus addresses of the two FIFOs, the destinations of their refill DMAs.
inline constexpr uint32_t FifoAddressA = 0x040000A0;
inline constexpr uint32_t FifoAddressB = 0x040000A4;

// SOUNDCNT_H: bits 0-1 volume of the tone channels as a whole (25, 50,
// 100 %), bit 2 channel A at 100 % (else 50 %), bit 3 the same for B; for A,
// bit 8 right, bit 9 left, bit 10 timer 1 (else 0), bit 11 FIFO reset; the
// same for B four bits higher.
namespace SampleControl {
inline constexpr uint16_t FullVolumeA = 1u << 2;
inline constexpr uint16_t FullVolumeB = 1u << 3;
inline constexpr uint16_t RightA = 1u << 8;
inline constexpr uint16_t LeftA = 1u << 9;
inline constexpr uint16_t Timer1A = 1u << 10;
inline constexpr uint16_t ResetA = 1u << 11;
inline constexpr uint32_t ChannelShift = 4;  // B's bits are A's shifted this far
// Bits 4-7 do not exist, and the reset bits act once and read back as 0.
inline constexpr uint16_t Readable = 0x770F;
}  // namespace SampleControl

struct SampleFifo {
    std::array<int8_t, FifoCapacity> Bytes{};
    uint32_t Read = 0;   // index of the oldest byte
    uint32_t Count = 0;  // bytes held
    int8_t Output = 0;   // the sample on the channel's output until the next overflow
};

// One timer as the sample channels see it.
struct SampleClock {
    int32_t Prescaler = 0;  // cycles per count: 0 stopped, else 1, 64, 256 or 1024
    bool CountUp = false;   // counts the overflows of timer 0 (timer 1 only)
    int32_t Remaining = 0;  // cycles from the start of the current slice to the next overflow
    uint32_t Counter = 0;   // count-up only: the count between overflows
};

struct SampleChannelState {
    std::array<SampleFifo, 2> Fifos;
    std::array<SampleClock, 2> Clocks;
    uint16_t Control = 0;   // SOUNDCNT_H as it reads back
    uint16_t Bias = 0x200;  // SOUNDBIAS
    bool MasterOn = true;   // SOUNDCNT_X bit 7
    // Bit t: timer t runs and clocks a channel that is switched on. The
    // scanline driver's hook tests only this while the channels are idle.
    uint32_t ClockedTimers = 0;
    uint64_t SliceStart = 0;  // emulated cycles at the start of the current slice
};
extern SampleChannelState SampleChannels;

// ---- the emulation side ----

// Power-on state: FIFOs empty, both clocks stopped, registers taken from
// IoRegs and the sound chip's master enable.
void ResetSampleChannels();

// Register effects, called by WriteIoRegister before it stores the value.
void WriteSampleControl(uint16_t value);  // SOUNDCNT_H
void WriteSampleMaster(uint8_t value);    // SOUNDCNT_X low byte
void WriteSampleBias(uint16_t value);     // SOUNDBIAS
// A halfword written to FIFO A (channel 0) or B (1): two bytes, low first.
void PushFifo(uint32_t channel, uint16_t value);

// A timer's control register is being written (the old value is still in
// IoRegs). Starting timer 0 or 1 starts its sample clock at the current
// cycle of the slice.
void SampleTimerControl(uint32_t timer, uint16_t oldValue, uint16_t newValue);

// Takes the slice's samples; the scanline driver calls SampleClockTick with
// the slice's elapsed cycles, so an idle machine pays one test.
void RunSampleClocks(int32_t elapsed);
inline void SampleClockTick(int32_t elapsed) {
    if (SampleChannels.ClockedTimers) RunSampleClocks(elapsed);
}

// Re-reads the registers and the timers' state (after a snapshot load, for
// instance, which replaces them behind the write path). Once per frame.
void SyncSampleChannels();

// ---- the streams ----

// One output sample of a stream: from Time on, for Period cycles, the
// channels clocked by the stream's timer sum to Value, in units of 1/512 of
// full scale (the hardware's 10-bit output range).
struct TimedSample {
    uint64_t Time;
    uint32_t Period;
    int16_t Value;
};
inline constexpr int32_t SampleFullScale = 512;
inline constexpr uint32_t CpuClockHz = 16777216;

// A single-producer single-consumer ring: the emulation thread writes, one
// reader (a sound thread, or the headless runner) reads. Neither side locks.
inline constexpr uint32_t SampleStreamCapacity = 8192;  // a power of two
struct SampleStream {
    std::array<TimedSample, SampleStreamCapacity> Samples{};
    std::atomic<uint32_t> Head{0};  // next to write; advanced by the emulation thread
    std::atomic<uint32_t> Tail{0};  // next to read; advanced by the reader
};
inline constexpr uint32_t SampleStreamCount = 2;  // one per timer
extern std::array<SampleStream, SampleStreamCount> SampleStreams;

// A reader starts or stops listening. Samples are only written while one
// listens; connecting empties the streams. Emulation thread, before the
// reader starts and after it has stopped.
void ConnectSampleStreams();
void DisconnectSampleStreams();
bool SampleStreamsConnected();

// The reader's side: samples waiting, the oldest `count` into `out` (returns
// how many were read), and dropping all but the newest `keep`.
uint32_t SampleStreamFill(uint32_t stream);
// The oldest waiting sample, left in place; only while the fill is above 0.
TimedSample PeekSampleStream(uint32_t stream);
uint32_t ReadSampleStream(uint32_t stream, TimedSample* out, uint32_t count);
void SkipSampleStream(uint32_t stream, uint32_t keep);
