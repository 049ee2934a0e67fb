#pragma once
// The battery save file beside the cartridge image.

// Reads SaveFileName into the backup memories; false when missing or short.
bool LoadBatteryFile();
// Writes the backup memories to SaveFileName.
bool WriteBatteryFile();
