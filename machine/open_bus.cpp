#include "machine/open_bus.h"

#include "machine/page_table.h"

namespace {

constexpr uint32_t BiosSize = 0x4000;

}  // namespace

uint32_t CpuOpenBus(const Machine& m) {
    const CpuState& cpu = m.Cpu;
    const PageMaps& pages = m.PageTable;
    // While an instruction runs, R15 is its address + 4 in ARM state and
    // + 2 in THUMB state.
    if (!(cpu.CPSR & FlagT)) return PeekWord(pages, cpu.R[15] + 4);
    const uint32_t ahead = cpu.R[15] + 2;  // the load's address + 4
    const uint32_t prefetched = PeekHalf(pages, ahead);
    const uint32_t before = PeekHalf(pages, ahead - 2);
    const bool alignedAhead = (ahead & 2) == 0;
    switch (ahead >> 24) {
    case 0x00:
    case 0x07:
        // The BIOS and OAM hand over the whole word holding the fetch.
        return alignedAhead ? prefetched | uint32_t(PeekHalf(pages, ahead + 2)) << 16 : before | prefetched << 16;
    case 0x03:
        // Internal work RAM keeps the older halfword in the other lane.
        return alignedAhead ? prefetched | before << 16 : before | prefetched << 16;
    default: return prefetched * 0x00010001u;
    }
}

uint32_t BiosWord(const Machine& m, uint32_t address) {
    const CpuState& cpu = m.Cpu;
    if (cpu.R[15] < BiosSize) return PeekWord(m.PageTable, address);
    if ((cpu.CPSR & ModeMask) == ModeIrq) return BiosLatchInInterrupt;
    // An interrupt of BIOS code (a BIOS image halting in a SWI) returned
    // into the BIOS, which was left again later, the way it was latched.
    if (cpu.R14_irq != m.InterruptReturnAtLatch && cpu.R14_irq >= BiosSize) return BiosLatchAfterInterrupt;
    return m.BiosLatch;
}
