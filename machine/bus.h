#pragma once
// Bus functions: every store of the CPU, DMA and the BIOS emulation, and the
// reads of DMA and the BIOS emulation, pass through here. They charge the
// access's cycles, apply the alignment rules and divert stores to the I/O
// registers, the backup chips (machine/backup.h) and the clock's port
// (machine/rtc.h). CPU loads and fetches do not come here: they index the
// read map inline.

#include <cstdint>

struct Machine;

uint32_t BusRead32(Machine& m, uint32_t address);
uint16_t BusRead16(Machine& m, uint32_t address);
uint8_t BusRead8(Machine& m, uint32_t address);

void BusWrite32(Machine& m, uint32_t address, uint32_t value);
void BusWrite16(Machine& m, uint32_t address, uint16_t value);
void BusWrite8(Machine& m, uint32_t address, uint8_t value);

inline bool IsIoAddress(uint32_t address) { return (address & 0x0F000000u) == 0x04000000u; }
