#pragma once
// Bus functions: every store of the CPU, DMA and the BIOS emulation, and the
// reads of DMA and the BIOS emulation, pass through here. They charge the
// access's cycles, apply the alignment rules and divert stores to the I/O
// registers, the backup chips (machine/backup.h) and the clock's port
// (machine/rtc.h). CPU fetches do not come here, nor CPU loads: they index
// the read map inline, and only in a few regions call SpecialLoad.

#include <cstdint>

#include "cpu/access_cost.h"
#include "machine/machine.h"

// The top four address lines are not decoded by the bus, so 0x1xxxxxxx to
// 0xFxxxxxxx alias the first 256 MB here (the CPU's direct loads do not).
inline constexpr uint32_t BusMask = 0x0FFFFFFF;

uint32_t BusRead32(Machine& m, uint32_t address);
uint16_t BusRead16(Machine& m, uint32_t address);
uint8_t BusRead8(Machine& m, uint32_t address);

// The part of the bus word `word` (the aligned word holding `address`) that
// a load of `width` bytes returns; a misaligned word is shifted, as the
// CPU's loads do.
inline uint32_t LoadedPart(uint32_t word, uint32_t address, uint32_t width) {
    if (width == 4) return word >> (8 * (address & 3));
    if (width == 2) return (word >> (8 * (address & 2))) & 0xFFFF;
    return (word >> (8 * (address & 3))) & 0xFF;
}

// CPU loads from the regions where a load reads more than the page (see
// cpu/direct_load.h): the BIOS, which code outside it cannot read; the
// unused area behind it and everything above 0x0FFFFFFF, where the bus
// still holds the last prefetched opcode; the I/O registers; the mirrors
// of palette RAM and OAM; the EEPROM's window; the backup chips' 8-bit
// bus. Returns what the CPU's load of `width` bytes gets, a misaligned
// word shifted as on the straight path.
[[gnu::noinline]] uint32_t SpecialLoad(Machine& m, uint32_t address, uint32_t width);

// Stores take a fast path when they need no side effect: an aligned store
// outside the I/O registers, the video memories' special cases and the
// cartridge bus goes straight through the write map, inline in the
// instruction that stores. On the cartridge bus lie the clock's port, the
// EEPROM and the backup chips; ordinary stores to the cartridge image are
// rare there and cost no more than the call. Palette RAM and OAM are
// reached through their mirrors, and VRAM takes bytes its own way
// (machine/video_memory.h). Everything else takes the slow path (28-bit
// address, cycles already charged).
template <typename T>
inline constexpr uint32_t SlowStoreRegions =
    1u << 0x4 | 1u << 0x5 | (sizeof(T) == 1 ? 1u << 0x6 : 0) | 1u << 0x7 | 0xFF00u;  // and 0x08-0x0F
template <typename T>
inline bool HasSideEffects(uint32_t address) {
    return (SlowStoreRegions<T> >> (address >> 24)) & 1;
}

inline bool IsIoAddress(uint32_t address) { return (address & 0x0F000000u) == 0x04000000u; }

[[gnu::noinline]] void SlowWrite(Machine& m, uint32_t address, uint32_t value);
[[gnu::noinline]] void SlowWrite(Machine& m, uint32_t address, uint16_t value);
[[gnu::noinline]] void SlowWrite(Machine& m, uint32_t address, uint8_t value);

// A store of 32, 16 or 8 bits: its cycles, and its side effects or the
// straight store.
template <typename T>
inline void BusWrite(Machine& m, uint32_t address, T value) {
    address &= BusMask;
    m.Cpu.Cycles -= sizeof(T) == 4 ? RegionCost32(m, address) : RegionCost16(m, address);
    if ((address & (sizeof(T) - 1)) || HasSideEffects<T>(address)) [[unlikely]]
        return SlowWrite(m, address, value);
    StoreLittle<T>(WriteHostAddress(m.PageTable, address), value);
}

inline void BusWrite32(Machine& m, uint32_t address, uint32_t value) { BusWrite<uint32_t>(m, address, value); }
inline void BusWrite16(Machine& m, uint32_t address, uint16_t value) { BusWrite<uint16_t>(m, address, value); }
inline void BusWrite8(Machine& m, uint32_t address, uint8_t value) { BusWrite<uint8_t>(m, address, value); }
