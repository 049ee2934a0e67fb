#include "sound/pcm_synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "machine/machine.h"
#include "sound/sample_channels.h"
#include "sound/sound_output.h"

namespace {

constexpr auto Relaxed = std::memory_order_relaxed;

// A square wave: the phase is 16.16 fixed point and its bit 15 the output
// level. A sample in which the edge falls averages to 0, so a tone at
// exactly half the rate, which has an edge in every sample, is silent.
void AddSquare(std::span<int32_t> mix, OutputChannel& channel, int32_t rate, int32_t frequency, int32_t volume) {
    const uint32_t step = uint32_t((int64_t(frequency) << 16) / rate);
    uint32_t phase = channel.Phase.load(Relaxed);
    for (int32_t& mixed : mix) {
        const uint32_t next = phase + step;
        const bool highBefore = phase & 0x8000;
        const bool highAfter = next & 0x8000;
        if (highBefore == highAfter) mixed += highBefore ? volume : -volume;
        phase = next;
    }
    channel.Phase.store(phase, Relaxed);
}

// Noise from a 32-bit shift register, stepped once each time the phase
// passes a whole period (at most once a sample); its bit 0 is the level.
void AddNoise(SoundDeviceState& device, std::span<int32_t> mix, OutputChannel& channel, int32_t rate, int32_t frequency,
              int32_t volume) {
    const uint32_t step = uint32_t((int64_t(frequency) << 16) / rate);
    uint32_t phase = channel.Phase.load(Relaxed);
    uint32_t noise = device.NoiseRegister;
    for (int32_t& mixed : mix) {
        phase += step;
        if (phase & 0xFFFF0000u) {
            noise <<= 1;
            if (noise & 0x80000000u) noise ^= 0x08000001u;
            phase &= 0xFFFF;
        }
        mixed += (noise & 1) ? volume : -volume;
    }
    device.NoiseRegister = noise;
    channel.Phase.store(phase, Relaxed);
}

// A looped waveform of `length` samples, stretched over the output by linear
// interpolation. `span` is the number of output samples per waveform sample
// in units of 1/32768 and `sub` the position inside the current waveform
// sample in the same units; positions carry over from buffer to buffer.
void AddWaveform(std::span<int32_t> mix, OutputChannel& channel, int32_t rate, int32_t frequency, int32_t volume) {
    const int32_t length = channel.WaveLength.load(Relaxed);
    if (length <= 0) return;
    const int64_t span = (int64_t(rate) << 15) / (int64_t(length) * frequency);
    if (span <= 0) return;
    auto sample = [&](int32_t index) { return volume * channel.Waveform[index].load(Relaxed); };

    int32_t position = channel.WavePosition.load(Relaxed) % length;
    if (position < 0) position += length;
    int64_t sub = channel.Phase.load(Relaxed);
    int32_t current = sample(position);
    int32_t next = 0;
    int64_t step = 0;   // j: the output sample's place in this waveform sample
    int64_t steps = 1;  // n: output samples across it
    if (sub < span) {
        next = sample((position + 1) % length);
        step = (sub >> 15) + 1;
        steps = ((span - (sub & 0x7FFF)) >> 15) + 1;
    }
    for (int32_t& mixed : mix) {
        if (sub < span) {
            mixed += int32_t((current + (next - current) * step / steps) >> 7);
            sub += 0x8000;
            ++step;
        } else {
            position = int32_t((position + sub / span) % length);
            sub = sub % span + 0x8000;
            current = sample(position);
            mixed += current >> 7;
            if (sub < span) {
                next = sample((position + 1) % length);
                steps = ((span - sub) >> 15) + 1;
                step = 1;
            }
        }
    }
    channel.WavePosition.store(position, Relaxed);
    channel.Phase.store(uint32_t(sub), Relaxed);
}

}  // namespace

bool OpenPcmDevice(Machine& m, int32_t rate, int32_t buffers) {
    m.SoundDevice.Mode.store(0, Relaxed);
    m.SoundDevice.StopFlag.store(0, Relaxed);
    // The mode must be the rate before the first refill can come back.
    m.SoundDevice.Mode.store(rate, Relaxed);
    // The output also plays the sample channels' stream, so it is written
    // from now on.
    ConnectSampleStream(m.SampleLevels);
    if (!m.Host.OpenPcmOutput(m.Host.Context, rate, std::clamp(buffers, 2, 32), FillPcmBuffer, &m.SoundDevice)) {
        DisconnectSampleStream(m.SampleLevels);
        m.SoundDevice.Mode.store(0, Relaxed);
        return false;
    }
    return true;
}

void ClosePcmDevice(Machine& m) {
    m.Host.ClosePcmOutput(m.Host.Context);
    DisconnectSampleStream(m.SampleLevels);
}

// Tones above half the rate cannot be represented and are silent when
// rendered; noise is kept whatever its clock, because its register steps
// at most once a sample anyway (the noise channel's 8192 Hz would otherwise
// be lost at every rate below 16384).
void PcmPlayTone(Machine& m, int32_t channel, int32_t frequency, int32_t volume) {
    if (frequency < 0) frequency = 0;
    OutputChannel& output = m.SoundDevice.Channels[channel];
    output.Frequency.store(frequency, Relaxed);
    output.Volume.store(std::clamp(volume, 0, 255), Relaxed);
}

void PcmLoadWaveform(Machine& m, int32_t channel, const int8_t* samples, int32_t count) {
    if (channel < 0 || channel >= OutputChannelCount || count < 1 || count > 256) return;
    OutputChannel& output = m.SoundDevice.Channels[channel];
    for (int32_t i = 0; i < count; ++i) output.Waveform[i].store(samples[i], Relaxed);
    output.WaveLength.store(count, Relaxed);
    output.Voice.store(VoiceWaveform, Relaxed);
    output.WavePosition.store(0, Relaxed);
    output.Phase.store(0, Relaxed);
}

void PcmSetMasterVolume(Machine& m, int32_t volume, int32_t oldSwitch, int32_t newSwitch) {
    if (newSwitch == 0 && oldSwitch != 0) m.Host.PausePcmOutput(m.Host.Context, true);
    if (newSwitch != 0 && oldSwitch == 0) m.Host.PausePcmOutput(m.Host.Context, false);
    m.Host.SetPcmVolume(m.Host.Context, volume);
}

void RenderPcmBuffer(SoundDeviceState& device, uint8_t* samples, int32_t count) {
    count = std::clamp(count, 0, PcmBufferSamples);
    const std::span<int32_t> mix(device.Mix.data(), size_t(count));
    const int32_t rate = device.Mode.load(Relaxed);
    const int32_t channelSwitch = device.Switch.load(Relaxed);
    for (int32_t index = 0; index < OutputChannelCount; ++index) {
        OutputChannel& channel = device.Channels[index];
        // Each field is read once: the emulation thread may change it while
        // this buffer is being rendered.
        const int32_t frequency = channel.Frequency.load(Relaxed);
        const int32_t volume = channel.Volume.load(Relaxed);
        if (frequency <= 0 || volume == 0 || !(channelSwitch & (1 << index)) || rate <= 0) continue;
        const int32_t voice = channel.Voice.load(Relaxed);
        if (voice == VoiceNoise) {
            AddNoise(device, mix, channel, rate, frequency, volume);
        } else if (frequency <= rate / 2) {
            if (voice == VoiceWaveform)
                AddWaveform(mix, channel, rate, frequency, volume);
            else
                AddSquare(mix, channel, rate, frequency, volume);
        }
    }
    // One square at full volume swings 255 / 20 = 12 steps either side of
    // the 0x80 centre, so several channels fit before the mix clips.
    for (int32_t i = 0; i < count; ++i) {
        samples[i] = uint8_t(std::clamp(device.Mix[i] / 20, -128, 127) + 128);
        device.Mix[i] = 0;
    }
}

bool FillPcmBuffer(void* context, uint8_t* samples, int32_t count) {
    SoundDeviceState& device = *static_cast<SoundDeviceState*>(context);
    if (device.StopFlag.load(Relaxed) || device.Mode.load(Relaxed) < FirstPcmRate) return false;
    RenderPcmBuffer(device, samples, count);
    return true;
}

void MixSamplesIntoPcm(uint8_t* pcm, const float* samples, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t added = int32_t(std::lround(samples[i] * SampleChannelPcmScale));
        pcm[i] = uint8_t(std::clamp(pcm[i] - 128 + added, -128, 127) + 128);
    }
}
