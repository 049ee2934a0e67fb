// The four sound channels, observed through a recording output device in
// the sound driver table. Frequencies and loudnesses are worked out by hand
// from the register values: a tone channel plays 131072 / (2048 - x) Hz, the
// wave channel an octave lower, and a channel's loudness is
// volume x routing factor x 255 / 210. What the sound_tune cartridge plays
// (tone frequencies, a falling envelope, an upward sweep into overflow) is
// heard end to end by its cartridge test.

#include "sound/sound_chip.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "sound/sound_output.h"

namespace {

struct OutputCall {
    char kind;  // 'T' tone, 'V' voice, 'W' waveform, 'D' drum
    int32_t channel;
    int32_t a;
    int32_t b;
    bool operator==(const OutputCall&) const = default;
};
std::vector<OutputCall> Calls;
std::array<int8_t, 32> LastWaveform{};

void PrintTo(const OutputCall& call, std::ostream* out) {
    *out << call.kind << "(" << call.channel << ", " << call.a << ", " << call.b << ")";
}

OutputCall Tone(int32_t channel, int32_t frequency, int32_t volume) { return {'T', channel, frequency, volume}; }

class SoundChipTest : public testing::Test {
protected:
    void SetUp() override {
        savedDriver = SoundDriver;
        SoundDriver.SetVoice = [](int32_t c, int32_t v) { Calls.push_back({'V', c, v, 0}); };
        SoundDriver.HitDrum = [](int32_t t, int32_t f) { Calls.push_back({'D', 0, t, f}); };
        SoundDriver.SetMasterVolume = nullptr;
        SoundDriver.PlayTone = [](int32_t c, int32_t f, int32_t v) { Calls.push_back(Tone(c, f, v)); };
        SoundDriver.LoadWaveform = [](int32_t c, const int8_t* s, int32_t n) {
            Calls.push_back({'W', c, n, 0});
            std::copy(s, s + 32, LastWaveform.begin());
        };
        // As the machine reset does: reset, then refresh once a frame.
        ResetSoundChip(chip, regs.data(), 0);
        RefreshSoundChip(chip, 1);
        Calls.clear();
    }
    void TearDown() override { SoundDriver = savedDriver; }

    void Write(uint32_t index, uint8_t value) { ASSERT_EQ(WriteSoundChip(chip, index, value), 1); }
    // The scanline driver's frame: 16 ms, then the refresh.
    std::vector<OutputCall> Frame() {
        Calls.clear();
        TickSoundChip(chip, 16);
        RefreshSoundChip(chip, 2);
        return Calls;
    }
    std::vector<OutputCall> Refresh() {
        Calls.clear();
        RefreshSoundChip(chip, 2);
        return Calls;
    }

    SoundChipState chip;
    std::array<uint8_t, SoundRegisterCount> regs{};
    SoundDriverTable savedDriver;
};

TEST_F(SoundChipTest, LengthExpiryStopsTheChannel) {
    Write(1, 0x30);  // 64 - 48 = 16 units of 1/256 s: 62 ms
    Write(2, 0xF0);
    Write(4, 0xC7);  // trigger with length enabled
    Refresh();
    for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(Frame().empty()) << "frame " << frame;
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(0, 0, 255)}) << "64 ms reach the 62 ms limit";
    EXPECT_EQ(regs[SoundReg::Master] & 1, 0);
}

TEST_F(SoundChipTest, SweepUpDownAndOverflow) {
    // x = 1024 (128 Hz); sweep time 1 is 7 ms, so each 16 ms frame steps once.
    const struct {
        const char* name;
        uint8_t sweep;
        std::vector<int32_t> frequencies;  // sent after each step
    } cases[] = {
        {"down, shift 1", 0x19, {85, 73}},  // 512, then 256
        {"up, shift 0", 0x10, {0}},         // doubled: 2048 overflows
        {"down, shift 0", 0x18, {64}},      // x = 0
    };
    for (const auto& sweepCase : cases) {
        SCOPED_TRACE(sweepCase.name);
        ResetSoundChip(chip, regs.data(), 0);
        RefreshSoundChip(chip, 1);
        Write(0, sweepCase.sweep);
        Write(2, 0xF0);
        Write(4, 0x84);
        EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(0, 128, 255)});
        for (int32_t frequency : sweepCase.frequencies)
            EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(0, frequency, 255)});
    }
    EXPECT_EQ(regs[3], 0x00);
    EXPECT_EQ(regs[4], 0x80) << "x = 0 written back into bits 0-2, the other bits kept";
}

TEST_F(SoundChipTest, WaveChannelPlaysAnOctaveBelowAToneChannelWithTheSameValue) {
    Write(SoundReg::WaveLevel, 0x40);  // half: volume 7
    Write(14, 0x87);
    EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(2, 0, 0)}) << "off until its playback switch is on";
    Write(SoundReg::WaveOn, 0x80);
    Write(14, 0x87);  // x = 0x700
    // The pattern's 32 samples step at 2097152 / 256 per second: 256 Hz;
    // 7 x 14 x 255 / 210 = 119.
    EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(2, 256, 119)});

    // A changed pattern is loaded once. Nibble s becomes s x 255 / 15 -
    // 128: 0 -> -128, 15 -> 127, 8 -> 8.
    Write(SoundReg::WavePattern, 0x0F);
    Write(SoundReg::WavePattern + 15, 0x8F);
    EXPECT_EQ(Refresh(), (std::vector<OutputCall>{{'W', 2, 32, 0}}));
    EXPECT_EQ((std::array{LastWaveform[0], LastWaveform[1], LastWaveform[2], LastWaveform[30]}),
              (std::array<int8_t, 4>{-128, 127, -128, 8}));
    Write(SoundReg::WavePattern, 0x0F);  // the same value again
    EXPECT_TRUE(Refresh().empty());
}

TEST_F(SoundChipTest, DrumRequestStrikesOnlyWhenTheNoiseChannelSounds) {
    RefreshSoundChip(chip, 0x81);
    EXPECT_TRUE(Calls.empty()) << "silent after reset";
    EXPECT_EQ(chip.RefreshMode, 1);
    Write(SoundReg::NoiseEnvelope, 0xF0);
    Write(SoundReg::NoiseControl, 0x80);
    RefreshSoundChip(chip, 0x81);
    ASSERT_FALSE(Calls.empty());
    // Percussion note 28 (bit 8: a raw note), as loud as the noise.
    EXPECT_EQ(Calls[0], (OutputCall{'D', 0, 0x11C, 218}));
}

TEST_F(SoundChipTest, MasterOffResetsAndIgnoresWritesUntilOnAgain) {
    Write(2, 0xF0);
    Write(4, 0x87);
    Write(SoundReg::TerminalLevels, 0x11);
    Refresh();
    Calls.clear();
    Write(SoundReg::Master, 0x00);
    // The reset sets the voices (tone, tone, tone, noise) and silences the
    // four channels.
    EXPECT_EQ(Calls[3], (OutputCall{'V', 3, 1, 0}));
    EXPECT_EQ(Calls.back(), Tone(3, 0, 0));
    EXPECT_EQ(regs[SoundReg::TerminalLevels], 0x77);
    EXPECT_EQ(regs[SoundReg::Routing], 0xFF);

    Calls.clear();
    Write(2, 0xF0);
    Write(4, 0x87);
    EXPECT_TRUE(Calls.empty());
    EXPECT_EQ(regs[2], 0x00) << "writes are not even stored";

    Write(SoundReg::Master, 0x8F);  // the status bits cannot be written
    EXPECT_EQ(regs[SoundReg::Master], 0x80);
    Write(2, 0xF0);
    Write(4, 0x87);
    EXPECT_EQ(Calls, std::vector<OutputCall>{Tone(0, 512, 255)}) << "refresh mode 0 after such a reset";
    EXPECT_EQ(WriteSoundChip(chip, 48, 0xFF), 0) << "no register 48";
}

}  // namespace
