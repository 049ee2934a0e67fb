#pragma once
// The BIOS functions reached by SWI. With a real BIOS image loaded the SWI
// exception is entered; without one the functions are emulated in the host:
// arguments come from R0-R3 of the current mode, results go back there, and
// memory is reached through the bus functions so that every store keeps its
// side effects.

#include <cstdint>

struct Machine;

// function: the function number, bits 23-16 of an ARM SWI's comment field
// or bits 7-0 of a THUMB one.
void BiosCall(Machine& m, uint32_t function);

// The interrupt stub calls the handler whose address the game keeps at
// 0x03007FFC; 0x28 is the stub's own return sequence, so an interrupt that
// comes before the game installs a handler returns at once. Set at the
// start-up without a BIOS image and by SoftReset.
void ResetInterruptHandlerPointer(Machine& m);
