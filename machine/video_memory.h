#pragma once
// The video memories on the bus: palette RAM (1 KB), VRAM (96 KB) and OAM
// (1 KB), each repeated through its 16 MB region. The page table maps 16 KB
// pages, so palette RAM and OAM each live sixteen times over in a 16 KB
// block, and a store lands in every copy; the renderer reads the first.
// VRAM repeats in 128 KB steps, whose last 32 KB show the OBJ tiles
// (0x06010000-0x06017FFF) once more.
//
// Byte stores follow the memories' 16-bit buses: palette RAM and the
// background part of VRAM store the byte in both halves of its halfword;
// the OBJ part of VRAM and OAM ignore byte stores.

#include <cstdint>

struct Machine;

// Points every page of the VRAM region at its bank, as the display mode in
// DISPCNT wants it: in the bitmap modes (3-5) the backgrounds own the bank
// at 0x06010000, and the OBJ tiles' mirror of it at 0x06018000-0x0601BFFF
// reads zero and takes no stores. Cheap when the mapping is already right,
// so a DISPCNT write may call it every time.
void MapVram(Machine& m);

// After the video memories were replaced as a whole (a snapshot load): every
// copy of palette RAM and OAM takes the first one's contents, and VRAM is
// mapped for the display mode.
void RefreshVideoMemory(Machine& m);

// Palette RAM, VRAM and OAM: 0x05000000-0x07FFFFFF.
inline bool IsVideoAddress(uint32_t address) { return address - 0x05000000u < 0x03000000u; }

// A store to palette RAM, VRAM or OAM that the page alone cannot carry: any
// width to palette RAM and OAM, bytes to VRAM (a misaligned wider store
// comes here too). The address is aligned to the width.
void StoreVideoMemory(Machine& m, uint32_t address, uint32_t value, uint32_t width);
