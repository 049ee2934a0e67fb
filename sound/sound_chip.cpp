#include "sound/sound_chip.h"

#include <algorithm>

#include "machine/machine.h"
#include "sound/sound_output.h"

namespace {

constexpr uint8_t MasterEnable = 0x80;
constexpr uint8_t Trigger = 0x80;
constexpr uint8_t LengthEnable = 0x40;
constexpr int32_t WaveChannel = 2;
constexpr int32_t NoiseChannel = 3;
// The noise channel is played as a fixed-pitch noise; its clock parameters
// are kept but not used.
constexpr int32_t NoiseFrequency = 8192;
// The drum struck on request: General MIDI percussion note 28 (slap).
constexpr int32_t RequestDrum = DrumNote | 28;

bool IsOn(const uint8_t* regs, int32_t channel) { return regs[SoundReg::Master] & (1u << channel); }

void MarkChanged(SoundChipState& chip, int32_t channel) { chip.ChangedMask |= uint8_t(1u << channel); }

// A tone channel's timer counts from its 11-bit value x up to 2048 once per
// eighth of a duty cycle at 1 MHz, so the square repeats at
// 131072 / (2048 - x) Hz.
int32_t FrequencyOf(int32_t value) { return 131072 / (2048 - value); }

// The wave channel steps through its 32 samples at 2097152 / (2048 - x)
// samples per second, so the pattern repeats at 65536 / (2048 - x) Hz: an
// octave below a tone channel with the same value.
int32_t WaveFrequencyOf(int32_t value) { return 65536 / (2048 - value); }

// Sets a tone or wave channel's frequency from its 11-bit value; channel 0
// keeps the value for its sweep.
void SetFrequencyValue(SoundChipState& chip, int32_t channel, int32_t value) {
    if (channel == 0) chip.SweepValue = value;
    chip.Frequency[channel] = channel == WaveChannel ? WaveFrequencyOf(value) : FrequencyOf(value);
    MarkChanged(chip, channel);
}

// Loudness 0-255: 15 (full volume) times 14 (level 7 on both terminals) is
// the loudest a channel can be.
int32_t SentVolume(const SoundChipState& chip, int32_t channel) {
    return chip.Volume[channel] * chip.Factor[channel] * 255 / 210;
}

// A channel's routing factor is the sum of the levels of the terminals it
// is routed to. The noise channel is made a little quieter than the others.
void RecomputeFactors(SoundChipState& chip, const uint8_t* regs) {
    const int32_t levelRight = regs[SoundReg::TerminalLevels] & 7;
    const int32_t levelLeft = (regs[SoundReg::TerminalLevels] >> 4) & 7;
    const uint8_t routing = regs[SoundReg::Routing];
    for (int32_t channel = 0; channel < SoundChannelCount; ++channel) {
        int32_t factor = ((routing >> (4 + channel)) & 1 ? levelLeft : 0) + ((routing >> channel) & 1 ? levelRight : 0);
        if (channel == NoiseChannel) factor = factor * 10000 / 11412;
        chip.Factor[channel] = factor;
        MarkChanged(chip, channel);
    }
}

// Lengths count in 1/256 s: (64 - n) units for the 6-bit lengths.
int32_t ShortLengthMs(uint8_t value) { return (64 - (value & 0x3F)) * 1000 / 256; }

void WriteEnvelope(SoundChipState& chip, const uint8_t* regs, int32_t channel, uint8_t value) {
    chip.Volume[channel] = value >> 4;
    chip.EnvelopePeriod[channel] = value & 7;
    chip.EnvelopeDirection[channel] = (value & 0x08) ? 1 : -1;
    if (IsOn(regs, channel)) MarkChanged(chip, channel);
}

void WriteFrequencyLow(SoundChipState& chip, const uint8_t* regs, int32_t channel, uint8_t value) {
    if (!IsOn(regs, channel)) return;
    const int32_t high = regs[5 * channel + 4] & 7;
    SetFrequencyValue(chip, channel, high << 8 | value);
}

void WriteFrequencyHigh(SoundChipState& chip, uint8_t* regs, int32_t channel, uint8_t value) {
    if (value & Trigger) {
        if (channel == WaveChannel) {
            // The wave channel only starts when its playback switch is on.
            if (regs[SoundReg::WaveOn] & 0x80) regs[SoundReg::Master] |= 1u << WaveChannel;
        } else {
            regs[SoundReg::Master] |= uint8_t(1u << channel);
            chip.Volume[channel] = regs[5 * channel + 2] >> 4;
        }
        chip.EnvelopeTime[channel] = 0;
        chip.LengthTime[channel] = (value & LengthEnable) ? 0 : -1;
        if (channel == 0) chip.SweepTime = 0;
    }
    if (IsOn(regs, channel)) SetFrequencyValue(chip, channel, (value & 7) << 8 | regs[5 * channel + 3]);
}

void WriteWaveControl(SoundChipState& chip, uint8_t* regs) {
    if (!(regs[SoundReg::WaveOn] & 0x80)) {
        regs[SoundReg::Master] &= uint8_t(~(1u << WaveChannel));
        chip.Volume[WaveChannel] = 0;
        chip.Frequency[WaveChannel] = 0;
    } else {
        // Output level codes 0-3: mute, full, half, quarter.
        const int32_t code = (regs[SoundReg::WaveLevel] >> 5) & 3;
        chip.Volume[WaveChannel] = code == 0 ? 0 : (32 >> code) - 1;
    }
    MarkChanged(chip, WaveChannel);
}

void TriggerNoise(SoundChipState& chip, uint8_t* regs, uint8_t value) {
    if (!(value & Trigger)) return;
    regs[SoundReg::Master] |= 1u << NoiseChannel;
    chip.Frequency[NoiseChannel] = NoiseFrequency;
    chip.Volume[NoiseChannel] = regs[SoundReg::NoiseEnvelope] >> 4;
    chip.EnvelopeTime[NoiseChannel] = 0;
    chip.LengthTime[NoiseChannel] = (value & LengthEnable) ? 0 : -1;
    MarkChanged(chip, NoiseChannel);
}

// Each byte holds two 4-bit samples, the high nibble first, scaled to the
// signed range -128..127.
void WriteWavePattern(SoundChipState& chip, const uint8_t* regs, uint32_t index, uint8_t value) {
    if (value == regs[index]) return;
    const uint32_t sample = 2 * (index - SoundReg::WavePattern);
    chip.WaveSamples[sample] = int8_t((value >> 4) * 255 / 15 - 128);
    chip.WaveSamples[sample + 1] = int8_t((value & 15) * 255 / 15 - 128);
    chip.WaveChanged = 1;
}

void StepLengthAndEnvelope(SoundChipState& chip, uint8_t* regs, int32_t channel, int32_t ms) {
    if (chip.LengthTime[channel] >= 0) {
        chip.LengthTime[channel] += ms;
        if (chip.LengthTime[channel] >= chip.LengthLimit[channel]) {
            chip.Frequency[channel] = 0;
            regs[SoundReg::Master] &= uint8_t(~(1u << channel));
            MarkChanged(chip, channel);
        }
    }
    // The step period (1-7) is compared with milliseconds as it stands, so
    // with the 16 ms frame tick an active envelope moves one step a frame.
    if (chip.Frequency[channel] == 0 || chip.EnvelopePeriod[channel] == 0) return;
    chip.EnvelopeTime[channel] += ms;
    if (chip.EnvelopeTime[channel] >= chip.EnvelopePeriod[channel]) {
        chip.EnvelopeTime[channel] -= chip.EnvelopePeriod[channel];
        chip.Volume[channel] = std::clamp(chip.Volume[channel] + chip.EnvelopeDirection[channel], 0, 15);
        MarkChanged(chip, channel);
    }
}

// The sweep moves channel 0's value x by x >> shift each period; a step
// past 2047 switches the channel off, one below 0 is not taken.
void StepSweep(SoundChipState& chip, uint8_t* regs, int32_t ms) {
    if (chip.Frequency[0] == 0 || chip.SweepPeriod == 0) return;
    chip.SweepTime += ms;
    if (chip.SweepTime < chip.SweepPeriod) return;
    chip.SweepTime -= chip.SweepPeriod;
    const int32_t value = chip.SweepValue + chip.SweepDirection * (chip.SweepValue >> chip.SweepShift);
    if (value > 2047) {
        regs[SoundReg::Master] &= uint8_t(~1u);
        chip.Frequency[0] = 0;
    } else if (value >= 0) {
        chip.SweepValue = value;
        regs[3] = uint8_t(value);
        regs[4] = uint8_t((regs[4] & ~7) | (value >> 8));
        chip.Frequency[0] = FrequencyOf(value);
    } else {
        chip.Frequency[0] = FrequencyOf(chip.SweepValue);
    }
    MarkChanged(chip, 0);
}

}  // namespace

void ResetSoundChip(Machine& m, int32_t firstChannel) {
    SoundChipState& chip = m.SoundChip;
    uint8_t* regs = m.SoundRegs.data();
    std::fill(regs, regs + SoundRegisterCount, 0);
    chip.LengthTime.fill(-1);
    chip.EnvelopeDirection.fill(-1);
    chip.LengthLimit.fill(0);
    chip.Frequency.fill(0);
    chip.Volume.fill(0);
    chip.Factor.fill(0);
    chip.EnvelopeTime.fill(0);
    chip.EnvelopePeriod.fill(0);
    chip.SweepTime = 0;
    chip.SweepPeriod = 0;
    chip.SweepValue = 0;
    chip.SweepShift = 0;
    chip.SweepDirection = 1;
    chip.RefreshMode = SoundRefresh::Immediate;
    chip.ChangedMask = 0x0F;
    chip.WaveChanged = 0;
    chip.WaveSamples.fill(-128);
    chip.FirstChannel = firstChannel;

    SetVoice(m, firstChannel + 0, VoiceTone);
    SetVoice(m, firstChannel + 1, VoiceTone);
    SetVoice(m, firstChannel + 2, VoiceTone);
    SetVoice(m, firstChannel + 3, VoiceNoise);

    regs[SoundReg::Master] = MasterEnable;
    WriteSoundChip(m, SoundReg::TerminalLevels, 0x77);
    WriteSoundChip(m, SoundReg::Routing, 0xFF);
}

bool WriteSoundChip(Machine& m, uint32_t index, uint8_t value) {
    if (index >= SoundRegisterCount) return false;
    SoundChipState& chip = m.SoundChip;
    uint8_t* regs = m.SoundRegs.data();
    // With the master enable off the whole unit ignores writes, except the
    // one that switches it on again.
    if (!(regs[SoundReg::Master] & MasterEnable) && index != SoundReg::Master) return true;

    const int32_t channel = int32_t(index / 5);
    switch (index) {
    case SoundReg::Sweep:
        // The sweep time n counts in 1/128 s.
        chip.SweepPeriod = ((value >> 4) & 7) * 1000 / 128;
        chip.SweepShift = value & 7;
        chip.SweepDirection = (value & 0x08) ? -1 : 1;
        break;
    case 1:
    case 6:
    case SoundReg::NoiseLength: chip.LengthLimit[channel] = ShortLengthMs(value); break;
    case 2:
    case 7:
    case SoundReg::NoiseEnvelope: WriteEnvelope(chip, regs, channel, value); break;
    case 3:
    case 8:
    case 13: WriteFrequencyLow(chip, regs, channel, value); break;
    case 4:
    case 9:
    case 14: WriteFrequencyHigh(chip, regs, channel, value); break;
    case SoundReg::WaveOn:
    case SoundReg::WaveLevel:
        regs[index] = value;
        WriteWaveControl(chip, regs);
        break;
    case SoundReg::WaveLength: chip.LengthLimit[WaveChannel] = (256 - value) * 1000 / 256; break;
    case SoundReg::NoiseControl: TriggerNoise(chip, regs, value); break;
    case SoundReg::TerminalLevels:
    case SoundReg::Routing:
        regs[index] = value;
        RecomputeFactors(chip, regs);
        break;
    case SoundReg::Master:
        // Switching the unit off resets it; the channel status bits (0-3)
        // cannot be written.
        if ((regs[index] & MasterEnable) && !(value & MasterEnable)) ResetSoundChip(m, chip.FirstChannel);
        value = uint8_t((value & 0xF0) | (regs[index] & 0x0F));
        break;
    default:
        if (index >= SoundReg::WavePattern) WriteWavePattern(chip, regs, index, value);
        break;
    }
    regs[index] = value;

    if (chip.RefreshMode == SoundRefresh::Immediate && (chip.ChangedMask || chip.WaveChanged)) RefreshSoundChip(m);
    return true;
}

void TickSoundChip(Machine& m, int32_t ms) {
    SoundChipState& chip = m.SoundChip;
    uint8_t* regs = m.SoundRegs.data();
    for (int32_t channel = 0; channel < SoundChannelCount; ++channel)
        if (chip.Frequency[channel] != 0) StepLengthAndEnvelope(chip, regs, channel, ms);
    StepSweep(chip, regs, ms);
    if (chip.RefreshMode == SoundRefresh::Immediate && chip.ChangedMask) RefreshSoundChip(m);
}

void RefreshSoundChip(Machine& m) {
    SoundChipState& chip = m.SoundChip;
    if (chip.WaveChanged) LoadWaveform(m, chip.FirstChannel + WaveChannel, chip.WaveSamples.data(), 32);
    for (int32_t channel = 0; channel < SoundChannelCount; ++channel)
        if (chip.ChangedMask & (1u << channel))
            PlayTone(m, chip.FirstChannel + channel, chip.Frequency[channel], SentVolume(chip, channel));
    chip.WaveChanged = 0;
    chip.ChangedMask = 0;
}

void SetSoundRefresh(Machine& m, SoundRefresh mode, bool strikeDrum) {
    if (strikeDrum) {
        const int32_t force = SentVolume(m.SoundChip, NoiseChannel);
        if (force) HitDrum(m, RequestDrum, force);
    }
    m.SoundChip.RefreshMode = mode;
    RefreshSoundChip(m);
}
