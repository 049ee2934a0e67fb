#include "game/battery.h"

// The backup memory formats arrive with the FLASH and EEPROM emulation;
// until then a game run neither reads nor writes a battery file.
bool LoadBatteryFile() { return false; }
bool WriteBatteryFile() { return false; }
