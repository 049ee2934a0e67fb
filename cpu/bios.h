#pragma once
// The BIOS functions reached by SWI. With a real BIOS image loaded the SWI
// exception is entered; without one the functions are emulated in the host.

#include <cstdint>

#include "cpu/cpu_state.h"

// function: the SWI comment field (24 bits in ARM state, 8 in THUMB state).
void BiosCall(CpuState& cpu, uint32_t function);
