#pragma once
// ARM state: the 4096-entry handler table. The entry for an opcode sits at
// bits 27-20 (the row) in index bits 7-0 and bits 7-4 (the column) in index
// bits 11-8. Each handler has its operation, operand form, shift type and
// S bit fixed at compile time; undefined encodings share ArmUndefined.
// Handlers work on the slice loop's Core (cpu/core.h); the loop inlines
// them all (RunArmSlice, run_loop.h).

#include <cstdint>

struct Core;

using ArmHandler = void (*)(Core& core, uint32_t opcode);

inline constexpr uint32_t ArmTableIndex(uint32_t opcode) {
    return ((opcode >> 20) & 0xFF) | ((opcode << 4) & 0xF00);
}

// Skips the opcode, printing a trace line when TraceUndefined is set. Also
// serves condition code 15, which never executes on this CPU.
void ArmUndefined(Core& core, uint32_t opcode);
