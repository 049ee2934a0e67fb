// The desktop's player of the sample channels, fed by the sound driver
// cartridge running in the emulator, drained as an audio device drains it:
// in 512-sample blocks (the largest the desktop takes) when its clock says so, a little faster than the
// emulation runs, in bursts, and once left without a frame for a while.
// The bytes it hands the PCM output must be the cartridge's two tones
// throughout: no silence once it has started, no noise, the right pitch.

#include "platform/audio/sample_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "cpu/run_loop.h"
#include "game/game.h"
#include "machine/machine.h"
#include "sound/pcm_synth.h"
#include "tests/support/wav_analysis.h"

namespace {

constexpr int Rate = 44100;
constexpr double FrameSeconds = 280896.0 / 16777216.0;
constexpr uint32_t Frames = 2400;  // 40 s: the first rate (36 s) and the second

constexpr int32_t BlockSamples = 512;

struct Device {
    double Clock = 0;  // seconds the device has played
    uint32_t Frame = 0;
    std::vector<double> Played;  // 8-bit steps around the centre

    // The sound thread's work for one buffer: the tone channels (silent
    // here) and then the sample channels mixed into them.
    void PlayBlock() {
        std::vector<float> samples(BlockSamples);
        std::vector<uint8_t> pcm(BlockSamples, 0x80);
        RenderSampleStreams(samples.data(), BlockSamples);
        MixSamplesIntoPcm(pcm.data(), samples.data(), BlockSamples);
        for (uint8_t byte : pcm) Played.push_back(double(byte) - 128.0);
    }
    // The emulation has run one more frame. The device plays 0.3 % faster
    // than the emulation runs; every 500 frames it is held up for three
    // frames and then catches up; once the emulation stalls for a frame
    // while the device plays on.
    void AfterFrame() {
        ++Frame;
        const bool held = Frame % 500 < 3;
        const uint32_t frames = Frame == 1250 ? 2 : 1;
        Clock += frames * FrameSeconds * 1.003;
        if (held) return;
        while (double(Played.size() + BlockSamples) / Rate <= Clock) PlayBlock();
    }
};
Device Output;

uint32_t PollAndPlay(void* context) {
    Output.AfterFrame();
    if (Output.Frame >= Frames) static_cast<Machine*>(context)->StopRequested = true;
    return 0;
}

TEST(SampleStreamPlayer, PlaysTheDriverCartridgeWithoutGaps) {
    const std::unique_ptr<Machine> machine = CreateMachine();
    Machine& m = *machine;
    m.Host.Context = &m;
    m.Host.PollInput = PollAndPlay;
    m.LoadDefaultState = false;
    m.BatteryFileEnabled = false;
    ASSERT_TRUE(OpenSampleStreamPlayer(m.SampleLevels, Rate));
    ASSERT_TRUE(StartGame(m, KORU_FIFO_DRIVER).Started());
    while (RunFrame(m) != FrameEnd::Stopped) {
    }
    EndGame(m);
    CloseSampleStreamPlayer();

    const std::vector<double>& played = Output.Played;
    // The first rate from 0.5 s (the player has filled its backlog) to
    // 35.5 s, the second from 36.5 s on.
    for (const auto& [from, to] : {std::pair{0.5, 35.5}, {36.5, 39.0}}) {
        SCOPED_TRACE(from);
        const size_t first = size_t(from * Rate), last = size_t(to * Rate);
        EXPECT_EQ(FirstFlatRun(played, first, last, 32), last) << "a dropout";
        EXPECT_EQ(SilentWindows(played, first, last, Rate), 0u);
        EXPECT_LT(HighFrequencyShare(played, first, last, Rate, 6000), 0.05);
        // The player stretches or squeezes the time by up to half a percent
        // to hold its backlog.
        for (double tone : {440.0, 660.0}) EXPECT_NEAR(MeasuredFrequency(played, first, last, Rate, tone), tone, 0.006 * tone);
    }
}

}  // namespace
