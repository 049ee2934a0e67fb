/* Frame-rate benchmark of a program that never halts: the CPU runs every
 * cycle of every frame. Runs until the runner stops it (scripts/bench.sh). */
#include <stdint.h>

static volatile uint32_t Sink;

int main(void) {
    uint32_t value = 1;
    for (;;) {
        value = value * 1664525u + 1013904223u;
        Sink = value;
    }
}
