// What the sound checks share: reading a file, splitting a list, the 8-bit
// mono WAV files koru-headless writes, the power of a frequency, and the
// measures of streamed music: silent stretches, the share of energy at
// high frequencies, and a tone's exact pitch.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> SplitList(const std::string& text, char separator = ',') {
    std::vector<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, separator);) items.push_back(item);
    return items;
}

// The sample rate of an 8-bit mono PCM WAV file with a 44-byte header whose
// data chunk runs to the end of the file, or 0.
inline int WavRate(const std::vector<uint8_t>& file) {
    const auto word = [&](size_t at) {
        return uint32_t(file[at] | file[at + 1] << 8 | file[at + 2] << 16) | uint32_t(file[at + 3]) << 24;
    };
    if (file.size() < 44 || std::memcmp(file.data(), "RIFF", 4) || std::memcmp(file.data() + 8, "WAVE", 4) ||
        file[20] != 1 || file[22] != 1 || file[34] != 8 || std::memcmp(file.data() + 36, "data", 4) ||
        size_t(word(40)) != file.size() - 44)
        return 0;
    return int(word(24));
}

// A block of samples with a Hann window applied, which keeps each tone's
// power near its own frequency.
inline std::vector<double> HannWindow(const std::vector<double>& block) {
    std::vector<double> windowed(block.size());
    for (size_t i = 0; i < block.size(); ++i)
        windowed[i] = block[i] * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(block.size())));
    return windowed;
}

// Power of a block at a frequency given in bins.
inline double PowerAt(const std::vector<double>& block, double bin) {
    double re = 0, im = 0;
    for (size_t i = 0; i < block.size(); ++i) {
        const double angle = 2 * std::numbers::pi * bin * double(i) / double(block.size());
        re += block[i] * std::cos(angle);
        im += block[i] * std::sin(angle);
    }
    return re * re + im * im;
}

// Samples are in steps of the 8-bit output (one step = 1/128 of full scale).

// 100 ms windows in [from, to) whose samples stay within half a step of
// their mean: silence, or a level held still.
inline size_t SilentWindows(const std::vector<double>& samples, size_t from, size_t to, int rate) {
    const size_t window = size_t(rate) / 10;
    size_t silent = 0;
    for (size_t start = from; start + window <= to; start += window) {
        double mean = 0, spread = 0;
        for (size_t i = start; i < start + window; ++i) mean += samples[i];
        mean /= double(window);
        for (size_t i = start; i < start + window; ++i) spread += (samples[i] - mean) * (samples[i] - mean);
        if (std::sqrt(spread / double(window)) < 0.5) ++silent;
    }
    return silent;
}

// Stretches in [from, to) that hold one level for `length` samples or more:
// a stream that stopped (a FIFO run dry keeps its last sample on the
// output, a player run dry plays silence). Returns where the first begins,
// or `to` when there is none.
inline size_t FirstFlatRun(const std::vector<double>& samples, size_t from, size_t to, size_t length) {
    size_t flat = 1;
    for (size_t i = from + 1; i < to; ++i) {
        flat = samples[i] == samples[i - 1] ? flat + 1 : 1;
        if (flat == length) return i + 1 - length;
    }
    return to;
}

// The power at every whole bin below half the block (a power of two long):
// a radix-2 FFT, in the same scale as PowerAt.
inline std::vector<double> PowerSpectrum(std::vector<std::complex<double>> block) {
    const size_t n = block.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(block[i], block[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        const std::complex<double> unit = std::polar(1.0, -2 * std::numbers::pi / double(length));
        for (size_t i = 0; i < n; i += length) {
            std::complex<double> twiddle = 1;
            for (size_t k = 0; k < length / 2; ++k, twiddle *= unit) {
                const std::complex<double> even = block[i + k], odd = block[i + k + length / 2] * twiddle;
                block[i + k] = even + odd;
                block[i + k + length / 2] = even - odd;
            }
        }
    }
    std::vector<double> power(n / 2);
    for (size_t bin = 1; bin < n / 2; ++bin) power[bin] = std::norm(block[bin]);
    return power;
}

// The share of the energy in [from, to) above `frequency` Hz, from the
// spectra of 4096-sample blocks (each with its mean taken off and a Hann
// window).
inline double HighFrequencyShare(const std::vector<double>& samples, size_t from, size_t to, int rate,
                                 double frequency) {
    constexpr size_t BlockSize = 4096;
    double high = 0, all = 0;
    for (size_t start = from; start + BlockSize <= to; start += BlockSize) {
        double mean = 0;
        for (size_t i = 0; i < BlockSize; ++i) mean += samples[start + i];
        mean /= BlockSize;
        std::vector<double> block(BlockSize);
        for (size_t i = 0; i < BlockSize; ++i) block[i] = samples[start + i] - mean;
        const std::vector<double> windowed = HannWindow(block);
        const std::vector<double> power = PowerSpectrum({windowed.begin(), windowed.end()});
        for (size_t bin = 1; bin < BlockSize / 2; ++bin) {
            all += power[bin];
            if (double(bin) * rate / BlockSize > frequency) high += power[bin];
        }
    }
    return all > 0 ? high / all : 0;
}

// The exact frequency of a tone near `expected` in [from, to): the phase of
// the tone against a reference at `expected`, taken block by block, turns
// at the rate of the difference.
inline double MeasuredFrequency(const std::vector<double>& samples, size_t from, size_t to, int rate,
                                double expected) {
    constexpr size_t BlockSize = 4096;
    double turned = 0, last = 0;
    size_t blocks = 0;
    for (size_t start = from; start + BlockSize <= to; start += BlockSize, ++blocks) {
        std::complex<double> sum = 0;
        for (size_t i = start; i < start + BlockSize; ++i)
            sum += samples[i] * std::polar(1.0, -2 * std::numbers::pi * expected * double(i - from) / rate);
        const double phase = std::arg(sum);
        if (blocks > 0) turned += std::remainder(phase - last, 2 * std::numbers::pi);
        last = phase;
    }
    if (blocks < 2) return 0;
    return expected + turned / (2 * std::numbers::pi) * rate / (double(blocks - 1) * BlockSize);
}
