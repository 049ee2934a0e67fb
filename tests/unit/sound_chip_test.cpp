// The four sound channels, observed through a recording output device in
// the sound driver table. Frequencies and loudnesses are worked out by hand
// from the register values: a tone channel plays 131072 / (2048 - x) Hz, the
// wave channel an octave lower, and a channel's loudness is
// volume x routing factor x 255 / 210.

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

// ---- reset and triggers ----

TEST_F(SoundChipTest, ResetSetsVoicesAndRoutesEveryChannelToBothTerminals) {
    Calls.clear();
    ResetSoundChip(chip, regs.data(), 4);
    // Tone voices for the three tone and wave channels, noise for the fourth;
    // then each of the two routing writes sends all four channels, silent,
    // at once (refresh mode 0 until the reset's own refresh asks for 1).
    const std::vector<OutputCall> expected = {
        {'V', 4, 0, 0}, {'V', 5, 0, 0}, {'V', 6, 0, 0}, {'V', 7, 1, 0}, Tone(4, 0, 0), Tone(5, 0, 0),
        Tone(6, 0, 0),  Tone(7, 0, 0),  Tone(4, 0, 0),  Tone(5, 0, 0),  Tone(6, 0, 0), Tone(7, 0, 0)};
    EXPECT_EQ(Calls, expected);
    EXPECT_EQ(regs[SoundReg::Master], 0x80);
    EXPECT_EQ(regs[SoundReg::TerminalLevels], 0x77);
    EXPECT_EQ(regs[SoundReg::Routing], 0xFF);
}

TEST_F(SoundChipTest, TriggeredSquareIsSentAtTheNextFrame) {
    Write(2, 0xF0);  // volume 15, no envelope
    Write(3, 0x00);
    Write(4, 0x87);  // trigger, x = 0x700
    EXPECT_TRUE(Calls.empty()) << "refresh mode 1 sends only once a frame";
    // 131072 / 256 = 512 Hz; 15 x 14 x 255 / 210 = 255.
    EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(0, 512, 255)});
    EXPECT_EQ(regs[SoundReg::Master] & 0x0F, 0x01);
    EXPECT_TRUE(Refresh().empty()) << "nothing changed since";
}

TEST_F(SoundChipTest, FrequencyWritesOfASilentChannelAreStoredButNotSent) {
    Write(8, 0x6B);
    Write(9, 0x07);  // no trigger: channel 1 stays off
    EXPECT_TRUE(Refresh().empty());
    EXPECT_EQ(regs[8], 0x6B);
    Write(7, 0xF0);
    Write(9, 0x87);  // now triggered: x = 0x76B = 1899, 131072 / 149 = 879 Hz
    EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(1, 879, 255)});
}

TEST_F(SoundChipTest, EnvelopeWriteChangesTheVolumeAtOnce) {
    Write(2, 0xF0);
    Write(4, 0x87);
    Refresh();
    Write(2, 0x90);  // volume 9 without a new trigger
    // 9 x 14 x 255 / 210 = 153.
    EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(0, 512, 153)});
}

TEST_F(SoundChipTest, RefreshModeZeroSendsEveryChangeAtOnce) {
    RefreshSoundChip(chip, 0);
    Calls.clear();
    Write(2, 0xF0);
    EXPECT_TRUE(Calls.empty()) << "the channel is not on yet";
    Write(4, 0x87);
    EXPECT_EQ(Calls, std::vector<OutputCall>{Tone(0, 512, 255)});
    Calls.clear();
    Write(3, 0x80);  // x = 0x780: 131072 / 128 = 1024 Hz
    EXPECT_EQ(Calls, std::vector<OutputCall>{Tone(0, 1024, 255)});
}

// ---- envelopes and lengths ----

TEST_F(SoundChipTest, EnvelopeStepsOncePerFrameWhateverItsPeriod) {
    Write(2, 0xA7);  // volume 10, down, period 7
    Write(4, 0x87);
    Refresh();
    // 9 x 14 x 255 / 210 = 153, 8 -> 136, 7 -> 119.
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(0, 512, 153)});
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(0, 512, 136)});
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(0, 512, 119)});
}

TEST_F(SoundChipTest, RisingEnvelopeStopsAtFifteenAndFallingAtZero) {
    Write(7, 0xE9);  // channel 1: volume 14, up, period 1
    Write(9, 0x87);
    Refresh();
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(1, 512, 255)});
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(1, 512, 255)}) << "clamped at 15";

    Write(7, 0x11);  // volume 1, down
    Refresh();
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(1, 512, 0)});
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(1, 512, 0)});
}

TEST_F(SoundChipTest, LengthExpiryStopsTheChannel) {
    Write(1, 0x30);  // 64 - 48 = 16 units of 1/256 s: 62 ms
    Write(2, 0xF0);
    Write(4, 0xC7);  // trigger with length enabled
    Refresh();
    for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(Frame().empty()) << "frame " << frame;
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(0, 0, 255)}) << "64 ms reach the 62 ms limit";
    EXPECT_EQ(regs[SoundReg::Master] & 1, 0);
    EXPECT_TRUE(Frame().empty());
}

TEST_F(SoundChipTest, LengthIsIgnoredWithoutItsEnableBit) {
    Write(1, 0x3F);  // one unit: 3 ms
    Write(2, 0xF0);
    Write(4, 0x87);
    Refresh();
    for (int frame = 0; frame < 5; ++frame) EXPECT_TRUE(Frame().empty());
}

TEST_F(SoundChipTest, WaveChannelLengthCountsInEightBits) {
    Write(SoundReg::WaveOn, 0x80);
    Write(SoundReg::WaveLevel, 0x20);
    Write(SoundReg::WaveLength, 0xF0);  // 256 - 240 = 16 units: 62 ms
    Write(14, 0xC7);
    Refresh();
    for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(2, 0, 255)});
}

// ---- the sweep ----

struct SweepCase {
    const char* name;
    uint8_t sweep;
    std::vector<int32_t> frequencies;  // sent after each sweep step
};

TEST_F(SoundChipTest, SweepUpDownAndOverflow) {
    // x = 1024 (128 Hz); sweep time 1 is 7 ms, so each 16 ms frame steps once.
    const SweepCase cases[] = {
        // 1024 + 512 = 1536 (256 Hz); 1536 + 768 = 2304 overflows: off.
        {"up, shift 1", 0x11, {256, 0}},
        // 1024 - 512 = 512 (85 Hz); 512 - 256 = 256 (73 Hz).
        {"down, shift 1", 0x19, {85, 73}},
        // Shift 0 doubles x: 2048 overflows at once.
        {"up, shift 0", 0x10, {0}},
        // ...or takes all of it: x = 0 is 131072 / 2048 = 64 Hz.
        {"down, shift 0", 0x18, {64}},
    };
    for (const SweepCase& sweepCase : cases) {
        SCOPED_TRACE(sweepCase.name);
        ResetSoundChip(chip, regs.data(), 0);
        RefreshSoundChip(chip, 1);
        Write(0, sweepCase.sweep);
        Write(2, 0xF0);
        Write(3, 0x00);
        Write(4, 0x84);
        EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(0, 128, 255)});
        for (int32_t frequency : sweepCase.frequencies)
            EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(0, frequency, 255)});
    }
}

TEST_F(SoundChipTest, SweepWritesTheNewValueBackIntoTheRegisters) {
    Write(0, 0x11);
    Write(1, 0x00);  // length 64 units: 250 ms
    Write(2, 0xF0);
    Write(4, 0xC4);  // length enable kept in bit 6
    Refresh();
    Frame();
    EXPECT_EQ(regs[3], 0x00);
    EXPECT_EQ(regs[4], 0xC6) << "x = 0x600: bits 0-2 replaced, the others kept";
}

TEST_F(SoundChipTest, SlowSweepWaitsForItsPeriod) {
    Write(0, 0x71);  // sweep time 7: 54 ms
    Write(2, 0xF0);
    Write(4, 0x84);
    Refresh();
    for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(Frame(), std::vector<OutputCall>{Tone(0, 256, 255)}) << "64 ms passed";
}

// ---- wave channel ----

TEST_F(SoundChipTest, WaveChannelPlaysAnOctaveBelowAToneChannelWithTheSameValue) {
    Write(SoundReg::WaveOn, 0x80);
    Write(SoundReg::WaveLevel, 0x20);  // full
    Write(14, 0x87);                   // x = 0x700
    // The pattern's 32 samples step at 2097152 / 256 per second: 256 Hz.
    EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(2, 256, 255)});
}

TEST_F(SoundChipTest, WaveOutputLevelCodes) {
    Write(SoundReg::WaveOn, 0x80);
    Write(14, 0x87);
    // Codes 0-3: mute, full (15), half (7), quarter (3).
    const int32_t expected[4] = {0, 255, 7 * 14 * 255 / 210, 3 * 14 * 255 / 210};
    ASSERT_EQ(expected[2], 119);
    ASSERT_EQ(expected[3], 51);
    for (uint8_t code = 0; code < 4; ++code) {
        Write(SoundReg::WaveLevel, uint8_t(code << 5));
        EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(2, 256, expected[code])}) << "code " << int(code);
    }
}

TEST_F(SoundChipTest, WaveTriggerNeedsThePlaybackSwitch) {
    Write(SoundReg::WaveLevel, 0x20);
    Write(14, 0x87);
    EXPECT_EQ(regs[SoundReg::Master] & 0x04, 0);
    Write(SoundReg::WaveOn, 0x80);
    Write(14, 0x87);
    EXPECT_EQ(regs[SoundReg::Master] & 0x04, 0x04);
    Refresh();
    Write(SoundReg::WaveOn, 0x00);  // switching it off silences the channel
    EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(2, 0, 0)});
    EXPECT_EQ(regs[SoundReg::Master] & 0x04, 0);
}

TEST_F(SoundChipTest, WavePatternChangesLoadTheWaveformOnce) {
    Write(SoundReg::WavePattern, 0x0F);
    Write(SoundReg::WavePattern + 15, 0x8F);
    EXPECT_EQ(Refresh(), std::vector<OutputCall>{{'W', 2, 32, 0}});
    // Nibble s becomes s x 255 / 15 - 128: 0 -> -128, 15 -> 127, 8 -> 8.
    EXPECT_EQ(LastWaveform[0], -128);
    EXPECT_EQ(LastWaveform[1], 127);
    EXPECT_EQ(LastWaveform[2], -128) << "untouched samples are 0";
    EXPECT_EQ(LastWaveform[30], 8);
    EXPECT_EQ(LastWaveform[31], 127);

    Write(SoundReg::WavePattern, 0x0F);  // the same value again
    EXPECT_TRUE(Refresh().empty());
}

// ---- noise, routing and drums ----

TEST_F(SoundChipTest, NoiseIsAFixed8192HzAndALittleQuieter) {
    Write(SoundReg::NoiseEnvelope, 0xF0);
    Write(SoundReg::NoiseParameters, 0x77);  // clock parameters are not used
    Write(SoundReg::NoiseControl, 0x80);
    // Factor (7 + 7) x 10000 / 11412 = 12; 15 x 12 x 255 / 210 = 218.
    EXPECT_EQ(Refresh(), std::vector<OutputCall>{Tone(3, 8192, 218)});
}

TEST_F(SoundChipTest, RoutingFactorsAddTheLevelsOfTheChosenTerminals) {
    Write(2, 0xF0);
    Write(4, 0x87);
    Write(7, 0xF0);
    Write(9, 0x87);
    Write(SoundReg::NoiseEnvelope, 0xF0);
    Write(SoundReg::NoiseControl, 0x80);
    Refresh();
    Write(SoundReg::TerminalLevels, 0x35);  // terminal 2 at 3, terminal 1 at 5
    Write(SoundReg::Routing, 0x9A);         // ch 0 -> 2, ch 1 -> 1, ch 3 -> 1 and 2
    // 15 x 3 x 255 / 210 = 54; 15 x 5 -> 91; channel 2 routed nowhere, and
    // silent; channel 3: 8 x 10000 / 11412 = 7, 15 x 7 x 255 / 210 = 127.
    const std::vector<OutputCall> expected = {Tone(0, 512, 54), Tone(1, 512, 91), Tone(2, 0, 0),
                                              Tone(3, 8192, 127)};
    EXPECT_EQ(Refresh(), expected);
}

TEST_F(SoundChipTest, DrumRequestStrikesOnlyWhenTheNoiseChannelSounds) {
    Calls.clear();
    RefreshSoundChip(chip, 0x81);
    EXPECT_TRUE(Calls.empty()) << "silent after reset";
    EXPECT_EQ(chip.RefreshMode, 1);

    Write(SoundReg::NoiseEnvelope, 0xF0);
    Write(SoundReg::NoiseControl, 0x80);
    Calls.clear();
    RefreshSoundChip(chip, 0x81);
    // Percussion note 28 with bit 8 marking a raw note, as loud as the noise.
    ASSERT_FALSE(Calls.empty());
    EXPECT_EQ(Calls[0], (OutputCall{'D', 0, 0x11C, 218}));
}

// ---- master enable ----

TEST_F(SoundChipTest, MasterOffResetsAndIgnoresWritesUntilOnAgain) {
    Write(2, 0xF0);
    Write(4, 0x87);
    Write(SoundReg::TerminalLevels, 0x11);
    Refresh();

    Calls.clear();
    Write(SoundReg::Master, 0x00);
    // The reset sends its voices and the four silent channels at once.
    ASSERT_EQ(Calls.size(), 12u);
    EXPECT_EQ(Calls[4], Tone(0, 0, 0));
    EXPECT_EQ(regs[SoundReg::Master], 0x00);
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
}

TEST_F(SoundChipTest, IndexOutsideTheRegistersIsRefused) {
    EXPECT_EQ(WriteSoundChip(chip, 48, 0xFF), 0);
    EXPECT_EQ(WriteSoundChip(chip, 255, 0xFF), 0);
}

}  // namespace
