// koru_demo_sound_check: listens to what koru-headless recorded of the demo
// and checks that there was music, not its exact notes.
//
//   koru_demo_sound_check --wav FILE --rate HZ --seconds S --sounding PERCENT
//                         --midi FILE --channels LIST --sweep CHANNEL
//
// The WAV file must be 8-bit mono PCM at HZ lasting S seconds (within 5 %);
// cut into 1024-sample blocks, at least PERCENT of them must carry sound
// (a spread of at least 2 steps around the block's mean). The MIDI log must
// be a well-formed file with notes on every channel of LIST, and pitch bends
// on CHANNEL, which is how a frequency sweep shows in the log. Exit status 0
// when all holds; each failed check is printed.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/support/midi_file.h"
#include "tests/support/wav_analysis.h"

namespace {

constexpr size_t BlockSamples = 1024;
constexpr double SoundingSpread = 2.0;

uint32_t Little(const std::vector<uint8_t>& bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
    return value;
}

int failures = 0;

void Fail(const std::string& why) {
    std::printf("FAIL: %s\n", why.c_str());
    ++failures;
}

// The samples of the data chunk, after checking the format chunk.
std::vector<uint8_t> WavSamples(const std::vector<uint8_t>& file, uint32_t rate) {
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) || std::memcmp(file.data() + 8, "WAVE", 4)) {
        Fail("not a RIFF WAVE file");
        return {};
    }
    bool formatSeen = false;
    for (size_t at = 12; at + 8 <= file.size();) {
        const std::string id(file.begin() + at, file.begin() + at + 4);
        const uint32_t length = Little(file, at + 4, 4);
        const size_t body = at + 8;
        if (body + length > file.size()) break;
        if (id == "fmt ") {
            formatSeen = true;
            const uint32_t format = Little(file, body, 2), channels = Little(file, body + 2, 2);
            const uint32_t sampleRate = Little(file, body + 4, 4), bits = Little(file, body + 14, 2);
            if (format != 1 || channels != 1 || bits != 8)
                Fail("WAV format " + std::to_string(format) + ", " + std::to_string(channels) + " channels, " +
                     std::to_string(bits) + " bits; want 8-bit mono PCM");
            if (sampleRate != rate)
                Fail("WAV rate " + std::to_string(sampleRate) + " Hz, want " + std::to_string(rate));
        } else if (id == "data") {
            if (!formatSeen) Fail("WAV data before its format");
            return std::vector<uint8_t>(file.begin() + body, file.begin() + body + length);
        }
        at = body + length + (length & 1);
    }
    Fail("no data chunk in the WAV file");
    return {};
}

void CheckWav(const std::string& path, uint32_t rate, double seconds, double sounding) {
    const std::vector<uint8_t> samples = WavSamples(ReadFile(path), rate);
    if (samples.empty()) {
        Fail("no samples in the WAV file");
        return;
    }
    const double length = double(samples.size()) / rate;
    if (std::fabs(length - seconds) > 0.05 * seconds)
        Fail("WAV lasts " + std::to_string(length) + " s, want " + std::to_string(seconds));

    size_t blocks = 0, loud = 0;
    for (size_t start = 0; start + BlockSamples <= samples.size(); start += BlockSamples, ++blocks) {
        double mean = 0, spread = 0;
        for (size_t i = 0; i < BlockSamples; ++i) mean += samples[start + i];
        mean /= BlockSamples;
        for (size_t i = 0; i < BlockSamples; ++i) spread += (samples[start + i] - mean) * (samples[start + i] - mean);
        if (std::sqrt(spread / BlockSamples) >= SoundingSpread) ++loud;
    }
    const double percent = blocks ? 100.0 * double(loud) / double(blocks) : 0;
    std::printf("WAV: %.2f s, %zu of %zu blocks carry sound (%.0f %%)\n", length, loud, blocks, percent);
    if (percent < sounding) Fail("too little sound in the WAV file");
}

void CheckMidi(const std::string& path, const std::vector<int>& channels, int sweepChannel) {
    const MidiFile midi = ParseMidiFile(ReadFile(path));
    if (!midi.error.empty()) {
        Fail("MIDI log: " + midi.error);
        return;
    }
    std::set<int> noted;
    int bends = 0;
    for (const MidiEvent& event : midi.events) {
        const int channel = event.status & 0x0F;
        if ((event.status & 0xF0) == 0x90 && event.data[1] > 0) noted.insert(channel);
        if ((event.status & 0xF0) == 0xE0 && channel == sweepChannel) ++bends;
    }
    std::printf("MIDI: notes on %zu channels, %d pitch bends on channel %d\n", noted.size(), bends, sweepChannel);
    for (int channel : channels)
        if (!noted.count(channel)) Fail("no note on MIDI channel " + std::to_string(channel));
    if (bends == 0) Fail("no pitch bend (sweep) on MIDI channel " + std::to_string(sweepChannel));
}

}  // namespace

int main(int argc, char** argv) {
    std::string wav, midi, channelList;
    uint32_t rate = 0;
    double seconds = 0, sounding = 0;
    int sweepChannel = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--wav")
            wav = value;
        else if (option == "--midi")
            midi = value;
        else if (option == "--channels")
            channelList = value;
        else if (option == "--rate")
            rate = uint32_t(std::atoi(value.c_str()));
        else if (option == "--seconds")
            seconds = std::atof(value.c_str());
        else if (option == "--sounding")
            sounding = std::atof(value.c_str());
        else if (option == "--sweep")
            sweepChannel = std::atoi(value.c_str());
        else {
            std::fprintf(stderr, "koru_demo_sound_check: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (wav.empty() || midi.empty() || channelList.empty() || !rate || seconds <= 0 || sweepChannel < 0) {
        std::fprintf(stderr,
                     "usage: koru_demo_sound_check --wav FILE --rate HZ --seconds S --sounding PERCENT "
                     "--midi FILE --channels LIST --sweep CHANNEL\n");
        return 2;
    }
    std::vector<int> channels;
    for (const std::string& item : SplitList(channelList)) channels.push_back(std::atoi(item.c_str()));

    CheckWav(wav, rate, seconds, sounding);
    CheckMidi(midi, channels, sweepChannel);
    return failures ? 1 : 0;
}
