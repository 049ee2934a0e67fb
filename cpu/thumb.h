#pragma once
// THUMB state: 16-bit instructions decoded by one 256-way switch on the top
// eight opcode bits inside the THUMB slice loop (RunThumbSlice, run_loop.h).

#include <cstdint>

#include "cpu/cpu_state.h"

// Executes one THUMB opcode whose fetch has been charged and R15 advanced.
void ExecuteThumb(CpuState& cpu, uint32_t opcode);
