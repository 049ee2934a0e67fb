/* Frame-rate benchmark in the shape of most games: a little work per frame,
 * then VBlankIntrWait until the next vertical blank. Runs until the runner
 * stops it (scripts/bench.sh). */
#include "../system/system.h"

static volatile uint32_t State[64];

int main(void) {
    DISPSTAT = STAT_VBLANK_IRQ;
    StartInterrupts(IRQ_VBLANK);
    for (uint32_t frame = 0;; ++frame) {
        for (uint32_t i = 0; i < 64; ++i) State[i] += frame ^ i;
        VBlankIntrWait();
    }
}
