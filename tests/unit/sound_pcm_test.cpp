// The PCM synthesiser's numbers, sample by sample. The host's PCM output is
// replaced by one that only keeps the refill function, and buffers are
// rendered on the test's thread. The expected bytes are worked out by hand:
// a channel adds +volume or -volume (0 inside an edge), the mix is divided
// by 20 and centred on 128.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "machine/host.h"
#include "sound/pcm_synth.h"
#include "sound/sound_output.h"

namespace {

bool (*Fill)(uint8_t*) = nullptr;
std::vector<bool> Pauses;

using Buffer = std::array<uint8_t, PcmBufferSamples>;

class PcmSynthTest : public testing::Test {
protected:
    void SetUp() override {
        savedHost = Host;
        Host.OpenPcmOutput = [](int32_t, int32_t, bool (*fill)(uint8_t*)) {
            Fill = fill;
            return true;
        };
        Host.ClosePcmOutput = [] { Fill = nullptr; };
        Host.PausePcmOutput = [](bool paused) { Pauses.push_back(paused); };
        for (OutputChannel& channel : SoundDevice.Channels) channel.Voice.store(VoiceTone);
        Open(16384);
        Pauses.clear();
    }
    void TearDown() override {
        CloseSoundDevice();
        Host = savedHost;
    }

    void Open(int32_t rate) {
        ASSERT_EQ(OpenSoundDevice(rate, 16), 1);
        SetMasterVolume(255, 0xFFFF);
    }
    Buffer Render() {
        Buffer samples;
        EXPECT_TRUE(Fill && Fill(samples.data()));
        return samples;
    }

    HostInterface savedHost;
};

// The expected byte for a mix value.
constexpr uint8_t Level(int32_t mix) { return uint8_t(mix / 20 + 128); }

TEST_F(PcmSynthTest, SquareWaveHasZeroSamplesAtItsEdges) {
    // 1024 Hz at 16384: the phase steps by 0x1000, so bit 15 flips every 8
    // samples, and the sample in which it flips averages to 0.
    PlayTone(0, 1024, 200);
    const Buffer samples = Render();
    for (int i = 0; i < PcmBufferSamples; ++i) {
        const int place = i % 16;
        const uint8_t expected = place == 7 || place == 15 ? 128 : place < 7 ? Level(-200) : Level(200);
        ASSERT_EQ(samples[i], expected) << "sample " << i;
    }
}

// At half the rate every sample holds an edge; above it the tone is silent.
TEST_F(PcmSynthTest, SquareAtHalfTheRateIsAllEdges) {
    for (int32_t frequency : {8192, 8193}) {
        PlayTone(0, frequency, 255);
        for (uint8_t sample : Render()) ASSERT_EQ(sample, 128) << frequency << " Hz";
    }
}

TEST_F(PcmSynthTest, NewFrequencyContinuesFromThePhase) {
    // 1000 Hz steps by 4000: after 1024 samples the phase is 0x3E8000, with
    // bit 15 set. At 1024 Hz the next crossing, 0x3F0000, is 8 steps away.
    PlayTone(0, 1000, 200);
    Render();
    PlayTone(0, 1024, 200);
    const Buffer samples = Render();
    for (int i = 0; i < 7; ++i) EXPECT_EQ(samples[i], Level(200)) << "sample " << i;
    EXPECT_EQ(samples[7], 128);
    EXPECT_EQ(samples[8], Level(-200));
}

TEST_F(PcmSynthTest, NoiseAtEightKilohertzSurvivesLowRates) {
    CloseSoundDevice();
    Open(11025);
    SetVoice(3, VoiceNoise);
    PlayTone(3, 8192, 255);
    for (uint8_t sample : Render()) ASSERT_NE(sample, 128);
}

TEST_F(PcmSynthTest, WaveformIsInterpolatedAcrossBuffers) {
    // Four samples at 1024 Hz and 16384 samples per second: each waveform
    // sample spans 4 output samples (span 4 << 15), with the values in
    // between interpolated. At volume 128 a sample of 80 mixes as
    // 128 x 80 >> 7 = 80, and a quarter step is 20, one level.
    const int8_t waveform[4] = {0, 80, 0, -80};
    LoadWaveform(0, waveform, 4);
    PlayTone(0, 1024, 128);
    const Buffer first = Render();
    // The first stretch divides its step in fifths: 16, 32, 48, 64 mix.
    const uint8_t start[4] = {128, 129, 130, 131};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(first[i], start[i]) << "sample " << i;
    const int steady[16] = {0, 0, 0, 0, 4, 3, 2, 1, 0, -1, -2, -3, -4, -3, -2, -1};
    const int rising[4] = {0, 1, 2, 3};
    const Buffer second = Render();
    for (int i = 4; i < 2 * PcmBufferSamples; ++i) {
        const int place = i % 16;
        const int level = place < 4 ? rising[place] : steady[place];
        const uint8_t got = i < PcmBufferSamples ? first[i] : second[i - PcmBufferSamples];
        ASSERT_EQ(got, 128 + level) << "sample " << i << " counted across both buffers";
    }
}

TEST_F(PcmSynthTest, SixteenChannelsInPhaseClip) {
    for (int32_t channel = 0; channel < OutputChannelCount; ++channel) PlayTone(channel, 1024, 255);
    const Buffer samples = Render();
    // 16 x 255 / 20 = 204 levels: clipped to -128 and 127.
    EXPECT_EQ(samples[0], 0);
    EXPECT_EQ(samples[7], 128);
    EXPECT_EQ(samples[8], 255);
}

TEST_F(PcmSynthTest, SwitchGatesChannelsAndPausesTheOutput) {
    PlayTone(0, 1024, 200);
    PlayTone(1, 1024, 200);
    SetMasterVolume(255, 0x0001);
    EXPECT_EQ(Render()[0], Level(-200)) << "channel 1 switched off";
    SetMasterVolume(255, 0);
    SetMasterVolume(255, 0);
    SetMasterVolume(255, 0x0003);
    EXPECT_EQ(Pauses, (std::vector<bool>{true, false}));
    EXPECT_EQ(Render()[0], Level(-400));
    bool (*fill)(uint8_t*) = Fill;
    CloseSoundDevice();
    Buffer samples;
    EXPECT_FALSE(fill(samples.data())) << "a closing device is not refilled";
}

}  // namespace
