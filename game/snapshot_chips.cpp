#include "game/snapshot_chips.h"

#include <cstring>

#include "machine/rtc.h"

namespace {

constexpr uint8_t BlockMark[4] = {'C', 'H', 'I', 'P'};
constexpr uint32_t BlockVersion = 1;
constexpr uint32_t StateOffset = 8, ClockOffset = 16, MemoryOffset = 48;
constexpr uint32_t EepromOffset = MemoryOffset + BackupMemorySize;
static_assert(EepromOffset + EepromLargeSize == ChipBlockSize);

}  // namespace

bool NeedsChipBlock() {
    if (RealTimeClock.Present) return true;
    switch (Backup.Type) {
    case SaveType::Combined:
    case SaveType::Flash64: return false;
    case SaveType::Eeprom: return !(Backup.EepromWidthKnown && Backup.EepromWidth == EepromSmallWidth);
    default: return true;
    }
}

void WriteChipBlock(uint8_t* block) {
    std::memset(block, 0, MemoryOffset);
    std::memcpy(block, BlockMark, sizeof BlockMark);
    for (uint32_t i = 0; i < 4; ++i) block[4 + i] = uint8_t(BlockVersion >> (8 * i));
    std::memcpy(block + StateOffset, &Backup, sizeof Backup);
    std::memcpy(block + ClockOffset, &RealTimeClock, sizeof RealTimeClock);
    std::memcpy(block + MemoryOffset, BackupMemory, BackupMemorySize);
    std::memcpy(block + EepromOffset, EepromMemory, EepromLargeSize);
}

BackupState ChipsAfterLoad(const uint8_t* block) {
    BackupState chips = Backup;
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

bool ChipBlockIsValid(const uint8_t* block) {
    uint32_t version = 0;
    for (uint32_t i = 0; i < 4; ++i) version |= uint32_t(block[4 + i]) << (8 * i);
    if (std::memcmp(block, BlockMark, sizeof BlockMark) != 0 || version != BlockVersion) return false;
    const BackupState chips = ChipsAfterLoad(block);
    // The chip is the cartridge's own (its markers or its settings chose it).
    if (chips.Type != Backup.Type || chips.EepromWidthKnown > 1) return false;
    const uint8_t width = chips.EepromWidth;
    if (chips.Type == SaveType::Eeprom) {
        if (width != 0 && width != EepromSmallWidth && width != EepromLargeWidth) return false;
        if (chips.EepromWidthKnown && width == 0) return false;
    } else if (width != Backup.EepromWidth || chips.EepromWidthKnown != Backup.EepromWidthKnown) {
        return false;
    }
    if (chips.FlashBank > (chips.Type == SaveType::Flash128 ? 1 : 0)) return false;
    ClockState clock;
    std::memcpy(&clock, block + ClockOffset, sizeof clock);
    return ClockStateIsValid(clock);
}

void ApplyChipBlock(const uint8_t* block) {
    std::memcpy(&Backup, block + StateOffset, sizeof Backup);
    std::memcpy(&RealTimeClock, block + ClockOffset, sizeof RealTimeClock);
    std::memcpy(BackupMemory, block + MemoryOffset, BackupMemorySize);
    std::memcpy(EepromMemory, block + EepromOffset, EepromLargeSize);
    MapBackupMemory();
    RefreshClockPort();
}
