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

// When the chip hands its changes to the sound output: at once, or only at
// the scanline driver's per-frame refresh.
enum class SoundRefresh : uint8_t { Immediate = 0, PerFrame = 1 };

struct SoundChipState {
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
    SoundRefresh RefreshMode = SoundRefresh::Immediate;
};

// The machine's SoundChip works on the machine's SoundRegs (the legacy
// register image) and plays through the machine's sound output.
struct Machine;

// Power-on state: registers cleared, master on, both terminals at level 7
// with every channel routed to both, all channels silent, voices set.
// firstChannel is the output channel of the chip's channel 0.
void ResetSoundChip(Machine& m, int32_t firstChannel);

// One register byte; false when index is no register (0-47) and the value
// is ignored (the translation table marks unused bytes 255).
bool WriteSoundChip(Machine& m, uint32_t index, uint8_t value);

// Advances lengths, envelopes and the sweep by the given milliseconds.
void TickSoundChip(Machine& m, int32_t ms);

// Sends the channels' changes to the sound output: the scanline driver's
// per-frame refresh.
void RefreshSoundChip(Machine& m);

// Chooses when later changes are sent, then sends the waiting ones. With
// strikeDrum a drum as loud as the noise channel is struck first.
void SetSoundRefresh(Machine& m, SoundRefresh mode, bool strikeDrum);
