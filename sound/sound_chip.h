#pragma once
// The four programmable sound channels (two square waves, the first with a
// frequency sweep, a wave-pattern channel and a noise channel), modelled in
// the register layout of the handheld's older sound unit: 48 one-byte
// registers. The I/O register layer translates each byte written to the
// sound registers into one of these; the scanline driver advances the chip
// once per frame.

#include <array>
#include <cstdint>

inline constexpr uint32_t SoundRegisterCount = 48;

struct SoundChipState {
    uint8_t* Regs = nullptr;   // the register image, SoundRegs
    int32_t FirstChannel = 0;  // output channel of the chip's channel 0
};

// The legacy register image (index 32-47 is the wave pattern).
extern std::array<uint8_t, SoundRegisterCount> SoundRegs;

// The machine's one sound chip.
extern SoundChipState SoundChip;

// Power-on state: registers cleared, master on, all channels silent.
void ResetSoundChip(SoundChipState& chip, uint8_t* regs, int32_t firstChannel);

// One register byte; returns 1 when index is a register (0-47), else 0 and
// the value is ignored (the translation table marks unused bytes 255).
int WriteSoundChip(SoundChipState& chip, uint32_t index, uint8_t value);

// Advances lengths, envelopes and the sweep by the given milliseconds.
void TickSoundChip(SoundChipState& chip, int32_t ms);

// Sends the channels' changes to the sound output. Mode 2 is the scanline
// driver's per-frame refresh; bit 7 asks for a drum hit.
void RefreshSoundChip(SoundChipState& chip, uint32_t mode);
