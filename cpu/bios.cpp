#include "cpu/bios.h"

#include <cstdio>

#include "cpu/modes.h"
#include "game/game.h"
#include "game/settings.h"

void BiosCall(CpuState& cpu, uint32_t function) {
    if (BiosLoaded) {
        EnterSwiException(cpu);
        return;
    }
    // The host emulation of the BIOS functions is not there yet: the call
    // returns at once.
    if (Verbose & VerboseBios) std::printf("BIOS #0x%02X: not emulated\n", function);
}
