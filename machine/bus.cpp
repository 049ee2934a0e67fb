#include "machine/bus.h"

#include <bit>
#include <cstdio>

#include "cpu/access_cost.h"
#include "cpu/cpu_state.h"
#include "game/settings.h"
#include "machine/backup.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "machine/timers.h"

// The top four address lines are not decoded by the bus, so 0x1xxxxxxx to
// 0xFxxxxxxx alias the first 256 MB here (the CPU's direct loads do not).
static constexpr uint32_t BusMask = 0x0FFFFFFF;

uint32_t BusRead32(uint32_t address) {
    address &= BusMask;
    Cpu.Cycles -= RegionCost32(address);
    const uint32_t word = IsTimerAddress(address) ? ReadTimerWord(address) : PeekWord(address);
    if (address & 3) {
        if (Verbose & VerboseMemory)
            std::printf("MEM: Unaligned qread [%08X] (PC=%08X)\n", address, Cpu.R[15]);
        return std::rotr(word, 8 * (address & 3));
    }
    return word;
}

uint16_t BusRead16(uint32_t address) {
    address &= BusMask;
    Cpu.Cycles -= RegionCost16(address);
    if (IsEepromAddress(address)) return EepromReadBit();
    if ((address & 1) && (Verbose & VerboseMemory))
        std::printf("MEM: Unaligned wread [%08X] (PC=%08X)\n", address, Cpu.R[15]);
    if (IsTimerAddress(address)) return uint16_t(ReadTimerWord(address) >> (8 * (address & 2)));
    return PeekHalf(address);
}

uint8_t BusRead8(uint32_t address) {
    address &= BusMask;
    Cpu.Cycles -= RegionCost16(address);
    if (IsTimerAddress(address)) return uint8_t(ReadTimerWord(address) >> (8 * (address & 3)));
    return PeekByte(address);
}

// Stores take a fast path when they need no side effect: an aligned store
// outside the I/O region (and, for bytes, outside the FLASH window) goes
// straight through the write map. Everything else leaves the hot path.

[[gnu::noinline]] static void SlowWrite32(uint32_t address, uint32_t value) {
    if (address & 3) {
        if (Verbose & VerboseMemory)
            std::printf("MEM: Unaligned qwrite [%08X] = %08X (PC=%08X)\n", address, value, Cpu.R[15]);
        value = std::rotr(value, 8 * (address & 3));
    }
    const uint32_t aligned = address & ~3u;
    if (IsIoAddress(address)) {
        WriteIoRegister(aligned, uint16_t(value));
        WriteIoRegister(aligned + 2, uint16_t(value >> 16));
        return;
    }
    StoreLittle<uint32_t>(WriteHostAddress(aligned), value);
}

void BusWrite32(uint32_t address, uint32_t value) {
    address &= BusMask;
    Cpu.Cycles -= RegionCost32(address);
    if ((address & 3) || IsIoAddress(address)) [[unlikely]]
        return SlowWrite32(address, value);
    StoreLittle<uint32_t>(WriteHostAddress(address), value);
}

[[gnu::noinline]] static void SlowWrite16(uint32_t address, uint16_t value) {
    if ((address & 1) && (Verbose & VerboseMemory))
        std::printf("MEM: Unaligned wwrite [%08X] = %04X (PC=%08X)\n", address, value, Cpu.R[15]);
    if (IsEepromAddress(address)) {
        EepromWriteBit(uint8_t(value));
        return;
    }
    const uint32_t aligned = address & ~1u;
    if (IsIoAddress(address)) {
        WriteIoRegister(aligned, value);
        return;
    }
    StoreLittle<uint16_t>(WriteHostAddress(aligned), value);
}

void BusWrite16(uint32_t address, uint16_t value) {
    address &= BusMask;
    Cpu.Cycles -= RegionCost16(address);
    if ((address & 1) || IsIoAddress(address) || IsEepromAddress(address)) [[unlikely]]
        return SlowWrite16(address, value);
    StoreLittle<uint16_t>(WriteHostAddress(address), value);
}

[[gnu::noinline]] static void SlowWrite8(uint32_t address, uint8_t value) {
    if ((address & 0xFFFF0000u) == 0x0E000000u) {
        FlashWrite(uint16_t(address), value);
        return;
    }
    // The registers are written a halfword at a time: the other byte is
    // taken from what is stored for the register.
    const uint8_t other = IoRegs()[(address ^ 1) & 0x3FFF];
    const uint16_t half = (address & 1) ? uint16_t(value << 8 | other) : uint16_t(other << 8 | value);
    WriteIoRegister(address & ~1u, half);
}

void BusWrite8(uint32_t address, uint8_t value) {
    address &= BusMask;
    Cpu.Cycles -= RegionCost16(address);
    if (IsIoAddress(address) || (address & 0xFFFF0000u) == 0x0E000000u) [[unlikely]]
        return SlowWrite8(address, value);
    *WriteHostAddress(address) = value;
}
