// koru_sound_check: listens to what koru-headless recorded of a cartridge's
// music and compares it with what the cartridge plays.
//
//   koru_sound_check --wav FILE --tones LIST --midi FILE --notes LIST [--fade CHANNEL] [--gap TICKS]
//
// The WAV file (8-bit mono, written one 1024-sample synthesiser buffer at a
// time) is cut into those buffers; each is silence, a tone whose
// fundamental is found by a fine DFT search around the strongest bin, or
// noise (no bin stands out). Silence is dropped and neighbouring buffers of
// the same sound are merged, giving the sequence of sounds, which must equal
// --tones (frequencies in Hz within 2 %, or "noise", comma separated).
// The MIDI file must be a valid format 0 file whose Note On events, as
// CHANNEL:NOTE, equal --notes; with --fade, the channel's key pressures must
// fall step by step (an envelope going down); with --gap, the first two
// notes must lie that many ticks (milliseconds of emulated time) apart.
// Exit status 0 when all holds.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/midi_file.h"
#include "tests/support/wav_analysis.h"

namespace {

constexpr size_t BufferSamples = 1024;

// One sound: a tone of some frequency, or noise (frequency 0).
struct Sound {
    double frequency;
    bool Matches(const Sound& other) const {
        if ((frequency == 0) != (other.frequency == 0)) return false;
        return frequency == 0 || std::fabs(frequency - other.frequency) <= 0.02 * other.frequency;
    }
    std::string Text() const {
        char text[32];
        if (frequency == 0) return "noise";
        std::snprintf(text, sizeof text, "%.1f", frequency);
        return text;
    }
};

// The same at every whole bin up to half the block, from one table of the
// block's angles.
std::vector<double> Spectrum(const std::vector<double>& block) {
    const size_t n = block.size();
    std::vector<double> cosines(n), sines(n), power(n / 2);
    for (size_t i = 0; i < n; ++i) {
        cosines[i] = std::cos(2 * std::numbers::pi * double(i) / double(n));
        sines[i] = std::sin(2 * std::numbers::pi * double(i) / double(n));
    }
    for (size_t bin = 1; bin < n / 2; ++bin) {
        double re = 0, im = 0;
        for (size_t i = 0; i < n; ++i) {
            re += block[i] * cosines[bin * i % n];
            im += block[i] * sines[bin * i % n];
        }
        power[bin] = re * re + im * im;
    }
    return power;
}

// Silence (false), or the block's sound.
bool Classify(const std::vector<double>& block, int rate, Sound& sound) {
    bool silent = true;
    for (double sample : block) silent = silent && sample == 0;
    if (silent) return false;
    const std::vector<double> windowed = HannWindow(block);
    const std::vector<double> power = Spectrum(windowed);
    double total = 0;
    size_t peak = 1;
    for (size_t bin = 1; bin < power.size(); ++bin) {
        total += power[bin];
        if (power[bin] > power[peak]) peak = bin;
    }
    // A tone keeps most of its power within the window's main lobe around
    // the fundamental (or, for a square wave, 81 % in the fundamental);
    // noise spreads it over every bin.
    double lobe = 0;
    for (size_t bin = peak > 2 ? peak - 2 : 1; bin <= peak + 2 && bin < power.size(); ++bin) lobe += power[bin];
    if (lobe < 0.3 * total) {
        sound.frequency = 0;
        return true;
    }
    double best = double(peak);
    double bestPower = power[peak];
    for (double bin = double(peak) - 1; bin <= double(peak) + 1; bin += 0.02) {
        const double candidate = PowerAt(windowed, bin);
        if (candidate > bestPower) {
            bestPower = candidate;
            best = bin;
        }
    }
    sound.frequency = best * rate / double(block.size());
    return true;
}

bool CheckWav(const std::string& path, const std::string& tones) {
    const std::vector<uint8_t> file = ReadFile(path);
    const int rate = WavRate(file);
    if (!rate) {
        std::printf("%s: not an 8-bit mono WAV file\n", path.c_str());
        return false;
    }
    std::vector<Sound> heard;
    for (size_t start = 44; start + BufferSamples <= file.size(); start += BufferSamples) {
        std::vector<double> block(BufferSamples);
        for (size_t i = 0; i < BufferSamples; ++i) block[i] = double(file[start + i]) - 128.0;
        Sound sound{};
        if (!Classify(block, rate, sound)) continue;
        if (heard.empty() || !sound.Matches(heard.back())) heard.push_back(sound);
    }
    std::vector<Sound> expected;
    for (const std::string& item : SplitList(tones)) expected.push_back({item == "noise" ? 0.0 : std::stod(item)});

    bool same = heard.size() == expected.size();
    for (size_t i = 0; same && i < heard.size(); ++i) same = heard[i].Matches(expected[i]);
    std::string heardText, expectedText;
    for (const Sound& sound : heard) heardText += sound.Text() + " ";
    for (const Sound& sound : expected) expectedText += sound.Text() + " ";
    std::printf("WAV at %d Hz: heard %s\n", rate, heardText.c_str());
    if (!same) std::printf("WAV: expected %s\n", expectedText.c_str());
    return same;
}

bool CheckMidi(const std::string& path, const std::string& notes, int fadeChannel, long gap) {
    const MidiFile midi = ParseMidiFile(ReadFile(path));
    if (!midi.error.empty() || midi.format != 0 || midi.tracks != 1 || midi.division != 1000) {
        std::printf("%s: not a valid format 0 file at 1000 ticks per quarter: %s\n", path.c_str(), midi.error.c_str());
        return false;
    }
    std::string played;
    std::vector<uint32_t> noteTimes;
    std::vector<int> pressures;
    for (const MidiEvent& event : midi.events) {
        const int channel = event.status & 0x0F;
        if ((event.status & 0xF0) == 0x90 && event.data[1] > 0) {
            if (!played.empty()) played += ',';
            noteTimes.push_back(event.time);
            played += std::to_string(channel) + ":" + std::to_string(event.data[0]);
        }
        if ((event.status & 0xF0) == 0xA0 && channel == fadeChannel) pressures.push_back(event.data[1]);
    }
    std::printf("MIDI notes: %s\n", played.c_str());
    bool good = played == notes;
    if (!good) std::printf("MIDI: expected %s\n", notes.c_str());
    if (fadeChannel >= 0) {
        bool falling = pressures.size() >= 10;
        for (size_t i = 1; falling && i < pressures.size(); ++i) falling = pressures[i] < pressures[i - 1];
        std::printf("MIDI: %zu key pressures on channel %d%s\n", pressures.size(), fadeChannel,
                    falling ? ", falling" : ", NOT falling step by step");
        good = good && falling;
    }
    if (gap >= 0) {
        const long first = noteTimes.size() >= 2 ? long(noteTimes[1] - noteTimes[0]) : -1;
        std::printf("MIDI: %ld ticks between the first two notes\n", first);
        if (first != gap) std::printf("MIDI: expected %ld\n", gap);
        good = good && first == gap;
    }
    return good;
}

}  // namespace

int main(int argc, char** argv) {
    std::string wav, tones, midi, notes;
    int fadeChannel = -1;
    long gap = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--wav")
            wav = argv[i + 1];
        else if (option == "--tones")
            tones = argv[i + 1];
        else if (option == "--midi")
            midi = argv[i + 1];
        else if (option == "--notes")
            notes = argv[i + 1];
        else if (option == "--fade")
            fadeChannel = std::atoi(argv[i + 1]);
        else if (option == "--gap")
            gap = std::atol(argv[i + 1]);
        else {
            std::fprintf(stderr, "koru_sound_check: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    bool good = true;
    if (!wav.empty()) good = CheckWav(wav, tones) && good;
    if (!midi.empty()) good = CheckMidi(midi, notes, fadeChannel, gap) && good;
    return good ? 0 : 1;
}
