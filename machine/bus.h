#pragma once
// Bus functions: every store of the CPU, DMA and the BIOS emulation, and the
// reads of DMA and the BIOS emulation, pass through here. They charge the
// access's cycles, apply the alignment rules and divert stores to the I/O
// registers, the FLASH decoder and the serial EEPROM. CPU loads and fetches
// do not come here: they index the read map inline.

#include <cstdint>

uint32_t BusRead32(uint32_t address);
uint16_t BusRead16(uint32_t address);
uint8_t BusRead8(uint32_t address);

void BusWrite32(uint32_t address, uint32_t value);
void BusWrite16(uint32_t address, uint16_t value);
void BusWrite8(uint32_t address, uint8_t value);

// The serial EEPROM answers 16-bit accesses in the upper half of each
// cartridge window: 0x09xxxxxx, 0x0Bxxxxxx, 0x0Dxxxxxx, 0x0Fxxxxxx.
inline bool IsEepromAddress(uint32_t address) { return (address & 0xF9000000u) == 0x09000000u; }
inline bool IsIoAddress(uint32_t address) { return (address & 0x0F000000u) == 0x04000000u; }
