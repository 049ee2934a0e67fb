// fix_header: finishes a cartridge image built by the cross toolchain. It can
// write the 12-character title and then stores the header complement byte at
// 0xBD, which the emulator (like the handheld's boot code) checks before it
// runs a cartridge.
//
// usage: fix_header IMAGE [TITLE]

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr long HeaderSize = 0xC0;
constexpr size_t TitleOffset = 0xA0;
constexpr size_t TitleLength = 12;
constexpr size_t ComplementOffset = 0xBD;

// The complement covers the title, game code, maker code, fixed byte, unit
// code, device type, reserved bytes and version: 0xA0 to 0xBC inclusive.
uint8_t Complement(const std::vector<uint8_t>& header) {
    uint8_t check = 0xE7;
    for (size_t offset = 0xA0; offset <= 0xBC; ++offset) check = uint8_t(check - header[offset]);
    return check;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: fix_header IMAGE [TITLE]\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "r+b");
    if (!file) {
        std::fprintf(stderr, "fix_header: cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> header(HeaderSize);
    if (std::fread(header.data(), 1, header.size(), file) != header.size()) {
        std::fprintf(stderr, "fix_header: %s is shorter than a cartridge header\n", argv[1]);
        std::fclose(file);
        return 1;
    }
    if (argc == 3) {
        // Titles are upper-case ASCII padded with zero bytes.
        const size_t length = std::min(std::strlen(argv[2]), TitleLength);
        std::memset(&header[TitleOffset], 0, TitleLength);
        for (size_t i = 0; i < length; ++i) {
            const char letter = argv[2][i];
            header[TitleOffset + i] = uint8_t(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter);
        }
    }
    header[ComplementOffset] = Complement(header);
    bool ok = std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), file) == header.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "fix_header: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
