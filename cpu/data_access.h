#pragma once
// The CPU's data accesses. Loads are an inline page-table read plus the
// region's cycle cost: they reach host memory directly, so loads never have
// I/O side effects, and the address is not reduced to 28 bits as the bus
// functions do. Only the timer counters and the backup chips' narrow bus
// leave the straight path. Stores take the bus's straight path inline when
// they need no side effect, and otherwise call the bus's slow path out of
// the loop (machine/bus.h).

#include <cstdint>

#include "cpu/access_cost.h"
#include "cpu/core.h"
#include "machine/bus.h"
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

// The timer word holding `address`, at the cycle of the load.
inline uint32_t LoadTimerWord(Core& core, uint32_t address) {
    uint32_t word = 0;
    core.CallOut([&] { word = ReadTimerWord(core.m, address); });
    return word;
}

// A misaligned word load returns the aligned word shifted right (no
// rotation): the vacated high bytes are zero.
inline uint32_t LoadWord(Core& core, uint32_t address) {
    const uint32_t region = (address >> 24) & 15;
    core.cycles -= core.m.AccessCost32[region];
    if (IsSpecialLoadRegion(region)) [[unlikely]] {
        if (IsBackupRegion(region)) return PeekByte(core.m.PageTable, address) * 0x01010101u;
        if (IsTimerAddress(address)) return LoadTimerWord(core, address) >> (8 * (address & 3));
    }
    return PeekWord(core.m.PageTable, address) >> (8 * (address & 3));
}

// Halfword loads ignore address bit 0.
inline uint32_t LoadHalf(Core& core, uint32_t address) {
    const uint32_t region = (address >> 24) & 15;
    core.cycles -= core.m.AccessCost16[region];
    if (IsSpecialLoadRegion(region)) [[unlikely]] {
        if (IsBackupRegion(region)) return PeekByte(core.m.PageTable, address) * 0x0101u;
        if (IsTimerAddress(address)) return uint16_t(LoadTimerWord(core, address) >> (8 * (address & 2)));
    }
    return PeekHalf(core.m.PageTable, address);
}

inline uint32_t LoadByte(Core& core, uint32_t address) {
    core.cycles -= core.m.AccessCost16[(address >> 24) & 15];
    if (IsTimerAddress(address)) [[unlikely]]
        return uint8_t(LoadTimerWord(core, address) >> (8 * (address & 3)));
    return PeekByte(core.m.PageTable, address);
}

// A store of 32, 16 or 8 bits: its cycles, then the straight store or the
// bus's slow path with its side effects.
template <typename T>
inline void Store(Core& core, uint32_t address, T value) {
    address &= BusMask;
    core.cycles -= sizeof(T) == 4 ? RegionCost32(core.m, address) : RegionCost16(core.m, address);
    if (IsPlainStore<T>(address)) [[likely]] {
        StoreLittle<T>(WriteHostAddress(core.m.PageTable, address), value);
        return;
    }
    core.CallOut([&] { SlowWrite(core.m, address, value); });
}

inline void StoreWord(Core& core, uint32_t address, uint32_t value) { Store<uint32_t>(core, address, value); }
inline void StoreHalf(Core& core, uint32_t address, uint32_t value) { Store<uint16_t>(core, address, uint16_t(value)); }
inline void StoreByte(Core& core, uint32_t address, uint32_t value) { Store<uint8_t>(core, address, uint8_t(value)); }

// The number of registers in a block transfer's 16-bit list: std::popcount,
// without the library call it becomes on processors lacking the instruction.
inline uint32_t CountRegisters(uint32_t list) {
    list -= (list >> 1) & 0x5555;
    list = (list & 0x3333) + ((list >> 2) & 0x3333);
    list = (list + (list >> 4)) & 0x0F0F;
    return (list + (list >> 8)) & 0x1F;
}
