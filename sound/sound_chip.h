#pragma once
// The four programmable sound channels (two square-wave tone channels, the
// first with a frequency sweep, a wave-pattern channel and a noise channel),
// emulated at the level of notes: the chip keeps its register values,
// derives for each channel a frequency in Hz and a loudness, advances
// lengths, envelopes and the sweep once per frame, and hands every change to
// the sound output layer. It is modelled in the register layout of the
// handheld's older sound unit: 48 one-byte registers. The I/O register layer
// translates each byte written to the sound registers into one of these.
// The two DMA sample channels are a separate block (sample_channels.h).

#include <array>
#include <cstdint>

inline constexpr uint32_t SoundRegisterCount = 48;
inline constexpr int32_t SoundChannelCount = 4;

// Register indices of the legacy layout (channel c's five registers start
// at 5c; the wave pattern is the 16 bytes from WavePattern on).
namespace SoundReg {
inline constexpr uint32_t Sweep = 0;
inline constexpr uint32_t WaveOn = 10;
inline constexpr uint32_t WaveLength = 11;
inline constexpr uint32_t WaveLevel = 12;
inline constexpr uint32_t NoiseLength = 16;
inline constexpr uint32_t NoiseEnvelope = 17;
inline constexpr uint32_t NoiseParameters = 18;
inline constexpr uint32_t NoiseControl = 19;
inline constexpr uint32_t TerminalLevels = 20;
inline constexpr uint32_t Routing = 21;
inline constexpr uint32_t Master = 22;
inline constexpr uint32_t WavePattern = 32;
}  // namespace SoundReg

struct SoundChipState {
    uint8_t* Regs = nullptr;  // the register image, SoundRegs
    // Per channel.
    std::array<int32_t, SoundChannelCount> LengthTime{};         // ms since trigger; -1 = no length
    std::array<int32_t, SoundChannelCount> LengthLimit{};        // ms
    std::array<int32_t, SoundChannelCount> Frequency{};          // Hz; 0 = silent
    std::array<int32_t, SoundChannelCount> Volume{};             // 0-15
    std::array<int32_t, SoundChannelCount> Factor{};             // routing factor 0-14
    std::array<int32_t, SoundChannelCount> EnvelopeTime{};       // ms accumulated
    std::array<int32_t, SoundChannelCount> EnvelopePeriod{};     // 0 = none
    std::array<int32_t, SoundChannelCount> EnvelopeDirection{};  // +1 or -1
    // The wave pattern as signed samples: 4-bit s becomes s * 255 / 15 - 128.
    std::array<int8_t, 32> WaveSamples{};
    // The sweep of channel 0.
    int32_t SweepTime = 0;       // ms accumulated
    int32_t SweepPeriod = 0;     // ms; 0 = no sweep
    int32_t SweepDirection = 1;  // +1 up, -1 down
    int32_t SweepValue = 0;      // channel 0's 11-bit frequency value
    int32_t SweepShift = 0;
    int32_t FirstChannel = 0;  // output channel of the chip's channel 0
    uint8_t ChangedMask = 0;   // bit c: channel c must be sent again
    uint8_t WaveChanged = 0;
    uint8_t RefreshMode = 0;  // 0 = send every change at once, 1 = once a frame
};

// The legacy register image.
extern std::array<uint8_t, SoundRegisterCount> SoundRegs;

// The machine's one sound chip.
extern SoundChipState SoundChip;

// Power-on state: registers cleared, master on, both terminals at level 7
// with every channel routed to both, all channels silent, voices set.
void ResetSoundChip(SoundChipState& chip, uint8_t* regs, int32_t firstChannel);

// One register byte; returns 1 when index is a register (0-47), else 0 and
// the value is ignored (the translation table marks unused bytes 255).
int WriteSoundChip(SoundChipState& chip, uint32_t index, uint8_t value);

// Advances lengths, envelopes and the sweep by the given milliseconds.
void TickSoundChip(SoundChipState& chip, int32_t ms);

// Sends the channels' changes to the sound output. Mode 2 is the scanline
// driver's per-frame refresh; otherwise the mode is kept: 0 sends every
// later change at once, 1 only at the per-frame refresh. Bit 7 strikes a
// drum as loud as the noise channel.
void RefreshSoundChip(SoundChipState& chip, uint32_t mode);
