#include "machine/bus.h"

#include <bit>
#include <cstdio>

#include "cpu/access_cost.h"
#include "game/settings.h"
#include "machine/backup.h"
#include "machine/io_reads.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/open_bus.h"
#include "machine/rtc.h"
#include "machine/video_memory.h"

namespace {

// Where the cartridge bus begins: the ROM, then the backup chips above it.
constexpr uint32_t CartridgeBusStart = 0x08000000;

// The I/O registers as the bus functions read them: what no register
// answers reads 0 (DMA keeps its own latch for unreadable sources).
uint32_t IoWord(Machine& m, uint32_t address) { return ReadIoRegisters(m, address).Value; }

}  // namespace

uint32_t BusRead32(Machine& m, uint32_t address) {
    address &= BusMask;
    m.Cpu.Cycles -= RegionCost32(m, address);
    if (IsSmallVideoMemory(address)) address = FirstCopyAddress(address);
    // The backup chips sit on an 8-bit bus: every byte lane carries the
    // addressed byte.
    if (IsBackupAddress(address)) [[unlikely]]
        return PeekByte(m.PageTable, address) * 0x01010101u;
    const uint32_t word = IsIoAddress(address) ? IoWord(m, address) : PeekWord(m.PageTable, address);
    if (address & 3) {
        if (m.Verbose & VerboseMemory) std::printf("MEM: Unaligned qread [%08X] (PC=%08X)\n", address, m.Cpu.R[15]);
        return std::rotr(word, 8 * (address & 3));
    }
    return word;
}

uint16_t BusRead16(Machine& m, uint32_t address) {
    address &= BusMask;
    m.Cpu.Cycles -= RegionCost16(m, address);
    if (IsSmallVideoMemory(address)) address = FirstCopyAddress(address);
    if (IsEepromAddress(m.BackupWindow, address)) return EepromReadBit(m);
    if (IsBackupAddress(address)) return uint16_t(PeekByte(m.PageTable, address) * 0x0101u);
    if ((address & 1) && (m.Verbose & VerboseMemory))
        std::printf("MEM: Unaligned wread [%08X] (PC=%08X)\n", address, m.Cpu.R[15]);
    if (IsIoAddress(address)) return uint16_t(LoadedPart(IoWord(m, address), address, 2));
    return PeekHalf(m.PageTable, address);
}

uint8_t BusRead8(Machine& m, uint32_t address) {
    address &= BusMask;
    m.Cpu.Cycles -= RegionCost16(m, address);
    if (IsSmallVideoMemory(address)) address = FirstCopyAddress(address);
    if (IsIoAddress(address)) return uint8_t(LoadedPart(IoWord(m, address), address, 1));
    return PeekByte(m.PageTable, address);
}

uint32_t SpecialLoad(Machine& m, uint32_t address, uint32_t width) {
    uint32_t word;  // the aligned word the bus delivers
    switch (address >> 24) {
    case 0x00: word = address < 0x4000 ? BiosWord(m, address & ~3u) : CpuOpenBus(m); break;
    case 0x04: {
        // A narrower load reads its one register: a timer's count, or
        // nothing.
        if (width != 4) {
            const IoRead io = ReadIoHalfword(m, address);
            const uint32_t half = io.OpenBits ? (CpuOpenBus(m) >> (8 * (address & 2))) & 0xFFFF : io.Value;
            return width == 2 ? half : (half >> (8 * (address & 1))) & 0xFF;
        }
        const IoRead io = ReadIoRegisters(m, address);
        word = io.OpenBits ? io.Value | (CpuOpenBus(m) & io.OpenBits) : io.Value;
        break;
    }
    case 0x05:
    case 0x07: word = PeekWord(m.PageTable, FirstCopyAddress(address)); break;
    case 0x0D:
        // The serial EEPROM answers every load in its window with one bit.
        if (IsEepromAddress(m.BackupWindow, address)) return EepromReadBit(m);
        word = PeekWord(m.PageTable, address);
        break;
    case 0x0E:
    case 0x0F: {
        const uint32_t byte = PeekByte(m.PageTable, address);
        return width == 1 ? byte : width == 2 ? byte * 0x0101u : byte * 0x01010101u;
    }
    default: word = CpuOpenBus(m); break;  // 0x01, and the top four address lines set
    }
    return LoadedPart(word, address, width);
}

void SlowWrite(Machine& m, uint32_t address, uint32_t value) {
    if (address >= CartridgeBusStart) ++m.CartridgeStores;
    if ((address & 3) && (m.Verbose & VerboseMemory))
        std::printf("MEM: Unaligned qwrite [%08X] = %08X (PC=%08X)\n", address, value, m.Cpu.R[15]);
    // Palette RAM and OAM: the store lands in their first KB.
    if (IsSmallVideoMemory(address))
        return StoreLittle<uint32_t>(WriteHostAddress(m.PageTable, FirstCopyAddress(address & ~3u)), value);
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
    if (address >= CartridgeBusStart) ++m.CartridgeStores;
    if ((address & 1) && (m.Verbose & VerboseMemory))
        std::printf("MEM: Unaligned wwrite [%08X] = %04X (PC=%08X)\n", address, value, m.Cpu.R[15]);
    if (IsSmallVideoMemory(address))
        return StoreLittle<uint16_t>(WriteHostAddress(m.PageTable, FirstCopyAddress(address & ~1u)), value);
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
    if (address >= CartridgeBusStart) ++m.CartridgeStores;
    if (IsBackupAddress(address)) {
        BackupWrite(m, address, value);
        return;
    }
    if (IsIoAddress(address)) return WriteIoByte(m, address, value);
    if (IsVideoAddress(address)) return StoreVideoByte(m, address, value);
    // The cartridge bus takes no byte stores: not the image, not the clock's port.
    *WriteHostAddress(m.PageTable, address) = value;
}
