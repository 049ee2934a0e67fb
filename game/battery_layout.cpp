#include "game/battery_layout.h"

#include <cstring>

#include "game/save_type.h"
#include "machine/backup.h"
#include "machine/machine.h"
#include "machine/rtc.h"

namespace {

constexpr uint8_t Takes(SaveType type) { return uint8_t(1u << uint8_t(type)); }
constexpr uint8_t EveryChip = (1u << SaveTypeCount) - 1;

// The layouts a file may have: how many of its bytes fill the static RAM or
// FLASH from its start, where the EEPROM bytes begin in the file and how
// many there are, and which chips take it. An EEPROM whose width is still
// open takes the width its bytes suggest (its first transfer decides).
struct BatteryLayout {
    uint32_t size;
    uint32_t ramBytes;
    uint32_t eepromOffset;
    uint32_t eepromBytes;
    uint8_t eepromWidth;
    uint8_t chips;
};
constexpr BatteryLayout Layouts[] = {
    {0x10000, 0x10000, 0, 0, 0, EveryChip},                         // the combined chips' RAM block
    {0x10200, 0x10000, 0x10000, 512, EepromSmallWidth, EveryChip},  // both blocks
    {512, 512, 0, 512, EepromSmallWidth, EveryChip},                // the EEPROM block, read first as RAM
    {SramSize, SramSize, 0, 0, 0, Takes(SaveType::Combined) | Takes(SaveType::Sram)},
    {BackupMemorySize, BackupMemorySize, 0, 0, 0, Takes(SaveType::Flash128)},
    {EepromLargeSize, 0, 0, EepromLargeSize, EepromLargeWidth, Takes(SaveType::Eeprom)},
};

const BatteryLayout* FindLayout(const Machine& m, size_t size) {
    for (const BatteryLayout& layout : Layouts)
        if (layout.size == size && (layout.chips & Takes(m.Backup.Type))) return &layout;
    return nullptr;
}

// Every byte 0xFF, as an erased chip: one memcmp of the bytes against
// themselves shifted by one.
bool Erased(const uint8_t* bytes, size_t size) {
    return size == 0 || (bytes[0] == 0xFF && std::memcmp(bytes, bytes + 1, size - 1) == 0);
}

// The static RAM or FLASH as the game saved it: while a FLASH chip shows
// its identifier in bytes 0 and 1 of the selected bank, the game's own
// bytes are held aside.
void AppendChipMemory(const Machine& m, std::vector<uint8_t>& image, uint32_t size) {
    image.insert(image.end(), m.BackupMemory.begin(), m.BackupMemory.begin() + size);
    if (!m.Flash.IdentifyMode || !m.BackupWindow.FlashMemory) return;
    const size_t bank = size_t(m.BackupWindow.FlashMemory - m.BackupMemory.data());
    if (bank + 1 < size) {
        image[bank] = uint8_t(m.Flash.SavedBytes);
        image[bank + 1] = uint8_t(m.Flash.SavedBytes >> 8);
    }
}

}  // namespace

bool ApplyBatteryImage(Machine& m, std::span<const uint8_t> file) {
    const BatteryLayout* layout = FindLayout(m, file.size());
    const bool trailer = !layout && file.size() > ClockTrailerSize;
    if (trailer) layout = FindLayout(m, file.size() - ClockTrailerSize);
    if (!layout) return false;
    std::memcpy(m.BackupMemory.data(), file.data(), layout->ramBytes);
    std::memcpy(m.EepromMemory.data(), file.data() + layout->eepromOffset, layout->eepromBytes);
    if (layout->eepromWidth && m.Backup.Type == SaveType::Eeprom && !m.Backup.EepromWidthKnown)
        m.Backup.EepromWidth = layout->eepromWidth;
    if (trailer) ReadClockTrailer(m, file.data() + layout->size);
    return true;
}

bool BuildChipImage(const Machine& m, std::vector<uint8_t>& image) {
    image.clear();
    bool holdsData;
    if (m.Backup.Type == SaveType::Combined) {
        // Each block only when it holds data; with neither, the erased RAM
        // block (which the caller writes only over a file that had data).
        AppendChipMemory(m, image, FlashBankSize);
        const bool ramData = !Erased(image.data(), image.size());
        const bool eepromData = !Erased(m.EepromMemory.data(), EepromSmallSize);
        if (eepromData && !ramData) image.clear();
        if (eepromData) image.insert(image.end(), m.EepromMemory.begin(), m.EepromMemory.begin() + EepromSmallSize);
        holdsData = ramData || eepromData;
    } else {
        AppendChipMemory(m, image, BackupChipSize(m));
        image.insert(image.end(), m.EepromMemory.begin(), m.EepromMemory.begin() + EepromSize(m));
        holdsData = !Erased(image.data(), image.size());
    }
    return holdsData;
}

std::string DescribeRefusedBattery(const Machine& m, const char* fileName, size_t size) {
    std::string sizes;
    for (const BatteryLayout& layout : Layouts) {
        if (!(layout.chips & Takes(m.Backup.Type))) continue;
        sizes += (sizes.empty() ? "" : ", ") + std::to_string(layout.size);
    }
    const std::string length =
        size > LargestBatteryFile ? "more than " + std::to_string(LargestBatteryFile) : std::to_string(size);
    return std::string(fileName) + " holds " + length + " bytes, which is no save of this cartridge's " +
           SaveTypeText(m) + " (" + sizes + " bytes, 16 more with a clock): it is left as it is, and this " +
           "run's saves are not written to it";
}
