#include "game/snapshot_chips.h"

#include <cstring>

#include "machine/machine.h"
#include "machine/rtc.h"

namespace {

constexpr uint8_t BlockMark[4] = {'C', 'H', 'I', 'P'};
constexpr uint32_t BlockVersion = 1;
constexpr uint32_t StateOffset = 8, ClockOffset = 16, MemoryOffset = 48;
constexpr uint32_t EepromOffset = MemoryOffset + BackupMemorySize;
static_assert(EepromOffset + EepromLargeSize == ChipBlockSize);

}  // namespace

bool NeedsChipBlock(const Machine& m) {
    if (m.RealTimeClock.Present) return true;
    switch (m.Backup.Type) {
    case SaveType::Combined:
    case SaveType::Flash64: return false;
    case SaveType::Eeprom: return !(m.Backup.EepromWidthKnown && m.Backup.EepromWidth == EepromSmallWidth);
    default: return true;
    }
}

void WriteChipBlock(const Machine& m, uint8_t* block) {
    std::memset(block, 0, MemoryOffset);
    std::memcpy(block, BlockMark, sizeof BlockMark);
    for (uint32_t i = 0; i < 4; ++i) block[4 + i] = uint8_t(BlockVersion >> (8 * i));
    std::memcpy(block + StateOffset, &m.Backup, sizeof m.Backup);
    std::memcpy(block + ClockOffset, &m.RealTimeClock, sizeof m.RealTimeClock);
    std::memcpy(block + MemoryOffset, m.BackupMemory.data(), BackupMemorySize);
    std::memcpy(block + EepromOffset, m.EepromMemory.data(), EepromLargeSize);
}

BackupState ChipsAfterLoad(const Machine& m, const uint8_t* block) {
    BackupState chips = m.Backup;
    if (block) {
        std::memcpy(&chips, block + StateOffset, sizeof chips);
        return chips;
    }
    // The EEPROM keeps the width the battery file or the game gave it: an
    // older snapshot must not shrink an 8 KB chip, which would lose its
    // upper blocks at the next battery write.
    chips.FlashBank = 0;
    return chips;
}

bool ChipBlockIsValid(const Machine& m, const uint8_t* block) {
    uint32_t version = 0;
    for (uint32_t i = 0; i < 4; ++i) version |= uint32_t(block[4 + i]) << (8 * i);
    if (std::memcmp(block, BlockMark, sizeof BlockMark) != 0 || version != BlockVersion) return false;
    const BackupState chips = ChipsAfterLoad(m, block);
    // The chip is the cartridge's own (its markers or its settings chose it).
    if (chips.Type != m.Backup.Type || chips.EepromWidthKnown > 1) return false;
    const uint8_t width = chips.EepromWidth;
    if (chips.Type == SaveType::Eeprom) {
        if (width != 0 && width != EepromSmallWidth && width != EepromLargeWidth) return false;
        if (chips.EepromWidthKnown && width == 0) return false;
    } else if (width != m.Backup.EepromWidth || chips.EepromWidthKnown != m.Backup.EepromWidthKnown) {
        return false;
    }
    if (chips.FlashBank > (chips.Type == SaveType::Flash128 ? 1 : 0)) return false;
    ClockState clock;
    std::memcpy(&clock, block + ClockOffset, sizeof clock);
    return ClockStateIsValid(clock);
}

void ApplyChipBlock(Machine& m, const uint8_t* block) {
    std::memcpy(&m.Backup, block + StateOffset, sizeof m.Backup);
    std::memcpy(&m.RealTimeClock, block + ClockOffset, sizeof m.RealTimeClock);
    std::memcpy(m.BackupMemory.data(), block + MemoryOffset, BackupMemorySize);
    std::memcpy(m.EepromMemory.data(), block + EepromOffset, EepromLargeSize);
    MapBackupMemory(m);
    RefreshClockPort(m);
}
