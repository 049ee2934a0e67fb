#pragma once
// The PCM synthesiser: the sixteen output channels rendered as square
// waves, noise or looped waveforms, mixed in integers and converted to
// unsigned 8-bit mono samples, one buffer at a time. The
// buffers are rendered on the host's sound thread, which keeps a fixed
// number of them queued and refills each as soon as it has been played;
// the emulation thread only changes channel parameters.

#include <cstdint>

#include "machine/host.h"

struct Machine;
struct SoundDeviceState;

// Opens the host's PCM output at `rate` with `buffers` (clamped to 2-32)
// queued. False when there is none; the device mode then stays 0.
bool OpenPcmDevice(Machine& m, int32_t rate, int32_t buffers);
void ClosePcmDevice(Machine& m);

// The PCM synthesiser's share of the device operations (PCM mode only).
void PcmPlayTone(Machine& m, int32_t channel, int32_t frequency, int32_t volume);
void PcmLoadWaveform(Machine& m, int32_t channel, const int8_t* samples, int32_t count);
// Pauses the output while the switch is 0, resumes it when it is set again,
// and sets the gain.
void PcmSetMasterVolume(Machine& m, int32_t volume, int32_t oldSwitch, int32_t newSwitch);

// Renders the next `count` (at most PcmBufferSamples) samples of every
// enabled channel at the device's rate. Runs on the sound thread (or,
// offline, on the caller's).
void RenderPcmBuffer(SoundDeviceState& device, uint8_t* samples, int32_t count = PcmBufferSamples);
// The host's refill (the fill context is the SoundDeviceState): renders
// into the buffer unless the device is closing or no longer in PCM mode,
// in which case it returns false.
bool FillPcmBuffer(void* device, uint8_t* samples, int32_t count);

// Adds the sample channels at the device's rate (full scale = 1.0, the
// hardware's 10-bit range) to `count` unsigned 8-bit samples of the tone
// channels, clipping at the ends of the 8-bit range.
void MixSamplesIntoPcm(uint8_t* pcm, const float* samples, int32_t count);
// The same scale for mixers of their own: 8-bit steps per unit of full
// scale. The hardware mixes a sample channel at full volume (SOUNDCNT_H
// bits 2 and 3) at twice the four tone channels' combined maximum. Here
// those reach 4 x 255 / 20 = 51 steps either side of the centre, so a
// full-volume channel, which swings half the 10-bit range, swings 102
// steps, and the whole range is 204.
inline constexpr float SampleChannelPcmScale = 2 * 2 * 4 * (255 / 20.0f);
