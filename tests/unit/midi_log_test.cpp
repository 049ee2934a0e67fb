// The MIDI log, byte for byte, and read back by a small Standard MIDI File
// parser that knows nothing of the writer.

#include "sound/midi_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sound/sound_output.h"
#include "tests/support/midi_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

class MidiLogTest : public testing::Test {
protected:
    void SetUp() override {
        CloseSoundDevice();  // no device: the log records all the same
        for (int32_t channel = 0; channel < 15; ++channel) RememberLogVoice(channel, VoiceTone);
        path = testing::TempDir() + "koru_midi_log_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
               ".mid";
        std::remove(path.c_str());
        InitMidiLog(path.c_str());
    }
    void TearDown() override {
        InitMidiLog(path.c_str());
        SetMidiLog(0);
        FinishMidiLog();
        std::remove(path.c_str());
    }

    Bytes Finish() {
        FinishMidiLog();
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    // The events after the fixed opening of a file (header, tempo, volumes
    // and the fifteen program changes): 142 - 4 bytes of end of track.
    static Bytes Body(const Bytes& file) { return Bytes(file.begin() + 138, file.end()); }

    std::string path;
};

TEST_F(MidiLogTest, EmptyRecordingHasTheFixedOpeningAndAnEnd) {
    ASSERT_EQ(SetMidiLog(1), 1);
    const Bytes file = Finish();
    // 22 header bytes, tempo 1 + 6, 16 volumes of 4, 15 program changes
    // of 3, end of track 4.
    // The 22 header bytes (format 0, one track, 1000 ticks a quarter) are
    // checked on every log the sound cartridges write.
    ASSERT_EQ(file.size(), 142u);
    const Bytes tempo = {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xB0, 0x07, 0x64};
    EXPECT_EQ(Bytes(file.begin() + 22, file.begin() + 33), tempo);
    EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0x00, 0xFF, 0x2F, 0x00}));

    // The programs go to output channels 0-14, skipping the percussion
    // channel 9.
    const MidiFile midi = ParseMidiFile(file);
    ASSERT_EQ(midi.error, "");
    ASSERT_EQ(midi.events.size(), 1u + 16 + 15 + 1);
    EXPECT_EQ(midi.events[17 + 8].status, 0xC8);
    EXPECT_EQ(midi.events[17 + 9].status, 0xCA);
    EXPECT_EQ(midi.events[17 + 9].data, Bytes{80});
}

TEST_F(MidiLogTest, SilencesKeepTheirLength) {
    SetMidiLog(1);
    for (int frame = 0; frame < 625; ++frame) AdvanceMidiLog(16);
    PlayTone(0, 880, 200);
    AdvanceMidiLog(0x200000);  // 2^21 ms, about 35 minutes
    HitDrum(0, 100);
    // 10000 = 0x2710: 0x80 | 0x4E, then 0x10. Then A at 880 Hz exactly,
    // velocity 100, and its bend 0x2000 at no distance; 2^21 takes four bytes.
    const Bytes expected = {0xCE, 0x10, 0x90, 81, 100,  0x00, 0xE0, 0x00, 0x40, 0x81, 0x80, 0x80,
                            0x00, 0x99, 77,   50, 0x00, 0x80, 81,   0x7F, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(Body(Finish()), expected);
}

TEST_F(MidiLogTest, TogglingOffAndOnKeepsTheFileAndDropsThePausedTime) {
    EXPECT_EQ(SetMidiLog(2), 1);
    PlayTone(1, 880, 200);
    AdvanceMidiLog(32);
    EXPECT_EQ(SetMidiLog(2), 0);  // off: the sounding note is stopped
    AdvanceMidiLog(5000);         // no time passes in the file
    PlayTone(1, 440, 200);        // not recorded
    SetVoice(2, VoiceNoise);      // remembered for the switch-on
    EXPECT_EQ(SetMidiLog(3), 0) << "3 only asks";
    EXPECT_EQ(SetMidiLog(1), 1);
    PlayTone(1, 880, 200);
    const Bytes expected = {0x00, 0x91, 81,  100,  0x00, 0xE1, 0x00, 0x40,  // recorded
                            0x20, 0x81, 81,  0x7F,                          // 32 ms, switch-off
                            0x00, 0xC2, 122,                                // the changed voice only
                            0x00, 0x91, 81,  100,                           // same bend: none
                            0x00, 0x81, 81,  0x7F, 0x00, 0xFF, 0x2F, 0x00};
    const Bytes file = Finish();
    EXPECT_EQ(Body(file), expected);
    EXPECT_EQ(ParseMidiFile(file).error, "");
}

TEST_F(MidiLogTest, UncreatableFileLeavesRecordingOff) {
    static const std::string badPath = testing::TempDir() + "no_such_folder/LOG.MID";
    InitMidiLog(badPath.c_str());
    EXPECT_EQ(SetMidiLog(1), 0);
    EXPECT_FALSE(MidiLogRecording());
}

TEST_F(MidiLogTest, GameEndFinishesTheFileAndTheNextStartRecordsAgain) {
    SetMidiLog(1);
    PlayTone(0, 880, 200);
    CloseMidiLog();
    EXPECT_FALSE(MidiLogRecording());
    {
        std::ifstream in(path, std::ios::binary);
        const MidiFile midi = ParseMidiFile(Bytes(std::istreambuf_iterator<char>(in), {}));
        ASSERT_EQ(midi.error, "");
        EXPECT_EQ(midi.events[midi.events.size() - 2].status, 0x80) << "the note is stopped before the end";
    }
    InitMidiLog(path.c_str());
    EXPECT_TRUE(MidiLogRecording());
    EXPECT_EQ(Finish().size(), 142u) << "a new file replaced the old one";
}

}  // namespace
