#include "sound/sound_output.h"

#include <algorithm>
#include <cmath>

#include "sound/midi_driver.h"
#include "sound/midi_log.h"
#include "sound/pcm_synth.h"

SoundDeviceState SoundDevice;
SoundDriverTable SoundDriver;

namespace {

// MIDI note e = 69 + 12 log2(f / 440): note 69 is A at 440 Hz and each
// semitone is a twelfth of an octave. The bend carries the remainder.
std::array<NoteEntry, NoteTableSize> BuildNoteTable() {
    std::array<NoteEntry, NoteTableSize> table{};
    for (int32_t i = 0; i < NoteTableSize; ++i) {
        const double exact = 69.0 + 12.0 * std::log2((3.0 * i + 1.0) / 440.0);
        const double note = std::clamp(std::round(exact), 0.0, 127.0);
        table[i].Note = uint8_t(note);
        table[i].Bend = uint16_t(std::clamp(8192.0 + (exact - note) * 8192.0 / 24.0, 0.0, 16383.0));
    }
    return table;
}

bool IsPcmMode() { return SoundDevice.Mode.load(std::memory_order_relaxed) >= FirstPcmRate; }
bool IsMidiMode() { return SoundDevice.Mode.load(std::memory_order_relaxed) == 1; }

// The device operations: each tests the mode and hands the call to the MIDI
// device or the PCM synthesiser.

void DeviceSetVoice(int32_t channel, int32_t voice) {
    if (SoundDevice.Mode.load(std::memory_order_relaxed) == 0 || channel < 0 || channel >= OutputChannelCount) return;
    SoundDevice.Channels[channel].Voice.store(voice, std::memory_order_relaxed);
    if (IsMidiMode()) MidiSetVoice(channel, voice);
}

void DeviceHitDrum(int32_t type, int32_t force) {
    if (IsMidiMode()) MidiHitDrum(type, force);
}

void DeviceSetMasterVolume(int32_t volume, int32_t channelSwitch) {
    if (SoundDevice.Mode.load(std::memory_order_relaxed) == 0) return;
    volume = std::clamp(volume, 0, 255);
    const int32_t newSwitch = channelSwitch & 0xFFFF;
    const int32_t oldSwitch = SoundDevice.Switch.load(std::memory_order_relaxed);
    if (IsMidiMode()) MidiSetMasterVolume(volume, oldSwitch, newSwitch);
    if (IsPcmMode()) PcmSetMasterVolume(volume, oldSwitch, newSwitch);
    SoundDevice.MasterVolume = volume;
    SoundDevice.Switch.store(newSwitch, std::memory_order_relaxed);
}

void DevicePlayTone(int32_t channel, int32_t frequency, int32_t volume) {
    if (channel < 0 || channel >= OutputChannelCount) return;
    if (IsMidiMode()) MidiPlayTone(channel, frequency, volume);
    if (IsPcmMode()) PcmPlayTone(channel, frequency, volume);
}

void DeviceLoadWaveform(int32_t channel, const int8_t* samples, int32_t count) {
    if (IsPcmMode()) PcmLoadWaveform(channel, samples, count);
}

}  // namespace

const std::array<NoteEntry, NoteTableSize> NoteTable = BuildNoteTable();

void PlayTone(int32_t channel, int32_t frequency, int32_t volume) {
    if (channel < 0) return;
    frequency = std::max(frequency, 0);
    volume = std::clamp(volume, 0, 255);
    if (SoundDriver.PlayTone) SoundDriver.PlayTone(channel, frequency, volume);
    if (channel < 15) LogTone(channel, frequency, volume);
}

void HitDrum(int32_t type, int32_t force) {
    force = std::clamp(force, 0, 255);
    if (SoundDriver.HitDrum) SoundDriver.HitDrum(type, force);
    LogDrum(DrumNoteOf(type), force / 2);
}

void SetVoice(int32_t channel, int32_t voice) {
    if (channel < 0) return;
    if (SoundDriver.SetVoice) SoundDriver.SetVoice(channel, voice);
    if (channel < 15) {
        RememberLogVoice(channel, voice);
        LogVoice(channel, voice);
    }
}

void SetMasterVolume(int32_t volume, int32_t channelSwitch) {
    volume = std::clamp(volume, 0, 255);
    if (SoundDriver.SetMasterVolume) SoundDriver.SetMasterVolume(volume, channelSwitch);
}

void LoadWaveform(int32_t channel, const int8_t* samples, int32_t count) {
    if (channel < 0 || count <= 0) return;
    if (SoundDriver.LoadWaveform) SoundDriver.LoadWaveform(channel, samples, count);
}

int OpenSoundDevice(int32_t rate, int32_t buffers) {
    CloseSoundDevice();
    SoundDriver = {DeviceSetVoice, DeviceHitDrum, DeviceSetMasterVolume, DevicePlayTone, DeviceLoadWaveform};
    for (OutputChannel& channel : SoundDevice.Channels) {
        channel.LastNote = -1;
        channel.LastBend = -1;
        channel.LastVelocity = -1;
        channel.Frequency.store(0, std::memory_order_relaxed);
        channel.Volume.store(0, std::memory_order_relaxed);
        channel.Phase.store(0, std::memory_order_relaxed);
    }
    SoundDevice.Mode.store(0, std::memory_order_relaxed);
    SoundDevice.NoiseRegister = 1;

    if (rate == 0) return 1;
    const bool opened = rate < FirstPcmRate ? OpenMidiDevice() : OpenPcmDevice(rate, buffers);
    if (!opened) return 0;
    for (int32_t channel = 0; channel < OutputChannelCount; ++channel)
        DeviceSetVoice(channel, SoundDevice.Channels[channel].Voice.load(std::memory_order_relaxed));
    return 1;
}

void CloseSoundDevice() {
    // Buffers the closing device hands back must not be refilled.
    SoundDevice.StopFlag.store(1, std::memory_order_relaxed);
    if (IsPcmMode()) ClosePcmDevice();
    if (IsMidiMode()) CloseMidiDevice();
    SoundDevice.Mode.store(0, std::memory_order_relaxed);
}
