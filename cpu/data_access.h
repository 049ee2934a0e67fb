#pragma once
// The CPU's data accesses. Loads are an inline page-table read plus the
// region's cycle cost: they reach host memory directly, so loads never have
// I/O side effects, and the address is not reduced to 28 bits as the bus
// functions do. A few regions leave the straight path (below). Stores take the bus's straight path inline when
// they need no side effect, and otherwise call the bus's slow path out of
// the loop (machine/bus.h).

#include <cstdint>

#include "cpu/access_cost.h"
#include "cpu/core.h"
#include "machine/bus.h"
#include "machine/io_reads.h"

// Regions where a load cannot simply read the page: the BIOS (0x00, which
// only answers code inside it) and the unused 0x01 (open bus), the I/O
// registers (0x04), palette RAM and OAM (0x05, 0x07: 1 KB each, mirrored
// within their pages), the EEPROM's window (0x0D) and the backup chips'
// 8-bit bus (0x0E, 0x0F). The test takes the region number the cost lookup
// has already worked out, so every other load stays on the straight path.
// The I/O registers that read back their stored bits, which games poll,
// are read here without a call; the rest go out to the bus's SpecialLoad
// with the CPU written back, as the open bus reads R15 and a timer counter
// the cycle count.
inline bool IsSpecialLoadRegion(uint32_t region) { return (0xE0B3u >> region) & 1; }
inline constexpr uint32_t IoRegion = 0x04;

// A load of 4, 2 or 1 bytes. A misaligned word load returns the aligned
// word shifted right (no rotation): the vacated high bytes are zero.
// Halfword loads ignore address bit 0.
template <uint32_t Width>
inline uint32_t LoadFromBus(Core& core, uint32_t address) {
    const uint32_t region = (address >> 24) & 15;
    core.cycles -= Width == 4 ? core.m.AccessCost32[region] : core.m.AccessCost16[region];
    if (IsSpecialLoadRegion(region)) [[unlikely]] {
        uint32_t word;
        if (region == IoRegion && ReadPlainIo<Width>(core.m, address, word)) {
            if constexpr (Width == 4) return word >> (8 * (address & 3));
            if constexpr (Width == 1) return (word >> (8 * (address & 1))) & 0xFF;
            return word;
        }
        core.CallOut([&word, address](Machine& machine) { word = SpecialLoad(machine, address, Width); });
        return word;
    }
    if constexpr (Width == 4)
        return PeekWord(core.m.PageTable, address) >> (8 * (address & 3));
    else if constexpr (Width == 2)
        return PeekHalf(core.m.PageTable, address);
    else
        return PeekByte(core.m.PageTable, address);
}

inline uint32_t LoadWord(Core& core, uint32_t address) { return LoadFromBus<4>(core, address); }
inline uint32_t LoadHalf(Core& core, uint32_t address) { return LoadFromBus<2>(core, address); }
inline uint32_t LoadByte(Core& core, uint32_t address) { return LoadFromBus<1>(core, address); }

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
    core.CallOut([address, value](Machine& machine) { SlowWrite(machine, address, value); });
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
