#pragma once
// Connects a machine's sound device operations (machine/host.h) to the
// desktop's audio: MIDI through FluidSynth, PCM through SDL2 audio. The
// host's context becomes the machine: the audio plays its sample channels
// and takes its SoundFont setting. One machine plays at a time.

struct Machine;

void InstallAudioHost(Machine& m);
