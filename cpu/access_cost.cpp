#include "cpu/access_cost.h"

std::array<int32_t, 16> AccessCost32{1, 1, 6, 1, 1, 2, 2, 1, 4, 4, 4, 4, 4, 4, 6, 1};
std::array<int32_t, 16> AccessCost16{1, 1, 3, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 6, 1};

void UpdateWaitStates(uint32_t waitcnt) {
    // Only the first-access wait states of each ROM window and the SRAM wait
    // count matter here; the sequential-access bits have no effect on timing.
    const int32_t ws0 = (waitcnt & (1u << 4)) ? 2 : 3;
    const int32_t ws1 = (waitcnt & (1u << 7)) ? 2 : 5;
    const int32_t ws2 = (waitcnt & (1u << 10)) ? 2 : 9;
    AccessCost16[8] = AccessCost16[9] = ws0;
    AccessCost16[10] = AccessCost16[11] = ws1;
    AccessCost16[12] = AccessCost16[13] = ws2;
    AccessCost16[14] = SramWaitTable[waitcnt & 3];
    for (int region = 8; region <= 14; ++region) AccessCost32[region] = 2 * AccessCost16[region];
}
