#pragma once
// The sample channels on a real-time output: their stream of levels turned
// into samples at the output's rate (RenderSampleLevels), on the thread that
// feeds the output. The emulation writes the stream in bursts of a frame
// while the output drains it at its own pace, so the player stays a small
// backlog behind the newest level; the backlog's size steers the playing
// speed by up to half a percent, so that an emulation running a little fast
// or slow neither starves the output (crackles) nor lets the backlog, and
// with it the delay, grow. A backlog far too large (after a pause) is
// dropped down to the target.

#include <cstdint>

struct SampleStream;
struct SoundDeviceState;

// Prepares the player for an output at `rate` Hz and connects a machine's
// stream (its SampleLevels). Emulation thread, before the output starts.
// False for a rate of 0 or below; the sample channels then stay silent.
bool OpenSampleStreamPlayer(SampleStream& stream, int32_t rate);
// Disconnects the stream, after the output has stopped.
void CloseSampleStreamPlayer();

// The next `count` output samples of the sample channels, full scale 1.0;
// silence while the stream has nothing. The output's thread only.
void RenderSampleStreams(float* out, int32_t count);

// A PCM stream of its own for the sample channels, beside the MIDI
// synthesiser: SDL2 audio at the synthesiser's rate, with the master volume
// and silent while the sound device's channel switch is 0. False when it
// cannot open.
bool OpenSampleStreamOutput(SampleStream& stream, const SoundDeviceState& device, int32_t rate);
void SetSampleStreamVolume(int32_t volume);
void CloseSampleStreamOutput();
