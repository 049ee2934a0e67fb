#pragma once
// THUMB state: 16-bit instructions decoded on their top eight bits. The
// decoder is a 256-entry handler table generated at compile time, with the
// operation and any register number held in the top byte fixed in each
// handler. The slice loop (RunThumbSlice, run_loop.h) turns the table into
// one switch with every handler inlined, so R15 and the fetch page can stay
// in host registers between instructions.

#include <array>
#include <cstdint>

#include "cpu/cpu_state.h"

struct Machine;

using ThumbHandler = void (*)(Machine& m, uint32_t opcode);

inline constexpr uint32_t ThumbTableIndex(uint32_t opcode) { return (opcode >> 8) & 0xFF; }

// Skips the opcode, printing a trace line when TraceUndefined is set. The
// undefined-instruction exception is never raised.
void ThumbUndefined(Machine& m, uint32_t opcode);

extern const std::array<ThumbHandler, 256> ThumbHandlerTable;
