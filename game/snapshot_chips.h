#pragma once
// The backup chips in state snapshots. The snapshot layout of format 2
// holds the combined chips an unmarked cartridge has (a 64 KB RAM or FLASH
// and a 512-byte EEPROM), which also serve a 64 KB FLASH and a 512-byte
// EEPROM: such snapshots are written exactly as before. Any other chip, and
// a clock, need more: the file then says format 3 (which older versions
// refuse) and carries this block after the format-2 layout:
//
//   0      4  "CHIP"
//   4      4  block version 1 (little-endian)
//   8      4  BackupState (machine/backup.h)
//   12     4  zero
//   16    32  ClockState (machine/rtc.h)
//   48   128K the static RAM or FLASH (BackupMemory)
//   131120 8K the EEPROM (EepromMemory)

#include <cstdint>

#include "machine/backup.h"

struct Machine;

inline constexpr uint32_t ChipBlockSize = 48 + BackupMemorySize + EepromLargeSize;

// Whether the machine's chips need the block.
bool NeedsChipBlock(const Machine& m);
void WriteChipBlock(const Machine& m, uint8_t* block);

// The chip state a load of the file would give: from its block, or (format
// 2, block null) this cartridge's chip with the first FLASH bank selected.
BackupState ChipsAfterLoad(const Machine& m, const uint8_t* block);

// Checks a block against this machine: another chip than the cartridge's,
// or a damaged state, refuses the file.
bool ChipBlockIsValid(const Machine& m, const uint8_t* block);

// Takes the chips and the clock from a checked block.
void ApplyChipBlock(Machine& m, const uint8_t* block);
