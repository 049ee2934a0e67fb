#pragma once
// CPU loads: an inline page-table read plus the region's cycle cost. They
// reach host memory directly, so loads never have I/O side effects; the
// address is not reduced to 28 bits as the bus functions do. The timer
// registers alone are worked out at the cycle of the load.

#include <cstdint>

#include "cpu/access_cost.h"
#include "cpu/cpu_state.h"
#include "machine/page_table.h"
#include "machine/timers.h"

// A misaligned word load returns the aligned word shifted right (no
// rotation): the vacated high bytes are zero.
inline uint32_t LoadWord(CpuState& cpu, uint32_t address) {
    cpu.Cycles -= AccessCost32[(address >> 24) & 15];
    if (IsTimerAddress(address)) [[unlikely]]
        return ReadTimerWord(address) >> (8 * (address & 3));
    return PeekWord(address) >> (8 * (address & 3));
}

// Halfword loads ignore address bit 0.
inline uint32_t LoadHalf(CpuState& cpu, uint32_t address) {
    cpu.Cycles -= AccessCost16[(address >> 24) & 15];
    if (IsTimerAddress(address)) [[unlikely]]
        return uint16_t(ReadTimerWord(address) >> (8 * (address & 2)));
    return PeekHalf(address);
}

inline uint32_t LoadByte(CpuState& cpu, uint32_t address) {
    cpu.Cycles -= AccessCost16[(address >> 24) & 15];
    if (IsTimerAddress(address)) [[unlikely]]
        return uint8_t(ReadTimerWord(address) >> (8 * (address & 3)));
    return PeekByte(address);
}
