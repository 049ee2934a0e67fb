#pragma once
// The cartridge header at the start of every image.

#include <cstdint>

inline constexpr uint32_t HeaderTitleOffset = 0xA0;
inline constexpr uint32_t HeaderComplementOffset = 0xBD;

// The header's check byte: 0xE7 minus the bytes 0xA0-0xBC, modulo 256.
uint8_t HeaderComplement(const uint8_t* header);

// The start-up summary (printed only when Verbose is nonzero).
void PrintHeaderSummary(const uint8_t* header);
