#include "machine/io_registers.h"

#include "cpu/access_cost.h"
#include "cpu/cpu_state.h"
#include "cpu/run_loop.h"
#include "game/game.h"
#include "game/settings.h"

void WriteIoRegister(uint32_t address, uint16_t value) {
    const uint32_t offset = address & 0xFFE;
    switch (offset) {
    case 0x204:  // WAITCNT
        UpdateWaitStates(value);
        break;
    default:
        break;
    }
    StoreIoHalf(offset, value);
}

void ResetHardware() {
    Cpu.SliceLength = 960;
    Cpu.TraceUndefined = (Verbose & VerboseUndefined) ? 1 : 0;
    UpdateWaitStates(0);
    ResetCpu(Cpu);
    if (!BiosLoaded) {
        // Direct boot: the state the BIOS leaves when it jumps to the cartridge.
        Cpu.R[15] = 0x08000000;
        Cpu.R[13] = Cpu.R13_svc = 0x03007FE0;
        Cpu.R13_irq = 0x03007FA0;
        // The interrupt stub jumps through this pointer; 0x28 returns at once.
        StoreLittle<uint32_t>(WriteHostAddress(0x03007FFC), 0x28);
    }
}
