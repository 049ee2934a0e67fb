#include "sound/sound_output.h"

#include <algorithm>
#include <cmath>

#include "machine/machine.h"
#include "sound/midi_driver.h"
#include "sound/midi_log.h"
#include "sound/pcm_synth.h"

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

bool IsPcmMode(const Machine& m) { return m.SoundDevice.Mode.load(std::memory_order_relaxed) >= FirstPcmRate; }
bool IsMidiMode(const Machine& m) { return m.SoundDevice.Mode.load(std::memory_order_relaxed) == 1; }

// The device operations: each tests the mode and hands the call to the MIDI
// device or the PCM synthesiser.

void DeviceSetVoice(Machine& m, int32_t channel, int32_t voice) {
    if (m.SoundDevice.Mode.load(std::memory_order_relaxed) == 0 || channel < 0 || channel >= OutputChannelCount) return;
    m.SoundDevice.Channels[channel].Voice.store(voice, std::memory_order_relaxed);
    if (IsMidiMode(m)) MidiSetVoice(m, channel, voice);
}

void DeviceHitDrum(Machine& m, int32_t type, int32_t force) {
    if (IsMidiMode(m)) MidiHitDrum(m, type, force);
}

void DeviceSetMasterVolume(Machine& m, int32_t volume, int32_t channelSwitch) {
    if (m.SoundDevice.Mode.load(std::memory_order_relaxed) == 0) return;
    volume = std::clamp(volume, 0, 255);
    const int32_t newSwitch = channelSwitch & 0xFFFF;
    const int32_t oldSwitch = m.SoundDevice.Switch.load(std::memory_order_relaxed);
    if (IsMidiMode(m)) MidiSetMasterVolume(m, volume, oldSwitch, newSwitch);
    if (IsPcmMode(m)) PcmSetMasterVolume(m, volume, oldSwitch, newSwitch);
    m.SoundDevice.MasterVolume = volume;
    m.SoundDevice.Switch.store(newSwitch, std::memory_order_relaxed);
}

void DevicePlayTone(Machine& m, int32_t channel, int32_t frequency, int32_t volume) {
    if (channel < 0 || channel >= OutputChannelCount) return;
    if (IsMidiMode(m)) MidiPlayTone(m, channel, frequency, volume);
    if (IsPcmMode(m)) PcmPlayTone(m, channel, frequency, volume);
}

void DeviceLoadWaveform(Machine& m, int32_t channel, const int8_t* samples, int32_t count) {
    if (IsPcmMode(m)) PcmLoadWaveform(m, channel, samples, count);
}

}  // namespace

const std::array<NoteEntry, NoteTableSize> NoteTable = BuildNoteTable();

void PlayTone(Machine& m, int32_t channel, int32_t frequency, int32_t volume) {
    if (channel < 0) return;
    frequency = std::max(frequency, 0);
    volume = std::clamp(volume, 0, 255);
    if (m.SoundDriver.PlayTone) m.SoundDriver.PlayTone(m, channel, frequency, volume);
    if (channel < 15) LogTone(m.MidiLog, channel, frequency, volume);
}

void HitDrum(Machine& m, int32_t type, int32_t force) {
    force = std::clamp(force, 0, 255);
    if (m.SoundDriver.HitDrum) m.SoundDriver.HitDrum(m, type, force);
    LogDrum(m.MidiLog, DrumNoteOf(type), force / 2);
}

void SetVoice(Machine& m, int32_t channel, int32_t voice) {
    if (channel < 0) return;
    if (m.SoundDriver.SetVoice) m.SoundDriver.SetVoice(m, channel, voice);
    if (channel < 15) {
        RememberLogVoice(m.MidiLog, channel, voice);
        LogVoice(m.MidiLog, channel, voice);
    }
}

void SetMasterVolume(Machine& m, int32_t volume, int32_t channelSwitch) {
    volume = std::clamp(volume, 0, 255);
    if (m.SoundDriver.SetMasterVolume) m.SoundDriver.SetMasterVolume(m, volume, channelSwitch);
}

void LoadWaveform(Machine& m, int32_t channel, const int8_t* samples, int32_t count) {
    if (channel < 0 || count <= 0) return;
    if (m.SoundDriver.LoadWaveform) m.SoundDriver.LoadWaveform(m, channel, samples, count);
}

bool OpenSoundDevice(Machine& m, int32_t rate, int32_t buffers) {
    CloseSoundDevice(m);
    m.SoundDriver = {DeviceSetVoice, DeviceHitDrum, DeviceSetMasterVolume, DevicePlayTone, DeviceLoadWaveform};
    for (OutputChannel& channel : m.SoundDevice.Channels) {
        channel.Midi = {};
        channel.Frequency.store(0, std::memory_order_relaxed);
        channel.Volume.store(0, std::memory_order_relaxed);
        channel.Phase.store(0, std::memory_order_relaxed);
    }
    m.SoundDevice.Mode.store(0, std::memory_order_relaxed);
    m.SoundDevice.NoiseRegister = 1;

    if (rate == 0) return true;
    const bool opened = rate < FirstPcmRate ? OpenMidiDevice(m) : OpenPcmDevice(m, rate, buffers);
    if (!opened) return false;
    for (int32_t channel = 0; channel < OutputChannelCount; ++channel)
        DeviceSetVoice(m, channel, m.SoundDevice.Channels[channel].Voice.load(std::memory_order_relaxed));
    return true;
}

void CloseSoundDevice(Machine& m) {
    // Buffers the closing device hands back must not be refilled.
    m.SoundDevice.StopFlag.store(1, std::memory_order_relaxed);
    if (IsPcmMode(m)) ClosePcmDevice(m);
    if (IsMidiMode(m)) CloseMidiDevice(m);
    m.SoundDevice.Mode.store(0, std::memory_order_relaxed);
}
