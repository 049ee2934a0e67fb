#pragma once
// Offline PCM sound for koru-headless: the core's PCM synthesiser renders
// into a WAV file in emulated time, one buffer for every PcmBufferSamples
// samples' worth of emulated frames, with no audio device involved. The
// sample channels are mixed in at the emulated times their levels carry.

#include <cstdint>
#include <string>

struct Machine;

// Creates the file and stands in for the machine's host PCM output at
// `rate` Hz.
// False when the file cannot be created.
bool StartWavCapture(Machine& m, const std::string& path, int32_t rate);
// Renders the buffers that fall due in one more emulated frame.
void AdvanceWavCapture(Machine& m);
// Completes the file's header and closes it; false when a write failed.
bool FinishWavCapture(Machine& m);
