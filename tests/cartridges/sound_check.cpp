// koru_sound_check: listens to what koru-headless recorded of a cartridge's
// music and compares it with what the cartridge plays.
//
//   koru_sound_check --wav FILE (--tones LIST [--parts FROM-TO,...] | --rate HZ --seconds S --sounding PERCENT)
//                    --midi FILE (--notes LIST [--fade CHANNEL] [--gap TICKS] | --channels LIST --sweep CHANNEL)
//
// With --tones, the WAV file (8-bit mono, written one 1024-sample
// synthesiser buffer at a time) is cut into those buffers; each is silence,
// a tone whose fundamental is found by a fine DFT search around the
// strongest bin, or noise (no bin stands out). Silence is dropped and
// neighbouring buffers of the same sound are merged, giving the sequence of
// sounds, which must equal --tones (frequencies in Hz within 2 %, or
// "noise", comma separated). With --parts, the tones instead sound together
// throughout each part (seconds of the recording), as the sample channel
// cartridge plays them: every block of 4096 samples inside a part must
// carry a good share of its power (a Hann window's main lobe) at each tone;
// the recording must not hold one level for 32 samples or more (a FIFO
// that runs dry keeps its last sample on the output, which flattens the
// sine), have no silent 100 ms window, keep 95 % of its energy below 6 kHz
// and play each tone within 0.1 % of its pitch (samples placed at the wrong
// times shift it). Music whose exact notes are not checked (the
// demo's) must be 8-bit mono PCM at HZ lasting S seconds (within 5 %), and
// at least PERCENT of its 1024-sample blocks must carry sound (a spread of
// at least 2 steps around the block's mean).
// The MIDI file must be a valid format 0 file. With --notes, its Note On
// events, as CHANNEL:NOTE, must equal the list; with --fade, the channel's
// key pressures must fall step by step (an envelope going down); with
// --gap, the first two notes must lie that many ticks (milliseconds of
// emulated time) apart. With --channels, every channel of the list must
// have notes, and --sweep's channel pitch bends, which is how a frequency
// sweep shows in the log. Exit status 0 when all holds.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/midi_file.h"
#include "tests/support/wav_analysis.h"

namespace {

constexpr size_t BufferSamples = 1024, PartBlockSamples = 4096, LongestFlat = 32;

// One sound: a tone of some frequency, or noise (frequency 0).
struct Sound {
    double frequency;
    bool Matches(const Sound& other) const {
        if ((frequency == 0) != (other.frequency == 0)) return false;
        return frequency == 0 || std::fabs(frequency - other.frequency) <= 0.02 * other.frequency;
    }
    std::string Text() const { return frequency == 0 ? "noise" : std::to_string(std::lround(frequency)); }
};

// Silence (false), or the block's sound.
bool Classify(const std::vector<double>& block, int rate, Sound& sound) {
    if (std::all_of(block.begin(), block.end(), [](double sample) { return sample == 0; })) return false;
    const std::vector<double> windowed = HannWindow(block);
    const std::vector<double> power = PowerSpectrum({windowed.begin(), windowed.end()});
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

bool CheckTones(const std::vector<uint8_t>& file, int rate, const std::string& tones) {
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

// The block's total power (Parseval: the windowed samples' energy, in the
// same scale as PowerAt over the positive bins) and the share within two
// bins either side of each tone.
bool CheckPartBlock(const std::vector<double>& block, int rate, const std::vector<double>& tones, double second) {
    const std::vector<double> windowed = HannWindow(block);
    double energy = 0;
    for (double sample : windowed) energy += sample * sample;
    // A real signal's power is split between the positive and the negative
    // bins: PowerAt over every positive bin adds up to N / 2 times the energy.
    const double total = energy * double(block.size()) / 2;
    bool good = total > 0;
    for (double tone : tones) {
        const double centre = tone * double(block.size()) / rate;
        double lobe = 0;
        for (double bin = std::round(centre) - 2; bin <= std::round(centre) + 2; bin += 1)
            lobe += PowerAt(windowed, bin);
        if (!(lobe >= 0.15 * total)) {
            std::printf("at %.2f s: %.0f Hz carries %.1f %% of the power\n", second, tone, 100 * lobe / total);
            good = false;
        }
    }
    return good;
}

bool CheckParts(const std::vector<uint8_t>& file, int rate, const std::string& tones, const std::string& parts) {
    const size_t samples = file.size() - 44;
    std::vector<double> frequencies;
    for (const std::string& tone : SplitList(tones, ',')) frequencies.push_back(std::stod(tone));

    std::vector<double> levels(samples);
    for (size_t i = 0; i < samples; ++i) levels[i] = double(file[44 + i]) - 128.0;
    bool good = true;
    size_t blocksChecked = 0;
    for (const std::string& part : SplitList(parts, ',')) {
        const std::vector<std::string> bounds = SplitList(part, '-');
        const size_t from = size_t(std::stod(bounds.at(0)) * rate);
        const size_t to = size_t(std::stod(bounds.at(1)) * rate);
        if (to > samples) {
            std::printf("the recording ends at %.2f s, before %s\n", double(samples) / rate, part.c_str());
            return false;
        }
        // Silence, noise, and samples placed too fast or too slow (a pitch
        // off by more than 0.1 %).
        if (const size_t silent = SilentWindows(levels, from, to, rate)) {
            std::printf("%s s: %zu silent 100 ms windows\n", part.c_str(), silent);
            good = false;
        }
        if (const double high = HighFrequencyShare(levels, from, to, rate, 6000); high > 0.05) {
            std::printf("%s s: %.1f %% of the energy above 6 kHz\n", part.c_str(), 100 * high);
            good = false;
        }
        for (double tone : frequencies) {
            const double measured = MeasuredFrequency(levels, from, to, rate, tone);
            if (std::fabs(measured - tone) > 0.001 * tone) {
                std::printf("%s s: the %.0f Hz tone plays at %.2f Hz\n", part.c_str(), tone, measured);
                good = false;
            }
        }
        for (size_t at = from; (at = FirstFlatRun(levels, at, to, LongestFlat)) < to; at += LongestFlat) {
            std::printf("at %.4f s the sound stands still for %zu samples\n", double(at) / rate, LongestFlat);
            good = false;
        }
        for (size_t start = from; start + PartBlockSamples <= to; start += PartBlockSamples) {
            std::vector<double> block(PartBlockSamples);
            for (size_t i = 0; i < PartBlockSamples; ++i) block[i] = double(file[44 + start + i]) - 128.0;
            good = CheckPartBlock(block, rate, frequencies, double(start) / rate) && good;
            ++blocksChecked;
        }
    }
    std::printf("WAV at %d Hz, %.2f s: %zu blocks checked for %s Hz, %s\n", rate, double(samples) / rate, blocksChecked,
                tones.c_str(), good ? "all good" : "FAILED");
    return good;
}

bool CheckMusic(const std::vector<uint8_t>& file, int rate, int wantedRate, double seconds, double sounding) {
    if (rate != wantedRate) {
        std::printf("WAV at %d Hz, want %d\n", rate, wantedRate);
        return false;
    }
    const uint8_t* samples = file.data() + 44;
    const double length = double(file.size() - 44) / rate;
    size_t blocks = 0, loud = 0;
    for (size_t start = 0; start + BufferSamples <= file.size() - 44; start += BufferSamples, ++blocks) {
        double mean = 0, spread = 0;
        for (size_t i = 0; i < BufferSamples; ++i) mean += samples[start + i];
        mean /= BufferSamples;
        for (size_t i = 0; i < BufferSamples; ++i) spread += (samples[start + i] - mean) * (samples[start + i] - mean);
        if (std::sqrt(spread / BufferSamples) >= 2.0) ++loud;
    }
    const double percent = blocks ? 100.0 * double(loud) / double(blocks) : 0;
    std::printf("WAV: %.2f s (want %.2f), %zu of %zu blocks carry sound (%.0f %%, want %.0f)\n", length, seconds, loud,
                blocks, percent, sounding);
    return std::fabs(length - seconds) <= 0.05 * seconds && percent >= sounding;
}

bool CheckMidi(const std::string& path, const std::string& notes, const std::string& channels, int fadeChannel,
               long gap, int sweepChannel) {
    const MidiFile midi = ParseMidiFile(ReadFile(path));
    if (!midi.error.empty() || midi.format != 0 || midi.tracks != 1 || midi.division != 1000) {
        std::printf("%s: not a valid format 0 file at 1000 ticks per quarter: %s\n", path.c_str(), midi.error.c_str());
        return false;
    }
    std::string played;
    std::set<int> noted;
    std::vector<uint32_t> noteTimes;
    std::vector<int> pressures;
    int bends = 0;
    for (const MidiEvent& event : midi.events) {
        const int channel = event.status & 0x0F;
        if ((event.status & 0xF0) == 0x90 && event.data[1] > 0) {
            if (!played.empty()) played += ',';
            noteTimes.push_back(event.time);
            played += std::to_string(channel) + ":" + std::to_string(event.data[0]);
            noted.insert(channel);
        }
        if ((event.status & 0xF0) == 0xA0 && channel == fadeChannel) pressures.push_back(event.data[1]);
        if ((event.status & 0xF0) == 0xE0 && channel == sweepChannel) ++bends;
    }
    bool good = notes.empty() || played == notes;
    if (!notes.empty())
        std::printf("MIDI notes: %s%s%s\n", played.c_str(), good ? "" : ", expected ", good ? "" : notes.c_str());
    for (const std::string& item : SplitList(channels)) {
        if (noted.count(std::stoi(item))) continue;
        std::printf("MIDI: no note on channel %s\n", item.c_str());
        good = false;
    }
    if (sweepChannel >= 0) {
        std::printf("MIDI: %d pitch bends (the sweep) on channel %d\n", bends, sweepChannel);
        good = good && bends > 0;
    }
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
    std::map<std::string, std::string> option{{"--fade", "-1"}, {"--gap", "-1"}, {"--sweep", "-1"}};
    const std::string known =
        " --wav --tones --parts --rate --seconds --sounding --midi --notes --channels --fade "
        "--gap --sweep ";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (known.find(std::string(" ") + argv[i] + " ") == std::string::npos) {
            std::fprintf(stderr, "koru_sound_check: unknown option %s\n", argv[i]);
            return 2;
        }
        option[argv[i]] = argv[i + 1];
    }
    const std::string& wav = option["--wav"];
    const std::vector<uint8_t> file = ReadFile(wav);
    const int rate = WavRate(file);
    bool good = true;
    if (!wav.empty() && !rate) {
        std::printf("%s: not an 8-bit mono PCM WAV file\n", wav.c_str());
        good = false;
    } else if (!option["--parts"].empty()) {
        good = CheckParts(file, rate, option["--tones"], option["--parts"]);
    } else if (!option["--tones"].empty()) {
        good = CheckTones(file, rate, option["--tones"]);
    } else if (!wav.empty()) {
        good = CheckMusic(file, rate, std::stoi(option["--rate"]), std::stod(option["--seconds"]),
                          std::stod(option["--sounding"]));
    }
    if (!option["--midi"].empty())
        good = CheckMidi(option["--midi"], option["--notes"], option["--channels"], std::stoi(option["--fade"]),
                         std::stol(option["--gap"]), std::stoi(option["--sweep"])) &&
               good;
    return good ? 0 : 1;
}
