#pragma once
// CPU loads: an inline page-table read plus the region's cycle cost. They
// reach host memory directly, so loads never have I/O side effects; the
// address is not reduced to 28 bits as the bus functions do.

#include <cstdint>

#include "cpu/access_cost.h"
#include "cpu/cpu_state.h"
#include "machine/page_table.h"

// The cartridge's backup chips (0x0E000000-0x0FFFFFFF) sit on an 8-bit
// bus: a wider load returns the addressed byte on every lane. The test
// takes the region number the cost lookup has already worked out; it also
// holds above 0x0FFFFFFF, where every page is the scratch page anyway.
inline bool IsBackupRegion(uint32_t region) { return region >= 0x0E; }

// A misaligned word load returns the aligned word shifted right (no
// rotation): the vacated high bytes are zero.
inline uint32_t LoadWord(CpuState& cpu, uint32_t address) {
    const uint32_t region = (address >> 24) & 15;
    cpu.Cycles -= AccessCost32[region];
    if (IsBackupRegion(region)) [[unlikely]]
        return PeekByte(address) * 0x01010101u;
    return PeekWord(address) >> (8 * (address & 3));
}

// Halfword loads ignore address bit 0.
inline uint32_t LoadHalf(CpuState& cpu, uint32_t address) {
    const uint32_t region = (address >> 24) & 15;
    cpu.Cycles -= AccessCost16[region];
    if (IsBackupRegion(region)) [[unlikely]]
        return PeekByte(address) * 0x0101u;
    return PeekHalf(address);
}

inline uint32_t LoadByte(CpuState& cpu, uint32_t address) {
    cpu.Cycles -= AccessCost16[(address >> 24) & 15];
    return PeekByte(address);
}
