#pragma once
// The sample channels on a real-time output: their two streams resampled
// (libsamplerate) to the output's rate and summed, on the thread that feeds
// the output. The emulation writes the streams in bursts of a frame while
// the output drains them at its own pace, so each stream keeps a small
// backlog; its size steers the resampling ratio by up to half a percent, so
// that an emulation running a little fast or slow neither starves the
// output (crackles) nor lets the backlog, and with it the delay, grow. A
// backlog far too large (after a pause) is dropped down to the target.

#include <cstdint>

// Prepares the resamplers for an output at `rate` Hz and connects the core's
// streams. Emulation thread, before the output starts. False without
// resamplers; the sample channels then stay silent.
bool OpenSampleStreamPlayer(int32_t rate);
// Disconnects the streams and frees the resamplers, after the output has
// stopped.
void CloseSampleStreamPlayer();

// The next `count` output samples of both streams, full scale 1.0; silence
// where a stream has nothing. The output's thread only.
void RenderSampleStreams(float* out, int32_t count);

// A PCM stream of its own for the sample channels, beside the MIDI
// synthesiser: SDL2 audio at the synthesiser's rate, with the master volume
// and silent while the channel switch is 0. False when it cannot open.
bool OpenSampleStreamOutput(int32_t rate);
void SetSampleStreamVolume(int32_t volume);
void CloseSampleStreamOutput();
