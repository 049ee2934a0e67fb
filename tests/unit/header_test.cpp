// The cartridge header: title, maker lookup, complement byte and entry
// address, each worked out by hand for a few headers.

#include "game/header.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace {

struct HeaderCase {
    const char* name;
    char text[17];    // 16 bytes from 0xA0: title and game code
    char maker[3];    // at 0xB0
    uint8_t at0xBC;   // summed into the complement
    uint32_t branch;  // the first instruction
    const char* title;
    const char* makerName;  // nullptr: not in the table
    uint8_t complement;
    uint32_t entry;
};

const HeaderCase HeaderCases[] = {
    {"blank", "", "\0\0", 0, 0, "", nullptr, 0xE7, 0x08000008},
    // The title ends at its first zero; "XY" after it still counts in the
    // sum: 0xE7 - (0x41 + 0x42 + 0x43 + 0x58 + 0x59 + 0x30 + 0x31) = 0x0F.
    {"short title", "ABC\0\0\0\0XY", "01", 0, 0xEA00002E, "ABC", "Nintendo", 0x0F, 0x080000C0},
    // Twelve letters and the game code with no zero between; the complement
    // wraps, and the check byte at 0xBD (0x55) is not summed. The branch
    // offset is unsigned: 0x3FFFFFC + 0x08000008.
    {"full title", "TWELVELETTERABCE", "EM", 0xF0, 0xEAFFFFFF, "TWELVELETTER", "Konami (2)", 0xB3, 0x0C000004},
    {"maker code read high byte first", "", "10", 0, 0, "", nullptr, 0x86, 0x08000008},
};

TEST(Header, WorkedExamples) {
    for (const HeaderCase& c : HeaderCases) {
        std::array<uint8_t, 0xC0> header{};
        std::memcpy(header.data(), &c.branch, 4);
        std::memcpy(header.data() + 0xA0, c.text, 16);
        std::memcpy(header.data() + 0xB0, c.maker, 2);
        header[0xBC] = c.at0xBC;
        header[0xBD] = 0x55;
        EXPECT_STREQ(GetGameTitle(header.data()), c.title) << c.name;
        const char* maker = FindMakerName(header.data());
        EXPECT_EQ(std::string(maker ? maker : "none"), std::string(c.makerName ? c.makerName : "none")) << c.name;
        EXPECT_EQ(HeaderComplement(header.data()), c.complement) << c.name;
        EXPECT_EQ(HeaderEntryAddress(header.data()), c.entry) << c.name;
    }
}

}  // namespace
