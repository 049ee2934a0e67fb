#pragma once
// The video memories on the bus: palette RAM (1 KB), VRAM (96 KB) and OAM
// (1 KB), each repeated through its 16 MB region. Palette RAM and OAM fill
// the first KB of a 16 KB block that every page of their region maps; an
// access through any of their mirrors is brought down to that first KB,
// which is also what the renderer reads, so their loads and stores leave
// the straight path. VRAM repeats in 128 KB steps, whose last 32 KB show
// the OBJ tiles (0x06010000-0x06017FFF) once more; its pages map that.
//
// Byte stores follow the memories' 16-bit buses: palette RAM and the
// background part of VRAM store the byte in both halves of its halfword;
// the OBJ part of VRAM and OAM ignore byte stores.

#include <cstdint>

struct Machine;

// Palette RAM, VRAM and OAM: 0x05000000-0x07FFFFFF.
inline bool IsVideoAddress(uint32_t address) { return address - 0x05000000u < 0x03000000u; }

// Palette RAM or OAM, of a 28-bit address (regions 5 and 7).
inline bool IsSmallVideoMemory(uint32_t address) { return ((address >> 24) & ~2u) == 0x05; }

// The address in the first KB that a palette RAM or OAM address reaches.
inline uint32_t FirstCopyAddress(uint32_t address) { return address & 0xFF0003FFu; }

// Points every page of the VRAM region at its bank, as the display mode in
// DISPCNT wants it: in the bitmap modes (3-5) the backgrounds own the bank
// at 0x06010000, and the OBJ tiles' mirror of it at 0x06018000-0x0601BFFF
// reads zero and takes no stores. Cheap when the mapping is already right,
// so a DISPCNT write may call it every time.
void MapVram(Machine& m);

// A byte store to palette RAM, VRAM or OAM.
void StoreVideoByte(Machine& m, uint32_t address, uint8_t value);
