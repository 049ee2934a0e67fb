// The output layer with the MIDI device behind it, observed through a
// recording MIDI port. Messages are written as the port receives them:
// status in the low byte, then the two data bytes.

#include <gtest/gtest.h>

#include <vector>

#include "machine/host.h"
#include "sound/sound_output.h"

namespace {

std::vector<uint32_t> Sent;
std::vector<int32_t> VolumesSet;
bool PortAvailable = true;

constexpr uint32_t Message(uint32_t status, uint32_t first, uint32_t second = 0) {
    return status | first << 8 | second << 16;
}

class MidiDeviceTest : public testing::Test {
protected:
    void SetUp() override {
        savedHost = Host;
        Sent.clear();
        VolumesSet.clear();
        PortAvailable = true;
        Host.OpenMidiOutput = [] { return PortAvailable; };
        Host.SendMidiMessage = [](uint32_t message) { Sent.push_back(message); };
        Host.SetMidiVolume = [](int32_t volume) { VolumesSet.push_back(volume); };
        Host.CloseMidiOutput = [] {};
        for (int32_t channel = 0; channel < OutputChannelCount; ++channel) SoundDevice.Channels[channel].Voice.store(0);
        ASSERT_EQ(OpenSoundDevice(1, 16), 1);
        SetMasterVolume(200, 0xFFFF);
        Sent.clear();
    }
    void TearDown() override {
        CloseSoundDevice();
        Host = savedHost;
    }

    HostInterface savedHost;
};

// An open sends a volume for each of the 16 MIDI channels, then replays
// the voices set while a device was open.
TEST_F(MidiDeviceTest, OpenReplaysTheVoices) {
    SetVoice(3, VoiceNoise);
    SetVoice(15, VoiceProgram | 0x85);  // bits 0-6 used unchanged
    CloseSoundDevice();
    SetVoice(1, VoiceNoise);  // lost: no device open
    Sent.clear();
    ASSERT_EQ(OpenSoundDevice(100, 16), 1) << "any rate below 8192 is MIDI";
    ASSERT_EQ(Sent.size(), 32u);
    EXPECT_EQ(Sent[17], Message(0xC1, 80)) << "tone: square lead";
    EXPECT_EQ(Sent[19], Message(0xC3, 122)) << "noise: seashore";
    EXPECT_EQ(Sent[31], Message(0xC9, 5)) << "output channel 15 on the percussion channel";

    PortAvailable = false;
    Sent.clear();
    EXPECT_EQ(OpenSoundDevice(1, 16), 0);
    PlayTone(0, 440, 200);
    EXPECT_TRUE(Sent.empty()) << "no port: silence";
}

TEST_F(MidiDeviceTest, OnlyRealChangesAreSentAndUnplayableNotesStop) {
    PlayTone(2, 440, 200);
    // 440 / 3 = entry 146 (439 Hz): note 69, velocity 100, bend 8178 or so.
    ASSERT_EQ(Sent.size(), 2u);
    EXPECT_EQ(Sent[0], Message(0x92, 69, 100));
    EXPECT_EQ(Sent[1] & 0xFF, 0xE2u);
    EXPECT_NEAR(int32_t((Sent[1] >> 8 & 0x7F) | (Sent[1] >> 16 & 0x7F) << 7), 8178, 1);
    Sent.clear();
    PlayTone(2, 439, 201);  // same entry, same velocity
    EXPECT_TRUE(Sent.empty());
    PlayTone(2, 440, 100);  // loudness alone: key pressure
    EXPECT_EQ(Sent, std::vector<uint32_t>{Message(0xA2, 69, 50)});
    Sent.clear();
    PlayTone(2, 880, 100);  // a new note stops the old one; 880 Hz needs no bend
    const std::vector<uint32_t> expected = {Message(0x82, 69, 0), Message(0x92, 81, 50), Message(0xE2, 0, 64)};
    EXPECT_EQ(Sent, expected);
    // A frequency outside the table stops the note.
    for (int32_t frequency : {8, 12286, 0}) {
        PlayTone(2, 880, 100);
        Sent.clear();
        PlayTone(2, frequency, 100);
        EXPECT_EQ(Sent, std::vector<uint32_t>{Message(0x82, 81, 0)}) << frequency << " Hz";
    }
}

TEST_F(MidiDeviceTest, SwitchingAChannelOffStopsItsNoteUntilTheNextTone) {
    PlayTone(2, 880, 200);
    PlayTone(3, 880, 200);
    Sent.clear();
    SetMasterVolume(150, 0xFFFB);
    EXPECT_EQ(Sent, std::vector<uint32_t>{Message(0x82, 81, 0)});
    EXPECT_EQ(VolumesSet.back(), 150);
    Sent.clear();
    SetMasterVolume(150, 0xFFFF);
    EXPECT_TRUE(Sent.empty()) << "switching on does not restart the note";
    PlayTone(2, 880, 200);
    EXPECT_EQ(Sent, std::vector<uint32_t>{Message(0x92, 81, 100)});
}

TEST_F(MidiDeviceTest, DrumsNeedSwitchBit15) {
    SetMasterVolume(200, 0x000F);
    HitDrum(0, 255);
    EXPECT_TRUE(Sent.empty());
    SetMasterVolume(200, 0x800F);
    HitDrum(0, 255);
    HitDrum(DrumNote | 28, 1000);
    const std::vector<uint32_t> expected = {Message(0x99, 77, 127), Message(0x99, 28, 127)};
    EXPECT_EQ(Sent, expected);
}

}  // namespace
