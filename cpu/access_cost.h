#pragma once
// Cycle cost of one access, per bus region (address bits 27-24). ARM fetches
// and 32-bit data pay the machine's AccessCost32; THUMB fetches and 16/8-bit
// data pay AccessCost16. The cartridge entries follow WAITCNT.

#include <array>
#include <cstdint>

#include "machine/machine.h"

// Cycles for the cartridge SRAM region by WAITCNT bits 0-1.
inline constexpr std::array<int32_t, 4> SramWaitTable{5, 4, 3, 9};

// Rewrites entries 8-14 of both tables from a WAITCNT value.
void UpdateWaitStates(Machine& m, uint32_t waitcnt);

inline int32_t RegionCost32(const Machine& m, uint32_t address) { return m.AccessCost32[(address >> 24) & 15]; }
inline int32_t RegionCost16(const Machine& m, uint32_t address) { return m.AccessCost16[(address >> 24) & 15]; }
