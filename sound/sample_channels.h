#pragma once
// The two DMA sample channels, FIFO A and FIFO B. A game streams signed
// 8-bit samples into a 32-byte FIFO per channel; timer 0 or timer 1 clocks
// the channel, and at each overflow of that timer the channel takes the next
// byte and holds it on its output until the following overflow. When a FIFO
// has fallen to half full, it asks the DMA channel aimed at it for four more
// words.
//
// The timers (machine/timers.h) call ClockSampleChannels at every overflow
// of a timer that clocks a channel, at the overflow's own cycle.
//
// The output leaves the core as a stream of levels, each with the emulated
// time from which it holds: the hardware's output is a step function, and a
// host-side reader turns it into samples at its own rate (SampleLevelReader
// below). The core never converts rates itself.

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

struct SampleChannelState {
    std::array<SampleFifo, 2> Fifos;
    uint16_t Control = 0;   // SOUNDCNT_H as it reads back
    uint16_t Bias = 0x200;  // SOUNDBIAS
    bool MasterOn = true;   // SOUNDCNT_X bit 7
    // Bit t: timer t clocks a channel that is switched on. The timers test
    // only this while the channels are idle.
    uint32_t ClockedTimers = 0;
    int32_t Level = 0;  // the output level last written to the stream
};

struct Machine;

// ---- the emulation side ----

// Power-on state: FIFOs empty, registers taken from IoRegs and the sound
// chip's master enable (also after a snapshot load, which holds no FIFOs).
void ResetSampleChannels(Machine& m);
// Re-reads the registers (after a snapshot load, for instance, which
// replaces them behind the write path). Once per frame.
void SyncSampleChannels(Machine& m);

// Register effects, called by WriteIoRegister before it stores the value.
void WriteSampleControl(Machine& m, uint16_t value);  // SOUNDCNT_H
void WriteSampleMaster(Machine& m, uint8_t value);    // SOUNDCNT_X low byte
void WriteSampleBias(Machine& m, uint16_t value);     // SOUNDBIAS
// A halfword written to FIFO A (channel 0) or B (1): two bytes, low first.
void PushFifo(Machine& m, uint32_t channel, uint16_t value);

// An overflow of `timer` at `time`: every channel it clocks takes its next
// byte, and a FIFO that is down to half full has its DMA channel refill it.
void ClockSampleChannels(Machine& m, uint32_t timer, int64_t time);

// ---- the stream ----

// From Time on (emulated cycles) the two channels sum to Level, in units of
// 1/512 of full scale (the hardware's 10-bit output range), both sides
// averaged into one. Every overflow of a clocking timer writes one, so the
// stream also tells a reader how far the emulation has got.
struct SampleLevel {
    int64_t Time;
    int32_t Level;
};
inline constexpr int32_t SampleFullScale = 512;
inline constexpr uint32_t CpuClockHz = 16777216;

// A single-producer single-consumer ring: the emulation thread writes, one
// reader (a sound thread, or the headless runner) reads. Neither side locks.
inline constexpr uint32_t SampleStreamCapacity = 8192;  // a power of two
struct SampleStream {
    std::array<SampleLevel, SampleStreamCapacity> Levels{};
    std::atomic<uint32_t> Head{0};  // next to write; advanced by the emulation thread
    std::atomic<uint32_t> Tail{0};  // next to read; advanced by the reader
    std::atomic<bool> Connected{false};  // a reader listens
};

// A reader starts or stops listening to a machine's SampleLevels. Levels are
// only written while one listens; connecting empties the stream. Emulation
// thread, before the reader starts and after it has stopped.
void ConnectSampleStream(SampleStream& ring);
void DisconnectSampleStream(SampleStream& ring);
bool SampleStreamConnected(const SampleStream& ring);

// ---- the reader's side ----

// Levels waiting in the stream, and the times of the oldest and the newest
// (only while some wait).
uint32_t SampleStreamFill(const SampleStream& ring);
int64_t OldestSampleTime(const SampleStream& ring);
int64_t NewestSampleTime(const SampleStream& ring);
// Drops every waiting level older than `time`, keeping the newest of them
// in force (a reader that fell behind catching up).
void SkipSampleStream(SampleStream& ring, int64_t time, int32_t& level);

// Turns the stream into samples at a host rate. Each output sample is the
// mean level over its own span of emulated time: the hardware's output
// holds each level until the next, so the mean is exact, and a level change
// in the middle of a span gives the sample its share. Rate changes, gaps
// and restarts of the game's sound need no special case.
struct SampleLevelReader {
    double Cursor = 0;  // emulated time at which the next output sample starts
    int32_t Level = 0;  // the level in force at Cursor
};
// Renders `count` samples of `span` cycles each from the cursor on into
// `out` (full scale 1.0), taking the levels due in that time from the
// stream; the last level holds beyond the newest one.
void RenderSampleLevels(SampleStream& ring, SampleLevelReader& reader, float* out, int32_t count, double span);
