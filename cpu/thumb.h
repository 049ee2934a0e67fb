#pragma once
// THUMB state: 16-bit instructions dispatched on their top eight bits through
// a 256-entry handler table generated at compile time. Register numbers and
// operations held in the top byte are template constants of each handler; the
// slice loop (RunThumbSlice, run_loop.h) fetches and dispatches.

#include <array>
#include <cstdint>

#include "cpu/cpu_state.h"

using ThumbHandler = void (*)(CpuState& cpu, uint32_t opcode);

inline constexpr uint32_t ThumbTableIndex(uint32_t opcode) { return (opcode >> 8) & 0xFF; }

// Skips the opcode, printing a trace line when TraceUndefined is set. The
// undefined-instruction exception is never raised.
void ThumbUndefined(CpuState& cpu, uint32_t opcode);

extern const std::array<ThumbHandler, 256> ThumbHandlerTable;
