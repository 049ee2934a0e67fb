/* Runs under a BIOS image (koru-headless --bios FILE): a SWI goes through
 * the processor's SWI exception into the BIOS's own code and returns, and
 * the vertical-blank interrupt goes through the BIOS's IRQ vector to our
 * handler and back. */
#include "system.h"

static uint32_t CurrentMode(void) {
    uint32_t cpsr;
    __asm__ volatile("mrs %0, cpsr" : "=r"(cpsr));
    return cpsr & 0x1F;
}

int main(void) {
    /* The BIOS ROM answers only code running inside it: a load from the
     * cartridge reads the opcode the start-up fetched last. */
    uint32_t irqVector;
    __asm__ volatile("ldr %0, [%1]" : "=r"(irqVector) : "r"(0x18));
    CHECK(irqVector, 0xE129F000);

    uint32_t regs[4] = {(uint32_t)-7, 2, 0, 0};
    BiosSwi6(regs);
    CHECK(regs[0], -3);
    CHECK(regs[1], -1);
    CHECK(regs[3], 3);
    CHECK(CurrentMode(), 0x1F);

    /* Interrupts while the program runs: the handler is entered in IRQ
     * mode from the BIOS's dispatcher, and the loop goes on afterwards. */
    DISPSTAT = STAT_VBLANK_IRQ;
    StartInterrupts(IRQ_VBLANK);
    uint32_t spins = 0;
    while (IrqCount[0] < 3) ++spins;
    CHECK(IrqMode, 0x12);
    CHECK(IrqLine[0], 160);
    CHECK(CurrentMode(), 0x1F);
    CHECK(spins != 0, 1);

    /* The BIOS's own VBlankIntrWait, woken by our handler's check flag. */
    const uint32_t blank0 = IrqCount[0];
    VBlankIntrWait();
    const uint32_t line1 = VCOUNT, blank1 = IrqCount[0];
    CHECK(line1, 160);
    CHECK(blank1 - blank0, 1);
    return 0;
}

CHECKS_END();
