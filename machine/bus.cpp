#include "machine/bus.h"

#include <bit>
#include <cstdio>

#include "cpu/access_cost.h"
#include "game/settings.h"
#include "machine/backup.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/rtc.h"
#include "machine/timers.h"


uint32_t BusRead32(Machine& m, uint32_t address) {
    address &= BusMask;
    m.Cpu.Cycles -= RegionCost32(m, address);
    // The backup chips sit on an 8-bit bus: every byte lane carries the
    // addressed byte.
    if (IsBackupAddress(address)) [[unlikely]]
        return PeekByte(m.PageTable, address) * 0x01010101u;
    const uint32_t word = IsTimerAddress(address) ? ReadTimerWord(m, address) : PeekWord(m.PageTable, address);
    if (address & 3) {
        if (m.Verbose & VerboseMemory) std::printf("MEM: Unaligned qread [%08X] (PC=%08X)\n", address, m.Cpu.R[15]);
        return std::rotr(word, 8 * (address & 3));
    }
    return word;
}

uint16_t BusRead16(Machine& m, uint32_t address) {
    address &= BusMask;
    m.Cpu.Cycles -= RegionCost16(m, address);
    if (IsEepromAddress(m.BackupWindow, address)) return EepromReadBit(m);
    if (IsBackupAddress(address)) return uint16_t(PeekByte(m.PageTable, address) * 0x0101u);
    if ((address & 1) && (m.Verbose & VerboseMemory))
        std::printf("MEM: Unaligned wread [%08X] (PC=%08X)\n", address, m.Cpu.R[15]);
    if (IsTimerAddress(address)) return uint16_t(ReadTimerWord(m, address) >> (8 * (address & 2)));
    return PeekHalf(m.PageTable, address);
}

uint8_t BusRead8(Machine& m, uint32_t address) {
    address &= BusMask;
    m.Cpu.Cycles -= RegionCost16(m, address);
    if (IsTimerAddress(address)) return uint8_t(ReadTimerWord(m, address) >> (8 * (address & 3)));
    return PeekByte(m.PageTable, address);
}

void SlowWrite(Machine& m, uint32_t address, uint32_t value) {
    if ((address & 3) && (m.Verbose & VerboseMemory))
        std::printf("MEM: Unaligned qwrite [%08X] = %08X (PC=%08X)\n", address, value, m.Cpu.R[15]);
    // The backup chips' 8-bit bus takes the byte lane of the address, the
    // value rotated as the CPU drives it; everything else stores the whole
    // word, unrotated, at the aligned address.
    if (IsBackupAddress(address)) return BackupWrite(m, address, uint8_t(std::rotr(value, 8 * (address & 3))));
    const uint32_t aligned = address & ~3u;
    if (IsIoAddress(address)) {
        WriteIoRegister(m, aligned, uint16_t(value));
        WriteIoRegister(m, aligned + 2, uint16_t(value >> 16));
        return;
    }
    if (IsClockPortAddress(aligned)) {
        WriteClockPort(m, aligned, uint16_t(value));
        if (IsClockPortAddress(aligned + 2)) WriteClockPort(m, aligned + 2, uint16_t(value >> 16));
        return;
    }
    StoreLittle<uint32_t>(WriteHostAddress(m.PageTable, aligned), value);
}


void SlowWrite(Machine& m, uint32_t address, uint16_t value) {
    if ((address & 1) && (m.Verbose & VerboseMemory))
        std::printf("MEM: Unaligned wwrite [%08X] = %04X (PC=%08X)\n", address, value, m.Cpu.R[15]);
    if (IsEepromAddress(m.BackupWindow, address)) {
        EepromWriteBit(m, uint8_t(value));
        return;
    }
    // At an odd address the halfword's high byte is on the addressed lane.
    if (IsBackupAddress(address)) return BackupWrite(m, address, uint8_t(value >> (8 * (address & 1))));
    const uint32_t aligned = address & ~1u;
    if (IsIoAddress(address)) {
        WriteIoRegister(m, aligned, value);
        return;
    }
    if (IsClockPortAddress(aligned)) {
        WriteClockPort(m, aligned, value);
        return;
    }
    StoreLittle<uint16_t>(WriteHostAddress(m.PageTable, aligned), value);
}


void SlowWrite(Machine& m, uint32_t address, uint8_t value) {
    if (IsBackupAddress(address)) {
        BackupWrite(m, address, value);
        return;
    }
    if (IsIoAddress(address)) {
        // The registers are written a halfword at a time: the other byte is
        // taken from what is stored for the register.
        const uint8_t other = m.Io[(address ^ 1) & 0x3FFF];
        const uint16_t half = (address & 1) ? uint16_t(value << 8 | other) : uint16_t(other << 8 | value);
        WriteIoRegister(m, address & ~1u, half);
        return;
    }
    // The cartridge bus takes no byte stores: not the image, not the clock's port.
    *WriteHostAddress(m.PageTable, address) = value;
}
