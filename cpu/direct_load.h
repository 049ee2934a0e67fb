#pragma once
// CPU loads: an inline page-table read plus the region's cycle cost. They
// reach host memory directly, so loads never have I/O side effects; the
// address is not reduced to 28 bits as the bus functions do. A few regions
// leave the straight path for the bus's SpecialLoad.

#include <cstdint>

#include "machine/bus.h"
#include "machine/io_reads.h"
#include "machine/machine.h"

// Regions where a load cannot simply read the page: the BIOS (0x00, which
// only answers code inside it) and the unused 0x01 (open bus), the I/O
// registers (0x04), palette RAM and OAM (0x05, 0x07: 1 KB each, mirrored
// within their pages), the EEPROM's window (0x0D) and the backup chips'
// 8-bit bus (0x0E, 0x0F). The test takes the region number the cost lookup has
// already worked out, so every other load stays on the straight path. The
// I/O registers that read back their stored bits, which games poll, are
// read here without a call.
inline bool IsSpecialLoadRegion(uint32_t region) { return (0xE0B3u >> region) & 1; }
inline constexpr uint32_t IoRegion = 0x04;

// A load of 4, 2 or 1 bytes. A misaligned word load returns the aligned
// word shifted right (no rotation): the vacated high bytes are zero.
// Halfword loads ignore address bit 0.
template <uint32_t Width>
inline uint32_t LoadFromBus(Machine& m, uint32_t address) {
    const uint32_t region = (address >> 24) & 15;
    m.Cpu.Cycles -= Width == 4 ? m.AccessCost32[region] : m.AccessCost16[region];
    if (IsSpecialLoadRegion(region)) [[unlikely]] {
        uint32_t word;
        if (region == IoRegion && ReadPlainIo<Width>(m, address, word)) {
            if constexpr (Width == 4) return word >> (8 * (address & 3));
            if constexpr (Width == 1) return (word >> (8 * (address & 1))) & 0xFF;
            return word;
        }
        return SpecialLoad(m, address, Width);
    }
    if constexpr (Width == 4)
        return PeekWord(m.PageTable, address) >> (8 * (address & 3));
    else if constexpr (Width == 2)
        return PeekHalf(m.PageTable, address);
    else
        return PeekByte(m.PageTable, address);
}

inline uint32_t LoadWord(Machine& m, uint32_t address) { return LoadFromBus<4>(m, address); }
inline uint32_t LoadHalf(Machine& m, uint32_t address) { return LoadFromBus<2>(m, address); }
inline uint32_t LoadByte(Machine& m, uint32_t address) { return LoadFromBus<1>(m, address); }
