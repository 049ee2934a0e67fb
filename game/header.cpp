#include "game/header.h"

#include <cstdio>
#include <cstring>

#include "game/settings.h"

namespace {

constexpr uint16_t MakerCode(const char (&code)[3]) { return uint16_t(uint8_t(code[0]) << 8 | uint8_t(code[1])); }

}  // namespace

const MakerEntry MakerTable[25] = {
    {MakerCode("01"), "Nintendo"},
    {MakerCode("08"), "Capcom"},
    {MakerCode("18"), "Hudson Soft"},
    {MakerCode("28"), "Kemco (Japan)"},
    {MakerCode("2L"), "TAM"},
    {MakerCode("41"), "UBI Soft"},
    {MakerCode("52"), "Activision"},
    {MakerCode("5D"), "Midway"},
    {MakerCode("5G"), "Majesco Sales"},
    {MakerCode("5H"), "3DO"},
    {MakerCode("6L"), "BAM!"},
    {MakerCode("6W"), "SEGA (US)"},
    {MakerCode("78"), "THQ"},
    {MakerCode("7F"), "Kemco (US)"},
    {MakerCode("8P"), "SEGA (Japan)"},
    {MakerCode("A4"), "Konami (1)"},
    {MakerCode("A7"), "Takara"},
    {MakerCode("AF"), "Namco"},
    {MakerCode("BL"), "MTO"},
    {MakerCode("BP"), "Global A"},
    {MakerCode("C8"), "KOEI"},
    {MakerCode("EB"), "Atlus"},
    {MakerCode("EL"), "Spike"},
    {MakerCode("EM"), "Konami (2)"},
    {0, nullptr},
};

std::string GetGameTitle(const uint8_t* header) {
    std::string title;
    for (uint32_t i = 0; i < 12 && header[HeaderTitleOffset + i] != 0; ++i)
        title += char(header[HeaderTitleOffset + i]);
    return title;
}

uint8_t HeaderComplement(const uint8_t* header) {
    uint8_t check = 0xE7;
    for (uint32_t offset = HeaderTitleOffset; offset < HeaderComplementOffset; ++offset)
        check = uint8_t(check - header[offset]);
    return check;
}

const char* FindMakerName(const uint8_t* header) {
    const uint16_t code = uint16_t(header[HeaderMakerOffset] << 8 | header[HeaderMakerOffset + 1]);
    for (const MakerEntry* entry = MakerTable; entry->Name; ++entry)
        if (entry->Code == code) return entry->Name;
    return nullptr;
}

// The first instruction is a branch "b entry": its 24-bit word offset counts
// from the branch's own address plus 8 (the ARM pipeline).
uint32_t HeaderEntryAddress(const uint8_t* header) {
    const uint32_t offset = uint32_t(header[0]) | uint32_t(header[1]) << 8 | uint32_t(header[2]) << 16;
    return offset * 4 + 0x08000008u;
}

void PrintHeaderSummary(const uint8_t* header) {
    const uint8_t* code = header + HeaderGameCodeOffset;
    const uint8_t* maker = header + HeaderMakerOffset;
    const char* makerName = FindMakerName(header);
    std::printf("  Title:    %s (%c%c%c%c)\n", GetGameTitle(header).c_str(), code[0], code[1], code[2], code[3]);
    std::printf("  Maker:    %s (%c%c)\n", makerName ? makerName : "Unknown", maker[0], maker[1]);
    // The game code's last letter names the market the cartridge was made for.
    const uint8_t region = code[3];
    std::printf("  Japanese: %s\n", region == 'J' ? "YES" : "NO");
    std::printf("  American: %s\n", region == 'E' ? "YES" : "NO");
    std::printf("  European: %s\n", region == 'P' ? "YES" : "NO");
    std::printf("  German:   %s\n", region == 'D' ? "YES" : "NO");
    std::printf("  Version:  %02Xh\n", header[HeaderVersionOffset]);
    std::printf("  Unit:     %02Xh\n", header[HeaderUnitOffset]);
    std::printf("  Device:   %02Xh\n", header[HeaderDeviceOffset]);
    std::printf("  Start:    %08Xh\n", HeaderEntryAddress(header));
    const uint8_t computed = HeaderComplement(header);
    std::printf("  CMP:      %02Xh (computed %02Xh, %s)\n", header[HeaderComplementOffset], computed,
                computed == header[HeaderComplementOffset] ? "good" : "BAD");
}
