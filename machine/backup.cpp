// The backup chip as a whole: its memories, which chip the cartridge has,
// where it answers on the bus, and the static RAM (the FLASH and EEPROM
// decoders live in flash.cpp and eeprom.cpp).

#include "machine/backup.h"

#include <cstring>

#include "machine/machine.h"
#include "machine/page_table.h"
#include "machine/rtc.h"

namespace {

constexpr uint32_t WindowBase = 0x0E000000;
constexpr uint32_t WindowSpan = 0x02000000;  // through 0x0FFFFFFF

// What each chip looks like from the bus.
struct ChipShape {
    uint32_t window;      // bytes that repeat through 0x0E000000-0x0FFFFFFF
    uint32_t size;        // bytes of static RAM or FLASH the chip keeps
    uint16_t identifier;  // FLASH identification code
};
constexpr ChipShape ChipShapes[SaveTypeCount] = {
    {FlashBankSize, FlashBankSize, Flash64Identifier},      // Combined
    {SramSize, SramSize, 0},                                // Sram
    {FlashBankSize, FlashBankSize, Flash64Identifier},      // Flash64
    {FlashBankSize, BackupMemorySize, Flash128Identifier},  // Flash128
    {FlashBankSize, 0, 0},                                  // Eeprom: nothing there, reads see erased bytes
};

const ChipShape& Shape(const Machine& m) { return ChipShapes[uint8_t(m.Backup.Type) % SaveTypeCount]; }

// The EEPROM sits where 16-bit accesses with address bit 24 set reach the
// cartridge's upper half. The combined chips keep the wide window every game
// had before (0x09, 0x0B, 0x0D and 0x0F000000 onwards); a real EEPROM answers
// at 0x0D000000 only, and beside a cartridge image over 16 MB, which fills
// that range, only in its last 256 bytes.
void PlaceEepromWindow(Machine& m, uint32_t romSize) {
    constexpr uint32_t Large = 0x1000000;
    switch (m.Backup.Type) {
    case SaveType::Combined:
        m.BackupWindow.EepromWindowMask = 0xF9000000u, m.BackupWindow.EepromWindowBase = 0x09000000u;
        break;
    case SaveType::Eeprom:
        if (romSize > Large)
            m.BackupWindow.EepromWindowMask = 0xFFFFFF00u, m.BackupWindow.EepromWindowBase = 0x0DFFFF00u;
        else
            m.BackupWindow.EepromWindowMask = 0xFF000000u, m.BackupWindow.EepromWindowBase = 0x0D000000u;
        break;
    default: m.BackupWindow.EepromWindowMask = 0, m.BackupWindow.EepromWindowBase = 1; break;  // never matches
    }
}

}  // namespace

void PowerOnBackupMemory(Machine& m) {
    m.BackupMemory.fill(0xFF);
    m.EepromMemory.fill(0xFF);
    m.Flash = FlashState{};
    m.Eeprom = EepromState{};
    SetSaveType(m, SaveType::Combined, EepromSmallWidth, 0);
    PowerOnClock(m);
}

void SetSaveType(Machine& m, SaveType type, uint8_t eepromWidth, uint32_t romSize) {
    m.Backup.Type = type;
    m.Backup.FlashBank = 0;
    // Only an EEPROM cartridge has a width to find out; the combined chips
    // keep the 6-bit addresses they always had.
    const bool eeprom = type == SaveType::Eeprom;
    m.Backup.EepromWidth = type == SaveType::Combined ? EepromSmallWidth : eeprom ? eepromWidth : 0;
    m.Backup.EepromWidthKnown = m.Backup.EepromWidth != 0;
    m.Flash.Identifier = Shape(m).identifier;
    PlaceEepromWindow(m, romSize);
    MapBackupMemory(m);
}

void ResetBackupMemory(Machine& m, bool trace) {
    // The chip's cells never held the identifier: a reset in identification
    // mode shows the saved bytes again instead of losing them.
    HideIdentifier(m);
    m.Flash = FlashState{};
    m.Flash.Identifier = Shape(m).identifier;
    m.Flash.Trace = trace ? 1 : 0;
    m.Backup.FlashBank = 0;
    MapBackupMemory(m);
}

void MapBackupMemory(Machine& m) {
    const bool banked = m.Backup.Type == SaveType::Flash128;
    uint8_t* window = m.BackupMemory.data() + (banked ? (m.Backup.FlashBank & 1) * FlashBankSize : 0);
    m.BackupWindow.FlashMemory = window;
    MapRegion(m, window, Shape(m).window, WindowBase, WindowSpan, true);
}

uint32_t BackupChipSize(const Machine& m) { return Shape(m).size; }

uint32_t EepromSize(const Machine& m) {
    if (m.Backup.Type == SaveType::Combined) return EepromSmallSize;
    if (m.Backup.Type != SaveType::Eeprom) return 0;
    return m.Backup.EepromWidth == EepromLargeWidth ? EepromLargeSize : EepromSmallSize;
}

void BackupWrite(Machine& m, uint32_t address, uint8_t value) {
    switch (m.Backup.Type) {
    case SaveType::Sram: m.BackupMemory[address & (SramSize - 1)] = value; return;
    case SaveType::Eeprom: return;
    default: FlashWrite(m, uint16_t(address), value); return;
    }
}
