/* The keypad interrupt, driven by the headless runner's scripted keys:
 *
 *   --keys 10:0x001,20:0x003,30:0
 *
 * The runner reads the keys at each vertical blank; the n-th vertical
 * blank (counting from 1) sees the keys scripted for frame n - 1, so A is
 * down from the 11th blank on, A and B from the 21st, nothing from the
 * 31st. KEYCNT is checked once per frame, at the start of line 160.
 * KEYINPUT holds a 0 for each key down; its bits 10-15 always read 0, so
 * with no key held it reads 0x03FF, from power-on. */
#include "system.h"

#define KEY_A 0x001
#define KEY_B 0x002
#define KEY_L 0x200
#define KEYCNT_IRQ 0x4000
#define KEYCNT_ALL 0x8000

int main(void) {
    const uint32_t keys0 = KEYINPUT;
    DISPSTAT = STAT_VBLANK_IRQ;
    StartInterrupts(IRQ_VBLANK | IRQ_KEYPAD);

    /* Any of the selected keys: A alone is enough, at every blank it is
     * held. */
    KEYCNT = KEYCNT_IRQ | KEY_A;
    IntrWait(1, IRQ_KEYPAD);
    const uint32_t blank1 = IrqCount[0], line1 = VCOUNT, keys1 = KEYINPUT;
    IntrWait(1, IRQ_KEYPAD);
    const uint32_t blank2 = IrqCount[0];

    /* All of A and B: only from the 21st blank. */
    KEYCNT = KEYCNT_IRQ | KEYCNT_ALL | KEY_A | KEY_B;
    IntrWait(1, IRQ_KEYPAD);
    const uint32_t blank3 = IrqCount[0], keys3 = KEYINPUT;

    /* L is never pressed: no request while waiting out the 35th blank. */
    KEYCNT = KEYCNT_IRQ | KEY_L;
    const uint32_t requests4 = IrqCount[12];
    while (IrqCount[0] < 35) VBlankIntrWait();
    const uint32_t requests5 = IrqCount[12], keys5 = KEYINPUT;
    KEYCNT = 0;

    CHECK(keys0, 0x03FF);
    CHECK(blank1, 11);
    CHECK(line1, 160);
    CHECK(keys1, 0x03FE);
    CHECK(blank2, 12);
    CHECK(blank3, 21);
    CHECK(keys3, 0x03FC);
    CHECK(requests5, requests4);
    CHECK(keys5, 0x03FF);
    return 0;
}

CHECKS_END();
