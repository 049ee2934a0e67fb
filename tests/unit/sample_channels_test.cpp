// The DMA sample channels: how many samples each slice takes at a given
// reload and prescaler, when the FIFO asks its DMA channel for more, the
// FIFO reset bits, and the level of a sample for each volume and output
// setting. Slices are ended as the run loop ends them; the streams the core
// writes are read back. Expected counts and levels are worked out by hand in
// the comments.

#include "sound/sample_channels.h"

#include <gtest/gtest.h>

#include <vector>

#include "cpu/access_cost.h"
#include "machine/bus.h"
#include "machine/io_registers.h"
#include "tests/support/scanline_steps.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t IoBase = 0x04000000;
constexpr uint32_t Source = 0x02000000;  // sample bytes for the DMA tests

class SampleChannelsTest : public testing::Test {
protected:
    void SetUp() override { Prepare(); }
    void TearDown() override { DisconnectSampleStreams(); }

    // A machine just reset, sound on, the streams read by the test, and the
    // CPU at the start of the slice that follows the reset (960 cycles).
    static void Prepare() {
        ResetHardware();
        BusWrite16(IoBase + Io::SOUNDCNT_X, 0x0080);
        ConnectSampleStreams();
        Cpu.Cycles = int32_t(Cpu.SliceLength);
    }

    // Timer `timer` at `reload` with TMxCNT_H = `control` (enable included),
    // started by a store that ends `intoSlice` cycles into the slice.
    static void StartTimer(uint32_t timer, uint16_t reload, uint16_t control, int32_t intoSlice = 0) {
        BusWrite16(IoBase + Io::TM0CNT_L + 4 * timer, reload);
        Cpu.Cycles = int32_t(Cpu.SliceLength) - intoSlice + RegionCost16(IoBase);
        BusWrite16(IoBase + Io::TM0CNT_L + 4 * timer + 2, control);
    }
    // Ends `count` slices, each run exactly to its end.
    static void EndSlices(int count) {
        for (int i = 0; i < count; ++i) {
            EndSlice();
            Cpu.Cycles = int32_t(Cpu.SliceLength);
        }
    }
    static std::vector<TimedSample> Read(uint32_t stream) {
        std::vector<TimedSample> samples(SampleStreamFill(stream));
        samples.resize(ReadSampleStream(stream, samples.data(), uint32_t(samples.size())));
        return samples;
    }

    TestMachine machine;
};

// Ten slices after the reset are 5 x 960 + 5 x 272 = 6160 cycles.
TEST_F(SampleChannelsTest, OverflowsPerSliceFollowReloadAndPrescaler) {
    const struct {
        const char* name;
        uint16_t reload, control;
        uint32_t period, samples;
    } cases[] = {
        {"16384 Hz", 0xFC00, 0x80, 1024, 6},        // 6160 / 1024
        {"16 cycles", 0xFFF0, 0x80, 16, 385},       // several per slice
        {"prescaler 64", 0xFFF0, 0x81, 1024, 6},    // 16 counts of 64
        {"prescaler 1024", 0xFFFF, 0x83, 1024, 6},  // 1 count of 1024
        {"prescaler 1024, slow", 0xFFF0, 0x83, 16384, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare();
        BusWrite16(IoBase + Io::SOUNDCNT_H, 0x0300);  // A on both sides, timer 0
        StartTimer(0, c.reload, c.control);
        EndSlices(10);
        const std::vector<TimedSample> samples = Read(0);
        ASSERT_EQ(samples.size(), c.samples);
        for (size_t i = 0; i < samples.size(); ++i) {
            EXPECT_EQ(samples[i].Period, c.period);
            if (i > 0) {
                EXPECT_EQ(samples[i].Time - samples[i - 1].Time, c.period) << "sample " << i;
            }
        }
        EXPECT_EQ(Read(1).size(), 0u) << "timer 1 clocks nothing";
    }
}

TEST_F(SampleChannelsTest, TimerStartedMidSliceOverflowsFromThatCycle) {
    BusWrite16(IoBase + Io::SOUNDCNT_H, 0x0300);
    StartTimer(0, 0xFC00, 0x80, 500);  // 500 cycles into the 960-cycle slice
    // First overflow 500 + 1024 = 1524 cycles after the slice's start: not
    // in the first slice (960) or the second (1232), in the third (2192).
    std::vector<size_t> perSlice;
    for (int slice = 0; slice < 3; ++slice) {
        EndSlices(1);
        perSlice.push_back(Read(0).size());
    }
    EXPECT_EQ(perSlice, (std::vector<size_t>{0, 0, 1}));
}

TEST_F(SampleChannelsTest, CountingUpTimerOneOverflowsEveryReloadSpan) {
    BusWrite16(IoBase + Io::SOUNDCNT_H, 0x7000);  // B on both sides, timer 1
    StartTimer(1, 0xFFFE, 0x84);                  // two overflows of timer 0 each
    StartTimer(0, 0xFFF0, 0x80);                  // every 16 cycles
    EndSlices(10);
    // Timer 0 overflows 6160 / 16 = 385 times, timer 1 at every second one.
    const std::vector<TimedSample> samples = Read(1);
    ASSERT_EQ(samples.size(), 192u);
    EXPECT_EQ(samples[1].Time - samples[0].Time, 32u);
    EXPECT_EQ(samples[0].Period, 32u);
}

TEST_F(SampleChannelsTest, HalfEmptyFifoRunsItsDmaForFourWords) {
    for (uint32_t i = 0; i < 256; ++i) machine.Write8(Source + i, uint8_t(i));
    BusWrite32(IoBase + 0x0BC, Source);        // DMA1SAD
    BusWrite32(IoBase + 0x0C0, FifoAddressA);  // DMA1DAD
    BusWrite16(IoBase + 0x0C4, 1);             // the count is ignored
    BusWrite16(IoBase + 0x0C6, 0xB240);        // Special, repeat, 16-bit (ignored), fixed
    // DMA2 aimed at FIFO B must not run for A.
    BusWrite32(IoBase + 0x0C8, Source + 128);
    BusWrite32(IoBase + 0x0CC, FifoAddressB);
    BusWrite16(IoBase + 0x0D2, 0xB640);
    BusWrite16(IoBase + Io::SOUNDCNT_H, 0x0104);  // A right only, 100 %
    StartTimer(0, 0xFC00, 0x80);
    EndSlices(15);
    // 15 slices from the reset: 8 x 960 + 7 x 272 = 9584 cycles, 9 overflows.
    // Overflow 1 finds the FIFO empty (the output stays 0) and refills it to
    // 16; overflow 2 plays byte 0, leaves 15 and refills to 31; overflows 3
    // to 9 play bytes 1-7 and leave 24.
    EXPECT_EQ(SampleChannels.Fifos[0].Count, 24u);
    EXPECT_EQ(ReadIoWord(0x0BC), Source + 32) << "two runs of four words";
    EXPECT_EQ(ReadIoWord(0x0C8), Source + 128) << "DMA2 feeds FIFO B only";
    std::vector<int16_t> values;
    for (const TimedSample& sample : Read(0)) values.push_back(sample.Value);
    // Right side only at 100 %: 2s on one side of two, so s in mono.
    EXPECT_EQ(values, (std::vector<int16_t>{0, 0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(SampleChannelsTest, ResetBitsEmptyOneFifoAndReadBackAsZero) {
    BusWrite32(IoBase + 0x0A0, 0x04030201);
    BusWrite32(IoBase + 0x0A0, 0x08070605);
    BusWrite16(IoBase + 0x0A4, 0x0A09);
    BusWrite8(IoBase + 0x0A6, 0x0B);  // a byte store writes its halfword
    EXPECT_EQ(SampleChannels.Fifos[0].Count, 8u);
    EXPECT_EQ(SampleChannels.Fifos[1].Count, 4u);
    BusWrite16(IoBase + Io::SOUNDCNT_H, 0x0B0E);  // A reset, B kept
    EXPECT_EQ(SampleChannels.Fifos[0].Count, 0u);
    EXPECT_EQ(SampleChannels.Fifos[1].Count, 4u);
    EXPECT_EQ(ReadIoHalf(Io::SOUNDCNT_H), 0x030E);
    BusWrite16(IoBase + Io::SOUNDCNT_H, 0xFFFF);
    EXPECT_EQ(SampleChannels.Fifos[1].Count, 0u);
    EXPECT_EQ(ReadIoHalf(Io::SOUNDCNT_H), 0x770F) << "bits 4-7 do not exist, resets read 0";
    // A full FIFO takes no more: 32 bytes in 16 halfwords, the 17th is lost.
    for (int i = 0; i < 17; ++i) BusWrite16(IoBase + 0x0A0, 0x0101);
    EXPECT_EQ(SampleChannels.Fifos[0].Count, 32u);
}

TEST_F(SampleChannelsTest, VolumeAndSidesSetTheLevel) {
    // Per side: A or B at 100 % is 2s, at 50 % s; mono is the sides' mean.
    const struct {
        const char* name;
        uint16_t control;
        int8_t a, b;
        int16_t value;
    } cases[] = {
        {"A 100 % both", 0x0304, 100, 0, 200},
        {"A 50 % left", 0x0200, -100, 0, -50},
        {"B 100 % both", 0x3008, 0, 100, 200},
        {"B 50 % both (A's bit)", 0x3004, 0, 100, 100},
        {"A and B 100 % both", 0x330C, 60, -20, 80},
        // 2 x (127 + 127) = 508 on a side, and 0x200 + 508 fits in 10 bits;
        // 2 x (-128 - 128) = -512 clips at 0 - 0x200.
        {"loudest", 0x330C, 127, 127, 508},
        {"softest", 0x330C, -128, -128, -512},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare();
        BusWrite16(IoBase + Io::SOUNDCNT_H, c.control);
        BusWrite16(IoBase + 0x0A0, uint16_t(uint8_t(c.a) * 0x0101));
        BusWrite16(IoBase + 0x0A4, uint16_t(uint8_t(c.b) * 0x0101));
        StartTimer(0, 0xFC00, 0x80);
        EndSlices(2);  // 1232 cycles: one overflow
        const std::vector<TimedSample> samples = Read(0);
        ASSERT_EQ(samples.size(), 1u);
        EXPECT_EQ(samples[0].Value, c.value);
    }
}

TEST_F(SampleChannelsTest, BiasResolutionDropsLowBits) {
    // SOUNDBIAS 0x4200: bias 0x200 at 8 bits. A at 50 % on both sides with
    // s = 3: 0x203 loses its two low bits, 0x200, silence; s = 4 stays 4.
    BusWrite16(IoBase + Io::SOUNDBIAS, 0x4200);
    BusWrite16(IoBase + Io::SOUNDCNT_H, 0x0300);
    BusWrite16(IoBase + 0x0A0, 0x0403);
    StartTimer(0, 0xFC00, 0x80);
    EndSlices(4);
    std::vector<int16_t> values;
    for (const TimedSample& sample : Read(0)) values.push_back(sample.Value);
    EXPECT_EQ(values, (std::vector<int16_t>{0, 4}));
}

TEST_F(SampleChannelsTest, IdleUnlessSwitchedOnWithARunningTimer) {
    EXPECT_EQ(SampleChannels.ClockedTimers, 0u);
    StartTimer(1, 0xFC00, 0x80);
    EXPECT_EQ(SampleChannels.ClockedTimers, 0u) << "no channel is switched on";
    BusWrite16(IoBase + Io::SOUNDCNT_H, 0x7000);  // B from timer 1
    EXPECT_EQ(SampleChannels.ClockedTimers, 2u);
    BusWrite16(IoBase + 0x0A4, 0x1111);
    BusWrite16(IoBase + Io::SOUNDCNT_X, 0x0000);  // the sound unit off
    EXPECT_EQ(SampleChannels.ClockedTimers, 0u);
    EXPECT_EQ(SampleChannels.Fifos[1].Count, 0u);
    EndSlices(4);
    EXPECT_EQ(Read(1).size(), 0u);
    BusWrite16(IoBase + Io::SOUNDCNT_X, 0x0080);
    EXPECT_EQ(SampleChannels.ClockedTimers, 2u);
    BusWrite16(IoBase + Io::TM0CNT_L + 6, 0x0000);  // timer 1 stopped
    EXPECT_EQ(SampleChannels.ClockedTimers, 0u);
    // The machine reset stops the timers, and with them the channels.
    BusWrite16(IoBase + Io::TM0CNT_L + 6, 0x0080);
    ResetHardware();
    EXPECT_EQ(SampleChannels.ClockedTimers, 0u);
}

}  // namespace
