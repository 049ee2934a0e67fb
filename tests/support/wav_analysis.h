// What the sound checks share: reading a file, splitting a list, the 8-bit
// mono WAV files koru-headless writes, and the power of a frequency.
#pragma once

#include <cmath>
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
