// The FLASH command decoder behind 0x0E000000. A FLASH chip changes only
// through commands: the unlock sequence, then a command byte (erase,
// program one byte, identify, and on 128 KB chips select a bank). The
// combined chips of an unmarked cartridge also take plain stores, as the
// static RAM they may be.

#include <cstdio>
#include <cstring>

#include "machine/backup.h"
#include "machine/machine.h"

namespace {

constexpr uint16_t UnlockAddress1 = 0x5555;
constexpr uint16_t UnlockAddress2 = 0x2AAA;

bool TakesPlainStores(const Machine& m) { return m.Backup.Type == SaveType::Combined; }

// Stores that turned out not to start a command are ordinary stores for the
// combined chips, and the unlock bytes the decoder swallowed on the way are
// put where they were aimed, so a static-RAM game that happens to write
// them loses nothing. A real FLASH chip ignores them all.
void ReplayUnlock(Machine& m, bool withSecond) {
    if (!TakesPlainStores(m)) return;
    m.BackupWindow.FlashMemory[UnlockAddress1] = 0xAA;
    if (withSecond) m.BackupWindow.FlashMemory[UnlockAddress2] = 0x55;
}

void FlashTrace(Machine& m, const char* format, unsigned a = 0, unsigned b = 0, unsigned c = 0, unsigned d = 0) {
    if (m.Flash.Trace) std::printf(format, a, b, c, d);
}

void ShowIdentifier(Machine& m) {
    // A repeated command leaves the saved bytes alone: saving again would
    // save the identifier bytes in place of the game's data.
    if (!m.Flash.IdentifyMode)
        m.Flash.SavedBytes = uint16_t(m.BackupWindow.FlashMemory[0] | m.BackupWindow.FlashMemory[1] << 8);
    m.Flash.IdentifyMode = 1;
    m.BackupWindow.FlashMemory[0] = uint8_t(m.Flash.Identifier);
    m.BackupWindow.FlashMemory[1] = uint8_t(m.Flash.Identifier >> 8);
}

// The identifier shows in whichever bank is selected, so a bank switch in
// identification mode gives the old bank its bytes back first.
void SelectBank(Machine& m, uint8_t bank) {
    FlashTrace(m, "FLASH: Bank %d selected.\n", bank);
    const bool identifying = m.Flash.IdentifyMode;
    HideIdentifier(m);
    m.Backup.FlashBank = bank;
    MapBackupMemory(m);
    if (identifying) ShowIdentifier(m);
}

}  // namespace

void HideIdentifier(Machine& m) {
    if (!m.Flash.IdentifyMode || !m.BackupWindow.FlashMemory) return;
    m.Flash.IdentifyMode = 0;
    m.BackupWindow.FlashMemory[0] = uint8_t(m.Flash.SavedBytes);
    m.BackupWindow.FlashMemory[1] = uint8_t(m.Flash.SavedBytes >> 8);
}

void FlashWrite(Machine& m, uint16_t offset, uint8_t value) {
    uint8_t* const backup = m.BackupWindow.FlashMemory;
    const auto store = [&] {
        if (TakesPlainStores(m)) backup[offset] = value;
    };
    const uint8_t state = m.Flash.Command;
    m.Flash.Command = FlashIdle;
    switch (state) {
    case FlashIdle:
        if (offset == UnlockAddress1 && value == 0xAA) {
            m.Flash.Command = FlashGotAA;
        } else if (m.Flash.IdentifyMode && value == 0xF0) {
            FlashTrace(m, "FLASH: Product ID mode exited.\n");
            HideIdentifier(m);
        } else {
            store();
        }
        break;
    case FlashGotAA:
        if (offset == UnlockAddress2 && value == 0x55) {
            m.Flash.Command = FlashUnlocked;
        } else {
            FlashTrace(m, "FLASH: 0xAA 0x%02X?\n", value);
            ReplayUnlock(m, false);
            store();
        }
        break;
    case FlashUnlocked:
        if (offset != UnlockAddress1) {
            FlashTrace(m, "FLASH: 0xAA 0x55 0x%02X?\n", value);
            ReplayUnlock(m, true);
            store();
            break;
        }
        switch (value) {
        case 0x80: m.Flash.Command = FlashEraseArmed; break;
        case 0x90:
            FlashTrace(m, "FLASH: Product ID mode entered.\n");
            ShowIdentifier(m);
            break;
        case 0xA0: m.Flash.Command = FlashProgram; break;
        case 0xF0:
            FlashTrace(m, "FLASH: Product ID mode exited.\n");
            HideIdentifier(m);
            break;
        case 0xB0:
            if (m.Backup.Type == SaveType::Flash128) {
                m.Flash.Command = FlashBankSelect;
                break;
            }
            [[fallthrough]];
        default: FlashTrace(m, "FLASH: Unknown command 0x%02X.\n", value); break;
        }
        break;
    case FlashEraseArmed:
        if (offset == UnlockAddress1 && value == 0xAA) {
            m.Flash.Command = FlashEraseGotAA;
        } else {
            FlashTrace(m, "FLASH: 0xAA 0x55 0x80 0x%02X?\n", value);
            store();
        }
        break;
    case FlashEraseGotAA:
        if (offset == UnlockAddress2 && value == 0x55) {
            m.Flash.Command = FlashEraseUnlocked;
        } else {
            FlashTrace(m, "FLASH: 0xAA 0x55 0x80 0xAA 0x%02X?\n", value);
            ReplayUnlock(m, false);
            store();
        }
        break;
    case FlashEraseUnlocked:
        if (value == 0x30) {
            // Sector erase: the 4 KB sector holding the address, in the selected bank.
            const uint32_t sector = offset & 0xF000u;
            FlashTrace(m, "FLASH: Erasing page 0x%04X-0x%04X.\n", sector, sector + 0xFFF);
            if (!m.Flash.IdentifyMode) std::memset(backup + sector, 0xFF, 0x1000);
        } else if (offset == UnlockAddress1 && value == 0x10) {
            // Chip erase: every bank.
            if (!m.Flash.IdentifyMode) {
                FlashTrace(m, "FLASH: Erasing entire ROM.\n");
                std::memset(m.BackupMemory.data(), 0xFF, BackupChipSize(m));
            }
        } else if (offset == UnlockAddress1) {
            FlashTrace(m, "FLASH: Unknown command 0x80 0x%02X.\n", value);
        } else {
            FlashTrace(m, "FLASH: 0xAA 0x55 0x80 0xAA 0x55 0x%02X?.\n", value);
            ReplayUnlock(m, true);
            store();
        }
        break;
    case FlashProgram:
        // Programming can only clear bits; only an erase sets them again.
        if (!m.Flash.IdentifyMode) {
            const uint8_t old = backup[offset];
            FlashTrace(m, "FLASH: Writing to 0x%04X: 0x%02X AND 0x%02X ==> 0x%02X.\n", offset, value, old,
                       unsigned(old & value));
            backup[offset] = uint8_t(old & value);
        }
        break;
    case FlashBankSelect:
        if (offset == 0) {
            SelectBank(m, value & 1);
        } else {
            FlashTrace(m, "FLASH: 0xAA 0x55 0xB0 0x%02X?\n", value);
        }
        break;
    default:
        // Only a damaged snapshot gets here; the decoder starts over.
        store();
        break;
    }
}
