#pragma once
// Offline PCM sound for koru-headless: the core's PCM synthesiser renders
// into a WAV file in emulated time, one buffer for every PcmBufferSamples
// samples' worth of emulated frames, with no audio device involved. The
// sample channels are mixed in at the emulated times their levels carry.

#include <cstdint>
#include <string>

// Creates the file and stands in for the host's PCM output at `rate` Hz.
// False when the file cannot be created.
bool StartWavCapture(const std::string& path, int32_t rate);
// Renders the buffers that fall due in one more emulated frame.
void AdvanceWavCapture();
// Completes the file's header and closes it; false when a write failed.
bool FinishWavCapture();
