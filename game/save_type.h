#pragma once
// Which backup chip a cartridge has, and whether it has a clock, decided at
// game start. Games built with the handheld's standard save libraries carry
// the library's name in the image: "SRAM_V" and "SRAM_F_V" (32 KB static or
// ferroelectric RAM), "FLASH_V" and "FLASH512_V" (64 KB FLASH), "FLASH1M_V"
// (128 KB FLASH), "EEPROM_V" (an EEPROM of either size: the game's first
// transfer tells). An image without one gets the combined chips. The game's
// SaveType settings key, when it names a chip, overrides the markers.
//
// A clock is found by the game code in the header (the cartridges known to
// carry one), by a battery file that keeps one, or when the game first
// drives the clock's port.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "machine/backup.h"

struct Machine;

// The values the SaveType key takes (case does not matter). Entry 0,
// "AUTO", leaves the choice to the markers; an EEPROM width of 0 leaves it
// to the game.
struct SaveTypeChoice {
    const char* Name;
    SaveType Type;
    uint8_t EepromWidth;
};
extern const SaveTypeChoice SaveTypeChoices[11];

// The entry of SaveTypeChoices for a name, or -1.
int32_t FindSaveTypeChoice(std::string_view name);

// Game start, once the image is loaded: sets up the chip (the SaveType setting,
// else the markers) and the clock for it.
void ChooseBackupChips(Machine& m, const uint8_t* image, size_t size, uint32_t romSize);

// The chip as the information dialog and the start-up summary name it,
// such as "FLASH 128 KB" or "EEPROM (size not known yet)".
const char* SaveTypeText(const Machine& m);
