#include "cpu/access_cost.h"

void UpdateWaitStates(Machine& m, uint32_t waitcnt) {
    // Only the first-access wait states of each ROM window and the SRAM wait
    // count matter here; the sequential-access bits have no effect on timing.
    const int32_t ws0 = (waitcnt & (1u << 4)) ? 2 : 3;
    const int32_t ws1 = (waitcnt & (1u << 7)) ? 2 : 5;
    const int32_t ws2 = (waitcnt & (1u << 10)) ? 2 : 9;
    std::array<int32_t, 16>& cost16 = m.AccessCost16;
    cost16[8] = cost16[9] = ws0;
    cost16[10] = cost16[11] = ws1;
    cost16[12] = cost16[13] = ws2;
    cost16[14] = SramWaitTable[waitcnt & 3];
    for (int region = 8; region <= 14; ++region) m.AccessCost32[region] = 2 * cost16[region];
}
