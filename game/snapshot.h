#pragma once
// State snapshot files: the whole machine frozen into one gzip stream of
// SnapshotSize bytes, in this order: a 16-byte header ("STD", 0x1A, format
// version 2, the cartridge's header complement byte, ten zeros), CpuState,
// FlashState, EepromState, RegisterBlock (the derived hardware state), and
// the internal and external work RAM, the I/O registers, palette RAM, video
// RAM, sprite attribute RAM and backup RAM. The timers' counters, the
// cartridge and BIOS images and DummyRam are not kept. A cartridge whose
// backup chip or clock that layout cannot hold writes format version 3:
// the same layout followed by the chip block of game/snapshot_chips.h.

#include <array>
#include <cstdint>

struct Machine;

inline constexpr uint32_t SnapshotSize = 509688;
inline constexpr uint8_t SnapshotVersion = 0x02;
inline constexpr uint8_t SnapshotChipsVersion = 0x03;

// The derived hardware state as 256 signed words: HaltState, EVY, EVA,
// EVB, BgOrderList, the timers' tick periods and countdowns, and BG2's and
// BG3's AffineState; the rest is zero.
using RegisterBlock = std::array<int32_t, 256>;
RegisterBlock BuildRegisterBlock(const Machine& m);

// Writes the machine to a snapshot file; an existing file is replaced only
// by a complete new one.
bool SaveState(Machine& m, const char* fileName);

// Restores the machine from a snapshot file (gzip or plain) made with this
// cartridge. The whole file is read and checked first: a missing, foreign,
// short, corrupt or inconsistent file returns false and changes nothing.
bool LoadState(Machine& m, const char* fileName);
