#pragma once
// Connects the core's sound device operations (machine/host.h) to the
// desktop's audio: MIDI through FluidSynth, PCM through SDL2 audio.

struct HostInterface;

void InstallAudioHost(HostInterface& host);
