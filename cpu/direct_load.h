#pragma once
// CPU loads: an inline page-table read plus the region's cycle cost. They
// reach host memory directly, so loads never have I/O side effects; the
// address is not reduced to 28 bits as the bus functions do. Only the timer
// counters and the backup chips' narrow bus leave the straight path.

#include <cstdint>

#include "machine/machine.h"
#include "machine/timers.h"

// The cartridge's backup chips (0x0E000000-0x0FFFFFFF) sit on an 8-bit
// bus: a wider load returns the addressed byte on every lane. The test
// takes the region number the cost lookup has already worked out; it also
// holds above 0x0FFFFFFF, where every page is the scratch page anyway.
inline bool IsBackupRegion(uint32_t region) { return region >= 0x0E; }

// Regions where a load cannot simply read the page: the backup chips, and
// the I/O area for the timer counters, which are worked out at the cycle of
// the load. One test keeps every other load on the straight path.
inline bool IsSpecialLoadRegion(uint32_t region) { return (0xC010u >> region) & 1; }

// A misaligned word load returns the aligned word shifted right (no
// rotation): the vacated high bytes are zero.
inline uint32_t LoadWord(Machine& m, uint32_t address) {
    const uint32_t region = (address >> 24) & 15;
    m.Cpu.Cycles -= m.AccessCost32[region];
    if (IsSpecialLoadRegion(region)) [[unlikely]] {
        if (IsBackupRegion(region)) return PeekByte(m.PageTable, address) * 0x01010101u;
        if (IsTimerAddress(address)) return ReadTimerWord(m, address) >> (8 * (address & 3));
    }
    return PeekWord(m.PageTable, address) >> (8 * (address & 3));
}

// Halfword loads ignore address bit 0.
inline uint32_t LoadHalf(Machine& m, uint32_t address) {
    const uint32_t region = (address >> 24) & 15;
    m.Cpu.Cycles -= m.AccessCost16[region];
    if (IsSpecialLoadRegion(region)) [[unlikely]] {
        if (IsBackupRegion(region)) return PeekByte(m.PageTable, address) * 0x0101u;
        if (IsTimerAddress(address)) return uint16_t(ReadTimerWord(m, address) >> (8 * (address & 2)));
    }
    return PeekHalf(m.PageTable, address);
}

inline uint32_t LoadByte(Machine& m, uint32_t address) {
    m.Cpu.Cycles -= m.AccessCost16[(address >> 24) & 15];
    if (IsTimerAddress(address)) [[unlikely]]
        return uint8_t(ReadTimerWord(m, address) >> (8 * (address & 3)));
    return PeekByte(m.PageTable, address);
}
