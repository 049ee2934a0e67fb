#include "sound/sound_chip.h"

std::array<uint8_t, SoundRegisterCount> SoundRegs{};
SoundChipState SoundChip;

// The channel emulation is not in place yet: the chip keeps its register
// image and makes no sound.

void ResetSoundChip(SoundChipState& chip, uint8_t* regs, int32_t firstChannel) {
    chip.Regs = regs;
    chip.FirstChannel = firstChannel;
}

int WriteSoundChip(SoundChipState& chip, uint32_t index, uint8_t value) {
    if (index >= SoundRegisterCount) return 0;
    if (chip.Regs) chip.Regs[index] = value;
    return 1;
}

void TickSoundChip(SoundChipState&, int32_t) {}

void RefreshSoundChip(SoundChipState&, uint32_t) {}
