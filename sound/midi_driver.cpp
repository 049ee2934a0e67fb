#include "sound/midi_driver.h"

#include <algorithm>

#include "machine/machine.h"
#include "sound/sound_output.h"

namespace {

constexpr uint32_t ChannelVolume = 7;
// The synthesiser is told a note ends with release velocity 0.
constexpr uint32_t ReleaseVelocity = 0;

// Sends to the synthesiser on the MIDI channel of an output channel.
auto SenderFor(Machine& m, int32_t channel) {
    return [&m, channel](uint32_t type, uint32_t first, uint32_t second) {
        m.Host.SendMidiMessage(m.Host.Context,
                               (type | uint32_t(MidiChannelOf(channel))) | (first & 0x7F) << 8 | (second & 0x7F) << 16);
    };
}

}  // namespace

bool OpenMidiDevice(Machine& m) {
    if (!m.Host.OpenMidiOutput(m.Host.Context)) return false;
    m.SoundDevice.Mode.store(1, std::memory_order_relaxed);
    for (int32_t midiChannel = 0; midiChannel < 16; ++midiChannel)
        m.Host.SendMidiMessage(m.Host.Context,
                               MidiMessage::ControlChange | uint32_t(midiChannel) | ChannelVolume << 8 | 100u << 16);
    return true;
}

void CloseMidiDevice(Machine& m) { m.Host.CloseMidiOutput(m.Host.Context); }

void MidiSetVoice(Machine& m, int32_t channel, int32_t voice) {
    SenderFor(m, channel)(MidiMessage::ProgramChange, uint32_t(ProgramOfVoice(voice)), 0);
}

void MidiPlayTone(Machine& m, int32_t channel, int32_t frequency, int32_t volume) {
    OutputChannel& output = m.SoundDevice.Channels[channel];
    volume = std::clamp(volume, 0, 255);
    if (frequency < LowestNoteFrequency || frequency > HighestNoteFrequency) frequency = 0;
    output.Frequency.store(frequency, std::memory_order_relaxed);
    output.Volume.store(volume, std::memory_order_relaxed);
    if (!(m.SoundDevice.Switch.load(std::memory_order_relaxed) & (1 << channel))) return;
    SendMidiTone(output.Midi, frequency, volume, ReleaseVelocity, SenderFor(m, channel));
}

void MidiHitDrum(Machine& m, int32_t type, int32_t force) {
    if (!(m.SoundDevice.Switch.load(std::memory_order_relaxed) & 0x8000)) return;
    force = std::clamp(force, 0, 255);
    m.Host.SendMidiMessage(m.Host.Context, MidiMessage::NoteOn | MidiPercussionChannel |
                                               uint32_t(DrumNoteOf(type)) << 8 | uint32_t(force / 2) << 16);
}

void MidiSetMasterVolume(Machine& m, int32_t volume, int32_t oldSwitch, int32_t newSwitch) {
    const int32_t switchedOff = oldSwitch & ~newSwitch;
    for (int32_t channel = 0; channel < OutputChannelCount; ++channel)
        if (switchedOff & (1 << channel))
            StopMidiNote(m.SoundDevice.Channels[channel].Midi, ReleaseVelocity, SenderFor(m, channel));
    m.Host.SetMidiVolume(m.Host.Context, volume);
}
