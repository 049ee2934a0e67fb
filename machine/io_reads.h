#pragma once
// What the I/O registers read back. Many registers are write-only (the
// scroll and rotation registers, the window rectangles, MOSAIC, BLDY, the
// DMA addresses, the sound FIFOs): no register drives the bus for them, so
// a load sees whatever the bus still holds. Others keep only some of the
// bits written, or read zero in an unused half of a 32-bit register. The
// registers fill 0x04000000-0x040003FF; above them only MEMCNT answers, at
// 0x0800 of every 64 KB.

#include <array>
#include <cstdint>

#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/timers.h"

// A load's view of the I/O area: the value, and the bits of it that no
// register drives (left zero in Value), which read what the reader's bus
// still holds.
struct IoRead {
    uint32_t Value;
    uint32_t OpenBits;
};

// How one halfword register reads: its stored bits under a mask, nothing at
// all, or the live count of a timer.
enum class IoReadKind : uint8_t { Stored, Open, Timer };
struct IoReadRule {
    uint16_t Mask;
    IoReadKind Kind;
};

inline constexpr uint32_t IoRegisterArea = 0x400;
extern const std::array<IoReadRule, IoRegisterArea / 2> IoReadRules;

// The mask of each halfword register and each word of two that simply read
// some of their stored bits (most registers; VCOUNT and KEYINPUT among
// them), which the CPU's loads then read without a call; 0 where a
// write-only, unused or timer register needs ReadIoRegisters.
extern const std::array<uint16_t, IoRegisterArea / 2> PlainIoHalfMasks;
extern const std::array<uint32_t, IoRegisterArea / 4> PlainIoWordMasks;

// The halfword (Width 2 or 1) or word (4) holding `address` when it reads
// its stored bits; false when the load needs ReadIoRegisters.
template <uint32_t Width>
inline bool ReadPlainIo(const Machine& m, uint32_t address, uint32_t& value) {
    if constexpr (Width == 4) {
        const uint32_t offset = address & 0x00FFFFFC;
        if (offset >= IoRegisterArea) return false;
        const uint32_t mask = PlainIoWordMasks[offset / 4];
        value = ReadIoWord(m, offset) & mask;
        return mask != 0;
    } else {
        const uint32_t offset = address & 0x00FFFFFE;
        if (offset >= IoRegisterArea) return false;
        const uint32_t mask = PlainIoHalfMasks[offset / 2];
        value = ReadIoHalf(m, offset) & mask;
        return mask != 0;
    }
}

// The halfword register at `address` (bit 0 ignored), in the low 16 bits.
inline IoRead ReadIoHalfword(Machine& m, uint32_t address) {
    const uint32_t offset = address & 0x00FFFFFE;
    if (offset >= IoRegisterArea) [[unlikely]] {
        if ((address & 0xFFFC) == Io::MEMCNT) return {ReadIoHalf(m, address & 0xFFFE), 0};
        return {0, 0xFFFF};
    }
    const IoReadRule rule = IoReadRules[offset / 2];
    if (rule.Kind == IoReadKind::Stored) [[likely]]
        return {uint32_t(ReadIoHalf(m, offset) & rule.Mask), 0};
    if (rule.Kind == IoReadKind::Open) return {0, 0xFFFF};
    return {(ReadTimerWord(m, address) >> (8 * (offset & 2))) & 0xFFFF, 0};
}

// The aligned word at `address`: two halfword registers.
inline IoRead ReadIoRegisters(Machine& m, uint32_t address) {
    const IoRead low = ReadIoHalfword(m, address & ~3u);
    const IoRead high = ReadIoHalfword(m, (address & ~3u) + 2);
    return {low.Value | high.Value << 16, low.OpenBits | high.OpenBits << 16};
}
