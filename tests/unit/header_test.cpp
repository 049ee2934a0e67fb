// The cartridge header: title, maker lookup, complement byte, entry address
// and the start-up summary.

#include "game/header.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "game/settings.h"

namespace {

struct Header {
    std::array<uint8_t, 0xC0> bytes{};
    void Put(uint32_t offset, const char* text) { std::memcpy(bytes.data() + offset, text, std::strlen(text)); }
    const uint8_t* data() const { return bytes.data(); }
};

TEST(Header, TitleStopsAtTheFirstZeroAndKeepsAtMostTwelveCharacters) {
    Header header;
    header.Put(0xA0, "ABC");
    header.Put(0xA7, "XY");  // after the terminating zero: not part of the title
    EXPECT_STREQ(GetGameTitle(header.data()), "ABC");

    Header full;
    full.Put(0xA0, "TWELVELETTER");
    full.Put(0xAC, "ABCE");  // the game code follows without a zero between
    EXPECT_STREQ(GetGameTitle(full.data()), "TWELVELETTER");
    // One buffer: the next call replaces the previous title.
    const char* first = GetGameTitle(full.data());
    EXPECT_EQ(GetGameTitle(header.data()), first);
    EXPECT_STREQ(first, "ABC");
}

TEST(Header, MakerCodesAreLookedUpInTheTable) {
    const struct {
        const char* code;
        const char* name;
    } cases[] = {{"01", "Nintendo"},   {"5G", "Majesco Sales"}, {"6W", "SEGA (US)"},
                 {"EM", "Konami (2)"}, {"99", nullptr},         {"10", nullptr}};
    for (const auto& c : cases) {
        Header header;
        header.Put(0xB0, c.code);
        const char* found = FindMakerName(header.data());
        if (c.name)
            EXPECT_STREQ(found, c.name) << c.code;
        else
            EXPECT_EQ(found, nullptr) << c.code;
    }
    int entries = 0;
    while (MakerTable[entries].Name) ++entries;
    EXPECT_EQ(entries, 24);
}

TEST(Header, ComplementIsE7MinusTheHeaderBytes) {
    Header zero;
    EXPECT_EQ(HeaderComplement(zero.data()), 0xE7);
    Header title;
    title.Put(0xA0, "A");  // 0xE7 - 0x41
    EXPECT_EQ(HeaderComplement(title.data()), 0xA6);
    Header wraps;
    wraps.bytes[0xBC] = 0xF0;  // 0xE7 - 0xF0 wraps to 0xF7
    wraps.bytes[0xBD] = 0x55;  // the check byte itself is not summed
    EXPECT_EQ(HeaderComplement(wraps.data()), 0xF7);
}

TEST(Header, EntryAddressFollowsTheBranchAtOffsetZero) {
    Header header;
    const uint8_t branch[] = {0x2E, 0x00, 0x00, 0xEA};
    std::memcpy(header.bytes.data(), branch, 4);
    EXPECT_EQ(HeaderEntryAddress(header.data()), 0x080000C0u);
    const uint8_t farBranch[] = {0xFF, 0xFF, 0xFF, 0xEA};  // unsigned: 0x3FFFFFC + 0x08000008
    std::memcpy(header.bytes.data(), farBranch, 4);
    EXPECT_EQ(HeaderEntryAddress(header.data()), 0x0C000004u);
}

TEST(Header, SummaryNamesTheRegionAndAnUnknownMaker) {
    Header header;
    const uint8_t branch[] = {0x2E, 0x00, 0x00, 0xEA};
    std::memcpy(header.bytes.data(), branch, 4);
    header.Put(0xA0, "KORU TEST");
    header.Put(0xAC, "AKRP");
    header.Put(0xB0, "99");
    header.bytes[0xB3] = 0x12;
    header.bytes[0xB4] = 0x80;
    header.bytes[0xBC] = 0x01;
    header.bytes[0xBD] = 0x77;
    Verbose = 1;
    testing::internal::CaptureStdout();
    PrintHeaderSummary(header.data());
    const std::string out = testing::internal::GetCapturedStdout();
    Verbose = 0;
    EXPECT_NE(out.find("  Title:    KORU TEST (AKRP)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Maker:    Unknown (99)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Japanese: NO\n  American: NO\n  European: YES\n  German:   NO\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Version:  01h\n  Unit:     12h\n  Device:   80h\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Start:    080000C0h\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  CMP:      77h ("), std::string::npos) << out;

    testing::internal::CaptureStdout();
    PrintHeaderSummary(header.data());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "silent unless Verbose";
}

}  // namespace
