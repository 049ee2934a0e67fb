#pragma once
// What a battery file holds. A cartridge's chip is kept as its raw image,
// the form other programs read and write as well: static RAM 32768 bytes,
// FLASH 65536 or 131072, EEPROM 512 or 8192; when the cartridge has a clock,
// the 16-byte clock trailer follows (machine/rtc.h). The combined chips of
// an unmarked cartridge are kept as they always were: the 64 KB RAM block
// and the 512 EEPROM bytes, each only when it holds data, so 65536, 512 or
// 66048 bytes. Files of those three sizes load as they always did into
// whichever chip the cartridge has (a 512-byte file also fills the first
// 512 bytes of the RAM block, as it did when it was read first as one).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct Machine;

// Longer files fit no layout.
inline constexpr size_t LargestBatteryFile = 131072 + 16;

// Puts a battery file's bytes into the chips (and the clock). False, with
// nothing changed, when its size fits no layout this cartridge's chip takes.
bool ApplyBatteryImage(Machine& m, std::span<const uint8_t> file);

// The chip's part of the file the chips make now (the clock trailer, when
// the cartridge has a clock, follows it: machine/rtc.h). True when it
// holds anything an erased chip does not.
bool BuildChipImage(const Machine& m, std::vector<uint8_t>& image);

// Why a file of this size was refused, naming the sizes that would fit.
std::string DescribeRefusedBattery(const Machine& m, const char* fileName, size_t size);
