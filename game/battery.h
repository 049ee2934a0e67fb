#pragma once
// The battery save file beside the cartridge image (SaveFileName): the 64 KB
// backup RAM (static RAM or FLASH) and the 512 EEPROM bytes, each block
// present only when it holds a nonzero byte, so the file is 65536, 512 or
// 66048 bytes long, without a header.

#include <cstdint>

// Reads SaveFileName into the backup memories at game start; false when the
// file is missing or shorter than one block. A 512-byte file fills the
// EEPROM data and, read first as backup RAM, its first 512 bytes as well.
bool LoadBatteryFile();

// Writes the backup memories to SaveFileName when either holds a nonzero
// byte; a file of all zeros is never written and an old file is kept. The
// old file is replaced only by a completely written new one.
bool WriteBatteryFile();

// Called once a frame at the start of vertical blank. Backup memory that
// changed and then stayed the same for BatteryQuietFrames frames is written
// at once, so a run that ends in a crash or a kill keeps what the game
// saved. Costs one comparison of the 64.5 KB every few frames.
void BatteryFrameTick();
inline constexpr uint32_t BatteryQuietFrames = 60;

// Cleared by front-ends whose runs must not touch files beside the
// cartridge (tests, benchmarks): nothing is then read or written.
extern bool BatteryFileEnabled;

