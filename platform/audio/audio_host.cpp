#include "platform/audio/audio_host.h"

#include "machine/machine.h"
#include "platform/audio/midi_synth.h"
#include "platform/audio/pcm_output.h"
#include "platform/audio/sample_stream.h"

namespace {

MidiSynth Midi;

// The synthesiser's output rate; its audio driver converts as needed.
constexpr double MidiSampleRate = 44100.0;

bool OpenMidiOutput(void* context) {
    Machine& m = *static_cast<Machine*>(context);
    DestroyMidiSynth(Midi);
    if (!CreateMidiSynth(Midi, MidiSampleRate, m.Settings.SoundFont)) return false;
    if (!StartMidiSynthOutput(Midi)) {
        DestroyMidiSynth(Midi);
        return false;
    }
    // The sample channels play beside the synthesiser on a stream of their
    // own; without one, the music plays without them.
    OpenSampleStreamOutput(m.SampleLevels, m.SoundDevice, int32_t(MidiSampleRate));
    return true;
}

void SendMidiMessage(void*, uint32_t message) {
    if (Midi.Synth) PlayMidiMessage(Midi.Synth, message);
}

void SetMidiVolume(void*, int32_t volume) {
    if (Midi.Synth) SetMidiSynthVolume(Midi.Synth, volume);
    SetSampleStreamVolume(volume);
}

void CloseMidiOutput(void*) {
    CloseSampleStreamOutput();
    if (Midi.Synth) fluid_synth_all_sounds_off(Midi.Synth, -1);
    DestroyMidiSynth(Midi);
}

}  // namespace

void InstallAudioHost(Machine& m) {
    HostInterface& host = m.Host;
    host.Context = &m;
    host.OpenMidiOutput = OpenMidiOutput;
    host.SendMidiMessage = SendMidiMessage;
    host.SetMidiVolume = SetMidiVolume;
    host.CloseMidiOutput = CloseMidiOutput;
    host.OpenPcmOutput = OpenSdlPcmOutput;
    host.PausePcmOutput = PauseSdlPcmOutput;
    host.SetPcmVolume = SetSdlPcmVolume;
    host.ClosePcmOutput = CloseSdlPcmOutput;
}
