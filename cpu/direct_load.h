#pragma once
// CPU loads: an inline page-table read plus the region's cycle cost. They
// reach host memory directly, so loads never have I/O side effects; the
// address is not reduced to 28 bits as the bus functions do.

#include <cstdint>

#include "cpu/access_cost.h"
#include "cpu/cpu_state.h"
#include "machine/page_table.h"

// A misaligned word load returns the aligned word shifted right (no
// rotation): the vacated high bytes are zero.
inline uint32_t LoadWord(CpuState& cpu, uint32_t address) {
    cpu.Cycles -= AccessCost32[(address >> 24) & 15];
    return PeekWord(address) >> (8 * (address & 3));
}

// Halfword loads ignore address bit 0.
inline uint32_t LoadHalf(CpuState& cpu, uint32_t address) {
    cpu.Cycles -= AccessCost16[(address >> 24) & 15];
    return PeekHalf(address);
}

inline uint32_t LoadByte(CpuState& cpu, uint32_t address) {
    cpu.Cycles -= AccessCost16[(address >> 24) & 15];
    return PeekByte(address);
}
