#pragma once
// Every piece of machine state a snapshot load may change, for tests that
// compare a machine before and after: the emulated memories, the scratch
// page, CpuState, the backup chips and the clock, the I/O register block
// with the state derived from it, and the timers (their running counters
// optionally, as a snapshot does not store them). visit(pointer, size) is
// called per piece.

#include <cstddef>
#include <cstdint>

#include "cpu/cpu_state.h"
#include "game/game.h"
#include "game/snapshot.h"
#include "machine/backup.h"
#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/page_table.h"
#include "machine/rtc.h"
#include "machine/timers.h"

// Every emulated memory a game start allocates, by bus address and size.
struct MachineMemory {
    uint32_t busBase, size;
};
inline constexpr MachineMemory MachineMemories[] = {{0x00000000, 0x4000}, {0x02000000, 0x40000}, {0x03000000, 0x8000},
                                                    {0x04000000, 0x4000}, {0x05000000, 0x4000},  {0x06000000, 0x18000},
                                                    {0x07000000, 0x4000}};

template <typename Visit>
void VisitMachineState(const Machine& m, Visit visit, bool withCounters = true) {
    for (const MachineMemory& memory : MachineMemories)
        visit(m.PageTable.Read[memory.busBase >> PageShift], memory.size);
    visit(m.DummyRam.data(), m.DummyRam.size());
    visit(&m.Cpu, sizeof m.Cpu);
    visit(m.BackupMemory.data(), m.BackupMemory.size());
    visit(m.EepromMemory.data(), m.EepromMemory.size());
    visit(&m.Backup, sizeof m.Backup);
    visit(&m.Flash, sizeof m.Flash);
    visit(&m.Eeprom, sizeof m.Eeprom);
    visit(&m.RealTimeClock, sizeof m.RealTimeClock);
    const RegisterBlock block = BuildRegisterBlock(m);
    visit(block.data(), sizeof block);
    visit(&m.BlendCoefficients, sizeof m.BlendCoefficients);
    for (const HardwareTimer& timer : m.TimerState.Timers) {
        visit(&timer.Period, sizeof timer.Period);
        visit(&timer.Countdown, sizeof timer.Countdown);
        if (withCounters) visit(&timer.Counter, sizeof timer.Counter);
    }
    visit(&m.BackupWindow, sizeof m.BackupWindow);
    visit(&m.PageTable.Read[0x0E000000 >> PageShift], sizeof(uint8_t*));
    if (m.RomImage) visit(m.RomImage.get() + 0xC4, 6);  // the clock's port shows there
}
