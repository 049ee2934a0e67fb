// The FLASH command decoder behind 0x0E000000. A FLASH chip changes only
// through commands: the unlock sequence, then a command byte (erase,
// program one byte, identify, and on 128 KB chips select a bank). The
// combined chips of an unmarked cartridge also take plain stores, as the
// static RAM they may be.

#include <cstdio>
#include <cstring>

#include "machine/backup.h"

FlashState Flash{};
uint8_t* FlashMemory = nullptr;

namespace {

constexpr uint16_t UnlockAddress1 = 0x5555;
constexpr uint16_t UnlockAddress2 = 0x2AAA;

bool TakesPlainStores() { return Backup.Type == SaveType::Combined; }

// Stores that turned out not to start a command are ordinary stores for the
// combined chips, and the unlock bytes the decoder swallowed on the way are
// put where they were aimed, so a static-RAM game that happens to write
// them loses nothing. A real FLASH chip ignores them all.
void ReplayUnlock(bool withSecond) {
    if (!TakesPlainStores()) return;
    FlashMemory[UnlockAddress1] = 0xAA;
    if (withSecond) FlashMemory[UnlockAddress2] = 0x55;
}

void FlashTrace(const char* format, unsigned a = 0, unsigned b = 0, unsigned c = 0, unsigned d = 0) {
    if (Flash.Trace) std::printf(format, a, b, c, d);
}

void ShowIdentifier() {
    // A repeated command leaves the saved bytes alone: saving again would
    // save the identifier bytes in place of the game's data.
    if (!Flash.IdentifyMode) Flash.SavedBytes = uint16_t(FlashMemory[0] | FlashMemory[1] << 8);
    Flash.IdentifyMode = 1;
    FlashMemory[0] = uint8_t(Flash.Identifier);
    FlashMemory[1] = uint8_t(Flash.Identifier >> 8);
}

void HideIdentifier() {
    if (!Flash.IdentifyMode) return;
    Flash.IdentifyMode = 0;
    FlashMemory[0] = uint8_t(Flash.SavedBytes);
    FlashMemory[1] = uint8_t(Flash.SavedBytes >> 8);
}

// The identifier shows in whichever bank is selected, so a bank switch in
// identification mode gives the old bank its bytes back first.
void SelectBank(uint8_t bank) {
    FlashTrace("FLASH: Bank %d selected.\n", bank);
    const bool identifying = Flash.IdentifyMode;
    HideIdentifier();
    Backup.FlashBank = bank;
    MapBackupMemory();
    if (identifying) ShowIdentifier();
}

}  // namespace

void FlashWrite(uint16_t offset, uint8_t value) {
    uint8_t* const backup = FlashMemory;
    const auto store = [&] {
        if (TakesPlainStores()) backup[offset] = value;
    };
    const uint8_t state = Flash.Command;
    Flash.Command = FlashIdle;
    switch (state) {
    case FlashIdle:
        if (offset == UnlockAddress1 && value == 0xAA) {
            Flash.Command = FlashGotAA;
        } else if (Flash.IdentifyMode && value == 0xF0) {
            FlashTrace("FLASH: Product ID mode exited.\n");
            HideIdentifier();
        } else {
            store();
        }
        break;
    case FlashGotAA:
        if (offset == UnlockAddress2 && value == 0x55) {
            Flash.Command = FlashUnlocked;
        } else {
            FlashTrace("FLASH: 0xAA 0x%02X?\n", value);
            ReplayUnlock(false);
            store();
        }
        break;
    case FlashUnlocked:
        if (offset != UnlockAddress1) {
            FlashTrace("FLASH: 0xAA 0x55 0x%02X?\n", value);
            ReplayUnlock(true);
            store();
            break;
        }
        switch (value) {
        case 0x80: Flash.Command = FlashEraseArmed; break;
        case 0x90:
            FlashTrace("FLASH: Product ID mode entered.\n");
            ShowIdentifier();
            break;
        case 0xA0: Flash.Command = FlashProgram; break;
        case 0xF0:
            FlashTrace("FLASH: Product ID mode exited.\n");
            HideIdentifier();
            break;
        case 0xB0:
            if (Backup.Type == SaveType::Flash128) {
                Flash.Command = FlashBankSelect;
                break;
            }
            [[fallthrough]];
        default: FlashTrace("FLASH: Unknown command 0x%02X.\n", value); break;
        }
        break;
    case FlashEraseArmed:
        if (offset == UnlockAddress1 && value == 0xAA) {
            Flash.Command = FlashEraseGotAA;
        } else {
            FlashTrace("FLASH: 0xAA 0x55 0x80 0x%02X?\n", value);
            store();
        }
        break;
    case FlashEraseGotAA:
        if (offset == UnlockAddress2 && value == 0x55) {
            Flash.Command = FlashEraseUnlocked;
        } else {
            FlashTrace("FLASH: 0xAA 0x55 0x80 0xAA 0x%02X?\n", value);
            ReplayUnlock(false);
            store();
        }
        break;
    case FlashEraseUnlocked:
        if (value == 0x30) {
            // Sector erase: the 4 KB sector holding the address, in the selected bank.
            const uint32_t sector = offset & 0xF000u;
            FlashTrace("FLASH: Erasing page 0x%04X-0x%04X.\n", sector, sector + 0xFFF);
            if (!Flash.IdentifyMode) std::memset(backup + sector, 0xFF, 0x1000);
        } else if (offset == UnlockAddress1 && value == 0x10) {
            // Chip erase: every bank.
            if (!Flash.IdentifyMode) {
                FlashTrace("FLASH: Erasing entire ROM.\n");
                std::memset(BackupMemory, 0xFF, BackupChipSize());
            }
        } else if (offset == UnlockAddress1) {
            FlashTrace("FLASH: Unknown command 0x80 0x%02X.\n", value);
        } else {
            FlashTrace("FLASH: 0xAA 0x55 0x80 0xAA 0x55 0x%02X?.\n", value);
            ReplayUnlock(true);
            store();
        }
        break;
    case FlashProgram:
        // Programming can only clear bits; only an erase sets them again.
        if (!Flash.IdentifyMode) {
            const uint8_t old = backup[offset];
            FlashTrace("FLASH: Writing to 0x%04X: 0x%02X AND 0x%02X ==> 0x%02X.\n", offset, value, old,
                       unsigned(old & value));
            backup[offset] = uint8_t(old & value);
        }
        break;
    case FlashBankSelect:
        if (offset == 0) {
            SelectBank(value & 1);
        } else {
            FlashTrace("FLASH: 0xAA 0x55 0xB0 0x%02X?\n", value);
        }
        break;
    default:
        // Only a damaged snapshot gets here; the decoder starts over.
        store();
        break;
    }
}
