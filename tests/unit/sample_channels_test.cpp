// The DMA sample channels where the sound driver cartridge cannot look: the
// FIFO reset bits, the level for each volume, side and bias setting, and
// how a reader turns the levels into samples. Expected levels are worked
// out by hand in the comments; streaming itself (timers, refills, restarts,
// rates) is checked by the fifo_driver cartridge.

#include "sound/sample_channels.h"

#include <gtest/gtest.h>

#include <vector>

#include "machine/bus.h"
#include "machine/io_registers.h"
#include "tests/support/scanline_steps.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t IoBase = 0x04000000;

class SampleChannelsTest : public testing::Test {
protected:
    void SetUp() override { Prepare(); }
    void TearDown() override { DisconnectSampleStream(); }

    // A machine just reset, sound on, the stream read by the test.
    static void Prepare() {
        ResetHardware();
        BusWrite16(IoBase + Io::SOUNDCNT_X, 0x0080);
        ConnectSampleStream();
    }
    // Timer 0 at `reload`, started by a store.
    static void StartTimer0(uint16_t reload) {
        BusWrite16(IoBase + Io::TM0CNT_L, reload);
        BusWrite16(IoBase + Io::TM0CNT_L + 2, 0x0080);
    }
    static void EndSlices(int count) {
        for (int i = 0; i < count; ++i) EndSlice();
    }
    static std::vector<SampleLevel> Read() {
        std::vector<SampleLevel> levels;
        SampleStream& ring = SampleLevels;
        for (uint32_t i = ring.Tail; i != ring.Head; ++i) levels.push_back(ring.Levels[i % SampleStreamCapacity]);
        ring.Tail.store(ring.Head.load());
        return levels;
    }

    TestMachine machine;
};

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

TEST_F(SampleChannelsTest, VolumeSidesAndBiasSetTheLevel) {
    // Per side: A or B at 100 % is 2s, at 50 % s; mono is the sides' mean.
    const struct {
        const char* name;
        uint16_t control, bias;
        int8_t a, b;
        int32_t level;
    } cases[] = {
        {"A 100 % both", 0x0304, 0x200, 100, 0, 200},
        {"A 50 % left", 0x0200, 0x200, -100, 0, -50},
        {"B 100 % both", 0x3008, 0x200, 0, 100, 200},
        {"B 50 % both (A's bit)", 0x3004, 0x200, 0, 100, 100},
        {"A and B 100 % both", 0x330C, 0x200, 60, -20, 80},
        // 2 x (127 + 127) = 508 on a side, and 0x200 + 508 fits in 10 bits;
        // 2 x (-128 - 128) = -512 clips at 0 - 0x200.
        {"loudest", 0x330C, 0x200, 127, 127, 508},
        {"softest", 0x330C, 0x200, -128, -128, -512},
        // SOUNDBIAS 0x4200: 8 bits. A at 50 % on both sides: 0x203 loses
        // its two low bits, 0x204 keeps them.
        {"8-bit, 3 lost", 0x0300, 0x4200, 3, 0, 0},
        {"8-bit, 4 kept", 0x0300, 0x4200, 4, 0, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare();
        BusWrite16(IoBase + Io::SOUNDBIAS, c.bias);
        BusWrite16(IoBase + Io::SOUNDCNT_H, c.control);
        BusWrite16(IoBase + 0x0A0, uint16_t(uint8_t(c.a) * 0x0101));
        BusWrite16(IoBase + 0x0A4, uint16_t(uint8_t(c.b) * 0x0101));
        Read();
        StartTimer0(0xFC00);
        EndSlices(2);  // 1232 cycles: one overflow
        const std::vector<SampleLevel> levels = Read();
        ASSERT_EQ(levels.size(), 1u);
        EXPECT_EQ(levels[0].Level, c.level);
    }
}

// A reader's sample is the mean level over its span. Levels 100 from 0,
// 300 from 15 and -200 from 40, read in spans of 10 cycles: 100; half 100
// and half 300; 300; 300; -200 (in 1/512 of full scale).
TEST_F(SampleChannelsTest, ReaderAveragesEachSpan) {
    SampleStream& ring = SampleLevels;
    const uint32_t head = ring.Head;
    for (uint32_t i = 0; const SampleLevel level : {SampleLevel{1000, 100}, {1015, 300}, {1040, -200}})
        ring.Levels[(head + i++) % SampleStreamCapacity] = level;
    ring.Head.store(head + 3);
    SampleLevelReader reader{.Cursor = 1000, .Level = 0};
    std::vector<float> samples(5);
    RenderSampleLevels(reader, samples.data(), 5, 10);
    const std::vector<float> expected{100 / 512.0f, 200 / 512.0f, 300 / 512.0f, 300 / 512.0f, -200 / 512.0f};
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_FLOAT_EQ(samples[i], expected[i]) << "sample " << i;
    EXPECT_EQ(SampleStreamFill(), 0u);
    EXPECT_EQ(reader.Cursor, 1050);
}

}  // namespace
