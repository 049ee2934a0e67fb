/* How the bus answers where the public test programs do not look: the
 * cartridge bus past the image, the BIOS's copy functions given a source in
 * the BIOS area, POSTFLG and HALTCNT, the serial port without a cable and a
 * byte store to IF. The mirrors, byte stores to video memory, the BIOS area
 * and open-bus reads, and the registers' read-back bits are jsmolka's
 * memory and bios tests', nba-hw-test's vram-mirror, png183's memory test
 * and the mGBA suite's memory and I/O read suites (tests/cartridges).
 *
 * Runs in ARM state without a BIOS image. */
#include "system.h"

#define BUS8(address) (*(volatile uint8_t*)(address))
#define BUS16(address) (*(volatile uint16_t*)(address))
#define BUS32(address) (*(volatile uint32_t*)(address))

static void CartridgeBus(void) {
    /* Past the image the cartridge bus reads back the address lines: the
     * halfword at offset 2n reads n (modulo 65536). */
    CHECK(BUS16(0x09FFFFFE), 0xFFFF);
    CHECK(BUS16(0x0B0468AC), 0x3456);
    CHECK(BUS32(0x0A1FFFFC), 0xFFFFFFFE);
}

static void Registers(void) {
    /* The BIOS's copy functions refuse a source in the BIOS area. */
    static volatile uint16_t Untouched[2] = {0xAAAA, 0xAAAA};
    uint32_t copy[4] = {0x100, (uint32_t)Untouched, 2, 0};
    BiosSwi11(copy);
    CHECK(Untouched[0], 0xAAAA);

    /* The start-up sets POSTFLG, and a store of 0 to HALTCNT's halfword
     * leaves it set (with no interrupt enabled it does not halt). */
    CHECK(BUS8(0x04000300), 1);
    BUS16(0x04000300) = 0;
    CHECK(BUS8(0x04000300), 1);

    /* A serial transfer in normal mode with the internal clock runs with
     * no cable plugged in: it ends (soon) with the start bit clear and the
     * data all ones, as no partner drives the line. */
    REG16(0x134) = 0;       // RCNT: the serial modes
    REG16(0x128) = 0x0081;  // SIOCNT: 8 bits, internal clock, start
    uint32_t waited = 0;
    while ((REG16(0x128) & 0x0080) && waited < 100000) ++waited;
    CHECK(REG16(0x128) & 0x0080, 0);
    CHECK(REG8(0x12A), 0xFF);

    /* A byte store to IF acknowledges the requests of its own byte only:
     * the vertical blank's (bit 0) goes, DMA 3's (bit 11) stays. */
    static volatile uint32_t Scratch;
    DISPSTAT = STAT_VBLANK_IRQ;
    IF = 0xFFFF;
    while (!(IF & IRQ_VBLANK)) {
    }
    StartDma(3, &Scratch, &Scratch, 1, DMA_IRQ);
    BUS8(0x04000202) = IRQ_VBLANK;
    const uint32_t left = IF;
    DISPSTAT = 0;
    IF = 0xFFFF;
    CHECK(left & (IRQ_VBLANK | IRQ_DMA(3)), IRQ_DMA(3));
}

int main(void) {
    CartridgeBus();
    Registers();
    return 0;
}

CHECKS_END();
