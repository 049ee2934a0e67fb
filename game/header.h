#pragma once
// The cartridge header at the start of every image: the entry branch, the
// title, game and maker codes, and the complement byte the BIOS checks.

#include <cstdint>
#include <string>

inline constexpr uint32_t HeaderTitleOffset = 0xA0;
inline constexpr uint32_t HeaderGameCodeOffset = 0xAC;
inline constexpr uint32_t HeaderMakerOffset = 0xB0;
inline constexpr uint32_t HeaderUnitOffset = 0xB3;
inline constexpr uint32_t HeaderDeviceOffset = 0xB4;
inline constexpr uint32_t HeaderVersionOffset = 0xBC;
inline constexpr uint32_t HeaderComplementOffset = 0xBD;

// Up to 12 title characters, stopping at the first zero byte.
std::string GetGameTitle(const uint8_t* header);

// The header's check byte: 0xE7 minus the bytes 0xA0-0xBC, modulo 256.
uint8_t HeaderComplement(const uint8_t* header);

// The maker's name for the two-character code at 0xB0, or null.
const char* FindMakerName(const uint8_t* header);

// Where the branch at offset 0 sends the CPU.
uint32_t HeaderEntryAddress(const uint8_t* header);

// The start-up summary on standard output (for the Verbose start-up trace).
void PrintHeaderSummary(const uint8_t* header);

struct MakerEntry {
    uint16_t Code;  // first character << 8 | second character
    const char* Name;
};

// The makers this program knows by name, ended by an entry without one.
extern const MakerEntry MakerTable[25];
