#pragma once
// THUMB state: 16-bit instructions decoded on their top ten bits. The
// decoder is a 1024-entry handler table generated at compile time, with the
// operation and any register number held in those bits fixed in each
// handler. The slice loop (RunThumbSlice, run_loop.h) turns the table into
// one switch with every handler inlined (cpu/dispatch.h), working on the
// loop's Core (cpu/core.h) in host registers.

#include <cstdint>

struct Core;

using ThumbHandler = void (*)(Core& core, uint32_t opcode);

inline constexpr uint32_t ThumbTableIndex(uint32_t opcode) { return (opcode >> 6) & 0x3FF; }

// Skips the opcode, printing a trace line when TraceUndefined is set. The
// undefined-instruction exception is never raised.
void ThumbUndefined(Core& core, uint32_t opcode);
