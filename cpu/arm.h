#pragma once
// ARM state: the 4096-entry handler table. The entry for an opcode sits at
// bits 27-20 (the row) in index bits 7-0 and bits 7-4 (the column) in index
// bits 11-8. Each handler has its operation, operand form, shift type and
// S bit fixed at compile time; undefined encodings share ArmUndefined.

#include <array>
#include <cstdint>

#include "cpu/cpu_state.h"

struct Machine;

using ArmHandler = void (*)(Machine& m, uint32_t opcode);

inline constexpr uint32_t ArmTableIndex(uint32_t opcode) {
    return ((opcode >> 20) & 0xFF) | ((opcode << 4) & 0xF00);
}

// Skips the opcode, printing a trace line when TraceUndefined is set. Also
// serves condition code 15, which never executes on this CPU.
void ArmUndefined(Machine& m, uint32_t opcode);

extern const std::array<ArmHandler, 4096> ArmHandlerTable;

