#pragma once
// The I/O registers at 0x04000000: their storage IoRegs (read directly by
// the CPU through the read map) and the write path that carries each
// register's side effects. Also the machine's power-on reset.

#include <cstdint>

#include "machine/page_table.h"

// The 16 KB register block, found through the read map like every region.
inline uint8_t* IoRegs() { return PageTable.Read[0x04000000u >> PageShift]; }

inline uint16_t ReadIoHalf(uint32_t offset) { return LoadLittle<uint16_t>(IoRegs() + offset); }
inline void StoreIoHalf(uint32_t offset, uint16_t value) { StoreLittle<uint16_t>(IoRegs() + offset, value); }

// A 16-bit store anywhere in 0x04000000-0x04FFFFFF; address bits 1-11 select
// the register, so the registers repeat every 4 KB.
void WriteIoRegister(uint32_t address, uint16_t value);

// Puts the CPU, the registers and the derived hardware state into their
// power-on state (with or without a BIOS image).
void ResetHardware();
