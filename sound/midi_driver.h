#pragma once
// The MIDI device behind the sound output layer: each output channel plays
// on its own MIDI channel of a General MIDI synthesiser. Only real changes
// are sent: a repeated tone sends nothing, a change of loudness alone one
// key-pressure message, a pitch bend only when it differs.

#include <cstdint>

struct Machine;

// Opens the host's MIDI output and sets every channel's volume. False when
// there is none.
bool OpenMidiDevice(Machine& m);
void CloseMidiDevice(Machine& m);

// The MIDI device's share of the device operations (MIDI mode only).
void MidiSetVoice(Machine& m, int32_t channel, int32_t voice);
void MidiPlayTone(Machine& m, int32_t channel, int32_t frequency, int32_t volume);
void MidiHitDrum(Machine& m, int32_t type, int32_t force);
// Stops the notes of channels the new switch turns off, then sets the volume.
void MidiSetMasterVolume(Machine& m, int32_t volume, int32_t oldSwitch, int32_t newSwitch);
