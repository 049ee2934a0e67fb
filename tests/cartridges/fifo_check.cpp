// koru_fifo_check: listens to what koru-headless recorded of the sample
// channel cartridge (cartridges/fifo) and checks that its tones sound
// throughout, without gaps.
//
//   koru_fifo_check --wav FILE --tones F1,F2 --parts FROM-TO[,FROM-TO...]
//
// Each part is a stretch of the recording in seconds. Every block of 4096
// samples inside a part must carry a good share of its power (a Hann window's
// main lobe) at each tone, and the recording must not hold one level for 32
// samples or more anywhere inside a part: a FIFO that runs dry keeps its
// last sample on the output, which flattens the sine. Exit status 0 when all
// holds.

#include <cstdio>
#include <string>
#include <vector>

#include "../support/wav_analysis.h"

namespace {

constexpr size_t BlockSamples = 4096;
constexpr size_t LongestFlat = 32;
constexpr double ToneShare = 0.15;

// The block's total power (Parseval: the windowed samples' energy, in the
// same scale as PowerAt over the positive bins) and the share within two
// bins either side of each tone.
bool CheckBlock(const std::vector<double>& block, int rate, const std::vector<double>& tones, double second) {
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
        if (!(lobe >= ToneShare * total)) {
            std::printf("at %.2f s: %.0f Hz carries %.1f %% of the power\n", second, tone, 100 * lobe / total);
            good = false;
        }
    }
    return good;
}

}  // namespace

int main(int argc, char** argv) {
    std::string wav, tones, parts;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--wav")
            wav = argv[i + 1];
        else if (option == "--tones")
            tones = argv[i + 1];
        else if (option == "--parts")
            parts = argv[i + 1];
        else {
            std::fprintf(stderr, "koru_fifo_check: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    const std::vector<uint8_t> file = ReadFile(wav);
    const int rate = WavRate(file);
    if (!rate) {
        std::printf("%s: not an 8-bit mono WAV file\n", wav.c_str());
        return 1;
    }
    const size_t samples = file.size() - 44;
    std::vector<double> frequencies;
    for (const std::string& tone : SplitList(tones, ',')) frequencies.push_back(std::stod(tone));

    bool good = true;
    size_t blocksChecked = 0;
    for (const std::string& part : SplitList(parts, ',')) {
        const std::vector<std::string> bounds = SplitList(part, '-');
        const size_t from = size_t(std::stod(bounds.at(0)) * rate);
        const size_t to = size_t(std::stod(bounds.at(1)) * rate);
        if (to > samples) {
            std::printf("the recording ends at %.2f s, before %s\n", double(samples) / rate, part.c_str());
            return 1;
        }
        size_t flat = 1;
        for (size_t i = from + 1; i < to; ++i) {
            flat = file[44 + i] == file[43 + i] ? flat + 1 : 1;
            if (flat == LongestFlat) {
                std::printf("at %.4f s the sound stands still for %zu samples\n", double(i) / rate, LongestFlat);
                good = false;
            }
        }
        for (size_t start = from; start + BlockSamples <= to; start += BlockSamples) {
            std::vector<double> block(BlockSamples);
            for (size_t i = 0; i < BlockSamples; ++i) block[i] = double(file[44 + start + i]) - 128.0;
            good = CheckBlock(block, rate, frequencies, double(start) / rate) && good;
            ++blocksChecked;
        }
    }
    std::printf("WAV at %d Hz, %.2f s: %zu blocks checked for %s Hz, %s\n", rate, double(samples) / rate, blocksChecked,
                tones.c_str(), good ? "all good" : "FAILED");
    return good ? 0 : 1;
}
