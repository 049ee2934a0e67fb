#include "platform/audio/midi_synth.h"

#include <algorithm>

namespace {

constexpr int PercussionChannel = 9;
constexpr int ExpressionController = 11;

// The core's pitch bends are scaled for a range of 24 semitones either way
// (8192 units); a General MIDI synthesiser starts at 2.
constexpr int BendRangeSemitones = 24;

// Error messages of drivers that cannot open are expected on machines
// without that sound server; the emulation then runs silently.
void QuietLogging() {
    for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, nullptr, nullptr);
}

}  // namespace

std::string FindSoundFont(const char* configured) {
    if (configured && *configured && fluid_is_soundfont(configured)) return configured;
    for (const char* path : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/soundfonts/default.sf2",
                             "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"})
        if (fluid_is_soundfont(path)) return path;
    return {};
}

bool CreateMidiSynth(MidiSynth& midi, double sampleRate, const char* configuredSoundFont) {
    QuietLogging();
    const std::string soundFont = FindSoundFont(configuredSoundFont);
    if (soundFont.empty()) return false;
    midi.Settings = new_fluid_settings();
    if (!midi.Settings) return false;
    fluid_settings_setnum(midi.Settings, "synth.sample-rate", sampleRate);
    midi.Synth = new_fluid_synth(midi.Settings);
    if (!midi.Synth || fluid_synth_sfload(midi.Synth, soundFont.c_str(), 1) == FLUID_FAILED) {
        DestroyMidiSynth(midi);
        return false;
    }
    for (int channel = 0; channel < 16; ++channel)
        fluid_synth_pitch_wheel_sens(midi.Synth, channel, BendRangeSemitones);
    return true;
}

bool StartMidiSynthOutput(MidiSynth& midi) {
    for (const char* driver : {"pipewire", "pulseaudio", "alsa", "sdl2"}) {
        if (fluid_settings_setstr(midi.Settings, "audio.driver", driver) == FLUID_FAILED) continue;
        midi.Driver = new_fluid_audio_driver(midi.Settings, midi.Synth);
        if (midi.Driver) return true;
    }
    return false;
}

void DestroyMidiSynth(MidiSynth& midi) {
    if (midi.Driver) delete_fluid_audio_driver(midi.Driver);
    if (midi.Synth) delete_fluid_synth(midi.Synth);
    if (midi.Settings) delete_fluid_settings(midi.Settings);
    midi = MidiSynth{};
}

// The core plays one note at a time on each melodic channel and changes its
// loudness with polyphonic key pressure, which a General MIDI soundfont
// does not route to volume. So a note is struck at full velocity and its
// loudness is the channel's expression, which key pressure then moves; the
// expression and velocity curves are the same, so a note sounds as loud as
// its velocity asks. Drums overlap on the percussion channel and keep their
// velocities.
void PlayMidiMessage(fluid_synth_t* synth, uint32_t message) {
    const int status = int(message & 0xF0);
    const int channel = int(message & 0x0F);
    const int first = int(message >> 8 & 0x7F);
    const int second = int(message >> 16 & 0x7F);
    const bool melodic = channel != PercussionChannel;
    switch (status) {
    case 0x80: fluid_synth_noteoff(synth, channel, first); break;
    case 0x90:
        if (second == 0) {
            fluid_synth_noteoff(synth, channel, first);
        } else if (melodic) {
            fluid_synth_cc(synth, channel, ExpressionController, second);
            fluid_synth_noteon(synth, channel, first, 127);
        } else {
            fluid_synth_noteon(synth, channel, first, second);
        }
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, first, second);
        if (melodic) fluid_synth_cc(synth, channel, ExpressionController, second);
        break;
    case 0xB0: fluid_synth_cc(synth, channel, first, second); break;
    case 0xC0: fluid_synth_program_change(synth, channel, first); break;
    case 0xD0: fluid_synth_channel_pressure(synth, channel, first); break;
    case 0xE0: fluid_synth_pitch_bend(synth, channel, first | second << 7); break;
    default: break;
    }
}

// Half of full gain at the top of the volume range leaves the synthesiser
// room for four channels at full loudness without clipping much.
void SetMidiSynthVolume(fluid_synth_t* synth, int32_t volume) {
    fluid_synth_set_gain(synth, float(std::clamp(volume, 0, 255)) / 255.0f * 0.5f);
}
