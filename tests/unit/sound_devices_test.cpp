// The real sound devices behind the host interface: FluidSynth rendered
// offline through its write function, and the SDL2 PCM output with its
// sound thread, played into SDL's disk driver instead of a sound card.

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "machine/machine.h"
#include "platform/audio/audio_host.h"
#include "platform/audio/midi_synth.h"
#include "sound/sound_output.h"
#include "tests/support/wav_analysis.h"

namespace {

constexpr double Rate = 44100.0;

// Power of one frequency in a block of samples (a single DFT bin).
double PowerAtHz(const std::vector<double>& samples, double frequency) {
    return PowerAt(samples, frequency * double(samples.size()) / Rate);
}

double Rms(const std::vector<double>& samples) {
    double sum = 0;
    for (double sample : samples) sum += sample * sample;
    return std::sqrt(sum / double(samples.size()));
}

constexpr uint32_t Message(uint32_t status, uint32_t first, uint32_t second = 0) {
    return status | first << 8 | second << 16;
}

class FluidSynthDevice : public testing::Test {
protected:
    void SetUp() override {
        if (FindSoundFont(nullptr).empty())
            GTEST_SKIP() << "no General MIDI soundfont under /usr/share/sounds/sf2 (Debian: timgm6mb-soundfont)";
        ASSERT_TRUE(CreateMidiSynth(midi, Rate, nullptr));
        PlayMidiMessage(midi.Synth, Message(0xC0, 80));  // square lead, as the tone voice
    }
    void TearDown() override { DestroyMidiSynth(midi); }

    // Renders a quarter of a second, the left channel.
    std::vector<double> Render() {
        std::vector<float> left(size_t(Rate / 4)), right(left.size());
        fluid_synth_write_float(midi.Synth, int(left.size()), left.data(), 0, 1, right.data(), 0, 1);
        return {left.begin(), left.end()};
    }

    MidiSynth midi;
};

// A (440 Hz) stands out from a semitone below and above and a fifth below;
// a bend of 8192 + 4096, half the upward range of 24 semitones the core's
// bends are scaled for, moves it up twelve, to 880 Hz. Key pressure makes
// the sounding note quieter, note off ends it.
TEST_F(FluidSynthDevice, NotesBendsAndKeyPressure) {
    PlayMidiMessage(midi.Synth, Message(0x90, 69, 120));
    Render();  // past the attack
    std::vector<double> samples = Render();
    const double loud = Rms(samples);
    for (double other : {415.3, 466.2, 293.7})
        EXPECT_GT(PowerAtHz(samples, 440), 20 * PowerAtHz(samples, other)) << other << " Hz";
    PlayMidiMessage(midi.Synth, Message(0xA0, 69, 30));
    Render();
    const double quiet = Rms(Render());
    EXPECT_LT(quiet, loud / 3);
    EXPECT_GT(quiet, 0.0) << "the note goes on, quieter";
    PlayMidiMessage(midi.Synth, Message(0xE0, 0, 96));
    Render();
    samples = Render();
    EXPECT_GT(PowerAtHz(samples, 880), 20 * PowerAtHz(samples, 440));
    EXPECT_GT(PowerAtHz(samples, 880), 20 * PowerAtHz(samples, 932.3));
    PlayMidiMessage(midi.Synth, Message(0x80, 69, 0));
    Render();
    Render();
    EXPECT_LT(Rms(Render()), quiet / 10) << "note off ends it";
}

// The whole PCM path: the core's synthesiser rendering on the SDL sound
// thread, the queue of buffers and the device callback, with SDL's disk
// driver writing what it would have played into a file.
TEST(SdlPcmDevice, PlaysTheRenderedBuffersInOrder) {
    const std::string file = testing::TempDir() + "koru_sdl_disk_audio.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    const std::unique_ptr<Machine> machine = CreateMachine();
    Machine& m = *machine;
    InstallAudioHost(m);
    for (OutputChannel& channel : m.SoundDevice.Channels) channel.Voice.store(VoiceTone);
    if (!OpenSoundDevice(m, 22050, 16)) GTEST_SKIP() << "SDL's disk audio driver is not available: " << SDL_GetError();
    SetMasterVolume(m, 255, 0xFFFF);
    PlayTone(m, 0, 441, 255);  // 50 samples a period at 22050
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    CloseSoundDevice(m);

    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> played{std::istreambuf_iterator<char>(in), {}};
    std::remove(file.c_str());
    // Sixteen silent buffers (2 ms each) were queued at the open; the tone
    // follows them.
    size_t start = 0;
    while (start < played.size() && played[start] == 0x80) ++start;
    ASSERT_GE(played.size() - start, 2048u) << "no tone in " << played.size() << " bytes";
    EXPECT_GE(start, 16u * 44);
    // The square's rising edges, one every 50 samples.
    int rises = 0;
    for (size_t i = start + 1; i < start + 2001; ++i) rises += played[i - 1] < 0x80 && played[i] >= 0x80;
    EXPECT_NEAR(rises, 40, 1) << "2000 samples hold 40 periods";
}

}  // namespace
