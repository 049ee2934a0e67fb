#pragma once
// The MIDI device: FluidSynth in-process with a General MIDI soundfont. The
// core sends it the three-byte channel messages a MIDI port would receive.

#include <fluidsynth.h>

#include <cstdint>
#include <string>

// The soundfont to load: the configured file when it is one, else the
// system's default General MIDI soundfont, FluidR3_GM or TimGM6mb. Empty
// when none is installed.
std::string FindSoundFont(const char* configured);

struct MidiSynth {
    fluid_settings_t* Settings = nullptr;
    fluid_synth_t* Synth = nullptr;
    fluid_audio_driver_t* Driver = nullptr;  // null when rendered by the caller
};

// A synthesiser at `sampleRate` Hz with the soundfont loaded and ready for
// the core's messages. False (and nothing held) when no soundfont loads.
bool CreateMidiSynth(MidiSynth& midi, double sampleRate, const char* configuredSoundFont);
// Starts playing through the first audio driver that opens on this machine
// (PipeWire, PulseAudio, ALSA or SDL2). False when none does.
bool StartMidiSynthOutput(MidiSynth& midi);
void DestroyMidiSynth(MidiSynth& midi);

// One short message: status in bits 0-7, data bytes in bits 8-15 and 16-23.
void PlayMidiMessage(fluid_synth_t* synth, uint32_t message);
// Master volume 0-255 as the synthesiser's gain.
void SetMidiSynthVolume(fluid_synth_t* synth, int32_t volume);
