// The backup chip as a whole: its memories, which chip the cartridge has,
// where it answers on the bus, and the static RAM (the FLASH and EEPROM
// decoders live in flash.cpp and eeprom.cpp).

#include "machine/backup.h"

#include <cstring>

#include "machine/page_table.h"
#include "machine/rtc.h"

uint8_t BackupMemory[BackupMemorySize];
uint8_t EepromMemory[EepromLargeSize];
BackupState Backup{};
uint32_t EepromWindowMask = 0;
uint32_t EepromWindowBase = 1;

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

const ChipShape& Shape() { return ChipShapes[uint8_t(Backup.Type) % SaveTypeCount]; }

// The EEPROM sits where 16-bit accesses with address bit 24 set reach the
// cartridge's upper half. The combined chips keep the wide window every game
// had before (0x09, 0x0B, 0x0D and 0x0F000000 onwards); a real EEPROM answers
// at 0x0D000000 only, and beside a cartridge image over 16 MB, which fills
// that range, only in its last 256 bytes.
void PlaceEepromWindow(uint32_t romSize) {
    constexpr uint32_t Large = 0x1000000;
    switch (Backup.Type) {
    case SaveType::Combined: EepromWindowMask = 0xF9000000u, EepromWindowBase = 0x09000000u; break;
    case SaveType::Eeprom:
        if (romSize > Large)
            EepromWindowMask = 0xFFFFFF00u, EepromWindowBase = 0x0DFFFF00u;
        else
            EepromWindowMask = 0xFF000000u, EepromWindowBase = 0x0D000000u;
        break;
    default: EepromWindowMask = 0, EepromWindowBase = 1; break;  // never matches
    }
}

}  // namespace

void PowerOnBackupMemory() {
    std::memset(BackupMemory, 0xFF, sizeof BackupMemory);
    std::memset(EepromMemory, 0xFF, sizeof EepromMemory);
    Flash = FlashState{};
    Eeprom = EepromState{};
    SetSaveType(SaveType::Combined, EepromSmallWidth, 0);
    PowerOnClock();
}

void SetSaveType(SaveType type, uint8_t eepromWidth, uint32_t romSize) {
    Backup.Type = type;
    Backup.FlashBank = 0;
    // Only an EEPROM cartridge has a width to find out; the combined chips
    // keep the 6-bit addresses they always had.
    const bool eeprom = type == SaveType::Eeprom;
    Backup.EepromWidth = type == SaveType::Combined ? EepromSmallWidth : eeprom ? eepromWidth : 0;
    Backup.EepromWidthKnown = Backup.EepromWidth != 0;
    Flash.Identifier = Shape().identifier;
    PlaceEepromWindow(romSize);
    MapBackupMemory();
}

void ResetBackupMemory(bool trace) {
    // The chip's cells never held the identifier: a reset in identification
    // mode shows the saved bytes again instead of losing them.
    if (Flash.IdentifyMode && FlashMemory) {
        FlashMemory[0] = uint8_t(Flash.SavedBytes);
        FlashMemory[1] = uint8_t(Flash.SavedBytes >> 8);
    }
    Flash = FlashState{};
    Flash.Identifier = Shape().identifier;
    Flash.Trace = trace ? 1 : 0;
    Backup.FlashBank = 0;
    MapBackupMemory();
}

void MapBackupMemory() {
    const bool banked = Backup.Type == SaveType::Flash128;
    uint8_t* window = BackupMemory + (banked ? (Backup.FlashBank & 1) * FlashBankSize : 0);
    FlashMemory = window;
    MapRegion(window, Shape().window, WindowBase, WindowSpan, true);
}

uint32_t BackupChipSize() { return Shape().size; }

uint32_t EepromSize() {
    if (Backup.Type == SaveType::Combined) return EepromSmallSize;
    if (Backup.Type != SaveType::Eeprom) return 0;
    return Backup.EepromWidth == EepromLargeWidth ? EepromLargeSize : EepromSmallSize;
}

void BackupWrite(uint32_t address, uint8_t value) {
    switch (Backup.Type) {
    case SaveType::Sram: BackupMemory[address & (SramSize - 1)] = value; return;
    case SaveType::Eeprom: return;
    default: FlashWrite(uint16_t(address), value); return;
    }
}
