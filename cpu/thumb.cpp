#include "cpu/thumb.h"

#include <cstdio>

#include "cpu/run_loop.h"
#include "cpu/access_cost.h"
#include "machine/page_table.h"

void ExecuteThumb(CpuState& cpu, uint32_t opcode) {
    if (cpu.TraceUndefined) std::printf("THUMB: Unrecognized opcode 0x%04X at 0x%08X\n", opcode, cpu.R[15] - 2);
}

void RunThumbSlice(CpuState& cpu) {
    while (cpu.Cycles >= 1) {
        const uint32_t pc = cpu.R[15];
        cpu.Cycles -= AccessCost16[(pc >> 24) & 15];
        const uint32_t opcode = PeekHalf(pc);
        cpu.R[15] = pc + 2;
        ExecuteThumb(cpu, opcode);
    }
}
