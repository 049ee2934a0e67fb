#include "sound/midi_driver.h"

#include <algorithm>

#include "machine/machine.h"
#include "sound/sound_output.h"

namespace {

// Channel message types (the low four bits of a status byte are the channel).
constexpr uint32_t NoteOff = 0x80;
constexpr uint32_t NoteOn = 0x90;
constexpr uint32_t KeyPressure = 0xA0;
constexpr uint32_t ControlChange = 0xB0;
constexpr uint32_t ProgramChange = 0xC0;
constexpr uint32_t PitchBend = 0xE0;
constexpr uint32_t ChannelVolume = 7;
constexpr uint32_t PercussionChannel = 9;

// Notes below 9 Hz or above 12285 Hz fall outside the note table (and,
// mostly, outside hearing): such a tone is silence.
constexpr int32_t LowestFrequency = 9;
constexpr int32_t HighestFrequency = 12285;

void Send(Machine& m, uint32_t type, int32_t channel, uint32_t first, uint32_t second = 0) {
    m.Host.SendMidiMessage(m.Host.Context,
                           (type | uint32_t(MidiChannelOf(channel))) | (first & 0x7F) << 8 | (second & 0x7F) << 16);
}

void StopNote(Machine& m, int32_t channel) {
    OutputChannel& output = m.SoundDevice.Channels[channel];
    if (output.LastNote < 0) return;
    Send(m, NoteOff, channel, uint32_t(output.LastNote), 0);
    output.LastNote = -1;
}

// A new note is struck; the same note with another velocity only changes
// its loudness through key pressure, so it is not attacked again.
void StartNote(Machine& m, int32_t channel, int32_t note, int32_t velocity) {
    OutputChannel& output = m.SoundDevice.Channels[channel];
    if (note == output.LastNote && velocity == output.LastVelocity) return;
    if (note == output.LastNote) {
        Send(m, KeyPressure, channel, uint32_t(note), uint32_t(velocity));
    } else {
        StopNote(m, channel);
        Send(m, NoteOn, channel, uint32_t(note), uint32_t(velocity));
    }
    output.LastNote = note;
    output.LastVelocity = velocity;
}

}  // namespace

bool OpenMidiDevice(Machine& m) {
    if (!m.Host.OpenMidiOutput(m.Host.Context)) return false;
    m.SoundDevice.Mode.store(1, std::memory_order_relaxed);
    for (int32_t midiChannel = 0; midiChannel < 16; ++midiChannel)
        m.Host.SendMidiMessage(m.Host.Context, ControlChange | uint32_t(midiChannel) | ChannelVolume << 8 | 100u << 16);
    return true;
}

void CloseMidiDevice(Machine& m) { m.Host.CloseMidiOutput(m.Host.Context); }

void MidiSetVoice(Machine& m, int32_t channel, int32_t voice) {
    Send(m, ProgramChange, channel, uint32_t(ProgramOfVoice(voice)));
}

void MidiPlayTone(Machine& m, int32_t channel, int32_t frequency, int32_t volume) {
    OutputChannel& output = m.SoundDevice.Channels[channel];
    volume = std::clamp(volume, 0, 255);
    if (frequency < LowestFrequency || frequency > HighestFrequency) frequency = 0;
    output.Frequency.store(frequency, std::memory_order_relaxed);
    output.Volume.store(volume, std::memory_order_relaxed);
    if (!(m.SoundDevice.Switch.load(std::memory_order_relaxed) & (1 << channel))) return;
    if (volume == 0 || frequency == 0) {
        StopNote(m, channel);
        return;
    }
    const NoteEntry& entry = NoteTable[frequency / 3];
    StartNote(m, channel, entry.Note, volume / 2);
    if (entry.Bend != output.LastBend) {
        Send(m, PitchBend, channel, entry.Bend, uint32_t(entry.Bend) >> 7);
        output.LastBend = entry.Bend;
    }
}

void MidiHitDrum(Machine& m, int32_t type, int32_t force) {
    if (!(m.SoundDevice.Switch.load(std::memory_order_relaxed) & 0x8000)) return;
    force = std::clamp(force, 0, 255);
    m.Host.SendMidiMessage(m.Host.Context,
                           NoteOn | PercussionChannel | uint32_t(DrumNoteOf(type)) << 8 | uint32_t(force / 2) << 16);
}

void MidiSetMasterVolume(Machine& m, int32_t volume, int32_t oldSwitch, int32_t newSwitch) {
    const int32_t switchedOff = oldSwitch & ~newSwitch;
    for (int32_t channel = 0; channel < OutputChannelCount; ++channel)
        if (switchedOff & (1 << channel)) StopNote(m, channel);
    m.Host.SetMidiVolume(m.Host.Context, volume);
}
