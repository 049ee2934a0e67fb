#include "game/save_type.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "game/header.h"
#include "game/settings.h"
#include "machine/machine.h"
#include "machine/rtc.h"

const SaveTypeChoice SaveTypeChoices[11] = {
    {"AUTO", SaveType::Combined, 0},
    {"COMBINED", SaveType::Combined, EepromSmallWidth},
    {"SRAM", SaveType::Sram, 0},
    {"FLASH", SaveType::Flash64, 0},
    {"FLASH64", SaveType::Flash64, 0},
    {"FLASH128", SaveType::Flash128, 0},
    {"FLASH1M", SaveType::Flash128, 0},
    {"EEPROM", SaveType::Eeprom, 0},
    {"EEPROM512", SaveType::Eeprom, EepromSmallWidth},
    {"EEPROM8K", SaveType::Eeprom, EepromLargeWidth},
    {"EEPROM64K", SaveType::Eeprom, EepromLargeWidth},  // the chip's size in kilobits
};

namespace {

struct SaveMarker {
    std::string_view text;
    SaveType type;
};
constexpr SaveMarker SaveMarkers[] = {
    {"SRAM_V", SaveType::Sram},        {"SRAM_F_V", SaveType::Sram},      {"FLASH_V", SaveType::Flash64},
    {"FLASH512_V", SaveType::Flash64}, {"FLASH1M_V", SaveType::Flash128}, {"EEPROM_V", SaveType::Eeprom},
};

// Game codes (the first three characters; the fourth is the region) of the
// cartridges that carry the clock chip: the three Pokemon games of the
// third generation, the three solar-sensor Boktai games, Sennen Kazoku and
// Rockman EXE 4.5.
constexpr std::string_view ClockGames[] = {"AXV", "AXP", "BPE", "U3I", "U32", "U33", "BKA", "BR4"};

// The chip the markers in an image name; Combined without a marker. The
// earliest marker in the image wins.
SaveType DetectSaveType(const uint8_t* image, size_t size) {
    SaveType type = SaveType::Combined;
    size_t earliest = size;
    for (const SaveMarker& marker : SaveMarkers) {
        const void* found =
            ::memmem(image, std::min(size, earliest + marker.text.size()), marker.text.data(), marker.text.size());
        if (!found) continue;
        earliest = size_t(static_cast<const uint8_t*>(found) - image);
        type = marker.type;
    }
    return type;
}

// Whether the header's game code belongs to a cartridge known to carry a clock.
bool HeaderListsClock(const uint8_t* header) {
    const std::string_view code(reinterpret_cast<const char*>(header + HeaderGameCodeOffset), 3);
    return std::find(std::begin(ClockGames), std::end(ClockGames), code) != std::end(ClockGames);
}

}  // namespace

int32_t FindSaveTypeChoice(std::string_view name) {
    for (int32_t i = 0; i < int32_t(std::size(SaveTypeChoices)); ++i) {
        const std::string_view choice = SaveTypeChoices[i].Name;
        if (choice.size() == name.size() && std::equal(choice.begin(), choice.end(), name.begin(), [](char a, char b) {
                return a == (b >= 'a' && b <= 'z' ? b - 32 : b);
            }))
            return i;
    }
    return -1;
}

void ChooseBackupChips(Machine& m, const uint8_t* image, size_t size, uint32_t romSize) {
    const int32_t setting = m.Settings.SaveType;
    const bool chosen = setting > 0 && setting < int32_t(std::size(SaveTypeChoices));
    if (chosen) {
        SetSaveType(m, SaveTypeChoices[setting].Type, SaveTypeChoices[setting].EepromWidth, romSize);
    } else {
        SetSaveType(m, DetectSaveType(image, size), 0, romSize);
    }
    if (size > HeaderGameCodeOffset + 3 && HeaderListsClock(image)) m.RealTimeClock.Present = 1;
}

const char* SaveTypeText(const Machine& m) {
    switch (m.Backup.Type) {
    case SaveType::Combined: return "SRAM/FLASH 64 KB + EEPROM 512 B";
    case SaveType::Sram: return "SRAM 32 KB";
    case SaveType::Flash64: return "FLASH 64 KB";
    case SaveType::Flash128: return "FLASH 128 KB";
    case SaveType::Eeprom:
        if (m.Backup.EepromWidth == EepromLargeWidth) return "EEPROM 8 KB";
        if (m.Backup.EepromWidth == EepromSmallWidth) return "EEPROM 512 B";
        return "EEPROM (size not known yet)";
    }
    return "";
}
