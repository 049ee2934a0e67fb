#pragma once
// The MIDI device behind the sound output layer: each output channel plays
// on its own MIDI channel of a General MIDI synthesiser. Only real changes
// are sent: a repeated tone sends nothing, a change of loudness alone one
// key-pressure message, a pitch bend only when it differs.

#include <cstdint>

// Opens the host's MIDI output and sets every channel's volume. False when
// there is none.
bool OpenMidiDevice();
void CloseMidiDevice();

// The MIDI device's share of the device operations (MIDI mode only).
void MidiSetVoice(int32_t channel, int32_t voice);
void MidiPlayTone(int32_t channel, int32_t frequency, int32_t volume);
void MidiHitDrum(int32_t type, int32_t force);
// Stops the notes of channels the new switch turns off, then sets the volume.
void MidiSetMasterVolume(int32_t volume, int32_t oldSwitch, int32_t newSwitch);
