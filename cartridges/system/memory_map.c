/* How the bus answers away from plain work RAM: the mirrors of the video
 * memories and their byte stores, the cartridge bus past the image, the
 * BIOS area read from the cartridge, loads from nothing, and what the I/O
 * registers read back. The expected values are the handheld's, as the
 * hardware documentation gives them and the public test programs measure
 * them (jsmolka's memory and bios tests, nba-hw-test's vram-mirror, the
 * mGBA suite's memory and I/O read suites), and the serial port without a
 * cable.
 *
 * Runs in ARM state without a BIOS image, with the display in forced blank
 * throughout, so that the video memories are free for the CPU. */
#include "system.h"

#define DISPCNT REG16(0x000)
#define FORCED_BLANK 0x0080

#define PALETTE16(offset) (*(volatile uint16_t*)(0x05000000 + (offset)))
#define VRAM16(offset) (*(volatile uint16_t*)(0x06000000 + (offset)))
#define VRAM32(offset) (*(volatile uint32_t*)(0x06000000 + (offset)))
#define OAM16(offset) (*(volatile uint16_t*)(0x07000000 + (offset)))
#define OAM32(offset) (*(volatile uint32_t*)(0x07000000 + (offset)))
#define BUS8(address) (*(volatile uint8_t*)(address))
#define BUS16(address) (*(volatile uint16_t*)(address))
#define BUS32(address) (*(volatile uint32_t*)(address))

/* The opcodes the BIOS leaves on the bus: after start-up, after a SWI,
 * inside the game's interrupt handler and after the interrupt. */
#define AFTER_START_UP 0xE129F000
#define AFTER_SWI 0xE3A02004
#define IN_INTERRUPT 0xE25EF004
#define AFTER_INTERRUPT 0xE55EC002

/* A word load from the BIOS area, through an address the compiler cannot
 * see: it would take a load from address 0 for a fault. */
static uint32_t Load32(uint32_t address) {
    uint32_t value;
    __asm__ volatile("ldr %0, [%1]" : "=r"(value) : "r"(address));
    return value;
}

/* A word load from `address`, followed by a branch over a marker word: the
 * marker is the opcode the CPU has prefetched when the load reads the bus,
 * so it is what a load from nothing returns. */
#define PREFETCHED 0x5EC0DE01
static uint32_t LoadWordNowhere(uint32_t address) {
    uint32_t value;
    __asm__ volatile("ldr %0, [%1]\n\tb 1f\n\t.word 0x5EC0DE01\n1:" : "=r"(value) : "r"(address));
    return value;
}

static void VideoMirrors(void) {
    /* Palette RAM and OAM (1 KB each) repeat through their 16 MB. */
    PALETTE16(0x400) = 0x1234;
    CHECK(PALETTE16(0), 0x1234);
    CHECK(PALETTE16(0xFFFC00), 0x1234);
    OAM32(0x408) = 0xCAFE0123;
    CHECK(OAM32(8), 0xCAFE0123);
    OAM32(8) = 0;

    /* VRAM repeats every 128 KB; the last 32 KB of each repeat the OBJ
     * tiles at 0x06010000. */
    VRAM32(0x18000) = 0xABAD1DEA;
    VRAM32(0x20004) = 0x600DF00D;
    CHECK(VRAM32(0x10000), 0xABAD1DEA);
    CHECK(VRAM32(0x30000), 0xABAD1DEA);
    CHECK(VRAM32(4), 0x600DF00D);

    /* In a bitmap mode the backgrounds own 0x06010000-0x06013FFF and the
     * OBJ tiles' mirror of it reads 0 and takes no stores; the mirror of
     * 0x06014000 still works. */
    DISPCNT = FORCED_BLANK | 3;
    VRAM32(0x18000) = 0x87654321;
    VRAM32(0x1C000) = 0x0BADCAFE;
    const uint32_t hidden = VRAM32(0x18000), objects = VRAM32(0x14000);
    DISPCNT = FORCED_BLANK;
    CHECK(hidden, 0);
    CHECK(VRAM32(0x10000), 0xABAD1DEA);
    CHECK(objects, 0x0BADCAFE);
}

static void ByteStores(void) {
    /* Palette RAM and the backgrounds' VRAM take a byte on both halves of
     * its halfword; the OBJ tiles and OAM ignore byte stores. */
    BUS8(0x05000011) = 0xAB;
    CHECK(PALETTE16(0x10), 0xABAB);
    BUS8(0x06000021) = 0x5A;
    CHECK(VRAM16(0x20), 0x5A5A);
    VRAM16(0x10020) = 0x1111;
    BUS8(0x06010020) = 0x22;
    CHECK(VRAM16(0x10020), 0x1111);
    OAM16(0x10) = 0x3333;
    BUS8(0x07000010) = 0x44;
    CHECK(OAM16(0x10), 0x3333);
    OAM16(0x10) = 0;
    /* In a bitmap mode the backgrounds reach up to 0x06013FFF. */
    DISPCNT = FORCED_BLANK | 4;
    BUS8(0x06012001) = 0x77;
    DISPCNT = FORCED_BLANK;
    CHECK(VRAM16(0x12000), 0x7777);
}

static void CartridgeBus(void) {
    /* Past the image the cartridge bus reads back the address lines: the
     * halfword at offset 2n reads n (modulo 65536). */
    CHECK(BUS16(0x09FFFFFE), 0xFFFF);
    CHECK(BUS16(0x0B0468AC), 0x3456);
    CHECK(BUS32(0x0A1FFFFC), 0xFFFFFFFE);
}

static volatile uint32_t BiosInHandler;
static volatile uint32_t HandlerRuns;

/* An interrupt handler that looks at the BIOS area, then acknowledges the
 * request as a game's handler does. */
static void BiosReadingHandler(void) {
    BiosInHandler = Load32(0x10);
    const uint16_t requests = IE & IF;
    IF = requests;
    BIOS_IRQ_CHECK |= requests;
    ++HandlerRuns;
}

static void BiosArea(void) {
    /* Nothing has left the BIOS since it jumped to the cartridge. */
    CHECK(Load32(0), AFTER_START_UP);
    CHECK(Load32(0x3FFC), AFTER_START_UP);

    uint32_t regs[4] = {7, 2, 0, 0};
    BiosSwi6(regs);
    CHECK(Load32(0x18), AFTER_SWI);

    BIOS_IRQ_VECTOR = (uint32_t)BiosReadingHandler;
    DISPSTAT = STAT_VBLANK_IRQ;
    IF = 0xFFFF;
    IE = IRQ_VBLANK;
    IME = 1;
    CpuIrqEnable();
    while (HandlerRuns == 0) {
    }
    CpuIrqDisable();
    IE = 0;
    DISPSTAT = 0;
    CHECK(BiosInHandler, IN_INTERRUPT);
    CHECK(Load32(0x100), AFTER_INTERRUPT);

    /* The BIOS's copy functions refuse a source in the BIOS area. */
    static volatile uint16_t Untouched[2] = {0xAAAA, 0xAAAA};
    uint32_t copy[4] = {0x100, (uint32_t)Untouched, 2, 0};
    BiosSwi11(copy);
    CHECK(Untouched[0], 0xAAAA);
}

static void Nowhere(void) {
    /* The unused area behind the BIOS, the rest of the BIOS region and the
     * I/O area past the registers answer with the prefetched opcode. */
    CHECK(LoadWordNowhere(0x01000000), PREFETCHED);
    CHECK(LoadWordNowhere(0x00004000), PREFETCHED);
    CHECK(LoadWordNowhere(0x04000400), PREFETCHED);
    /* So do the write-only registers: BG0HOFS and BG0VOFS. */
    CHECK(LoadWordNowhere(0x04000010), PREFETCHED);
}

static void IoReadBack(void) {
    /* Only the bits a register keeps read back. */
    REG16(0x008) = 0xFFFF;  // BG0CNT: no wrap-around bit
    const uint32_t bg0cnt = REG16(0x008);
    REG16(0x008) = 0;
    CHECK(bg0cnt, 0xDFFF);
    REG16(0x048) = 0xFFFF;  // WININ
    CHECK(REG16(0x048), 0x3F3F);
    REG16(0x048) = 0;
    REG16(0x052) = 0xFFFF;  // BLDALPHA
    CHECK(REG16(0x052), 0x1F1F);
    REG16(0x052) = 0;
    REG16(0x064) = 0x47FF;  // SOUND1CNT_X: the length flag only
    CHECK(REG32(0x064), 0x4000);
    REG16(0x064) = 0;
    DMACNT_L(3) = 0x1234;
    DMACNT_H(3) = 0x7FFF;  // not enabled
    CHECK(REG32(0xDC), 0x7FE00000);
    DMACNT_H(3) = 0;
    REG16(0x204) = 0xC000;  // WAITCNT: bit 15 marks the older handheld's cartridges
    CHECK(REG16(0x204), 0x4000);
    REG16(0x204) = 0;

    /* Stores past the registers reach none of them (BG0CNT is not at
     * 0x04001008). MEMCNT answers at 0x0800 of every 64 KB. */
    BUS16(0x04001008) = 0x0003;
    CHECK(REG16(0x008), 0);
    CHECK(REG32(0x800), 0x0D000020);
    CHECK(BUS32(0x04010800), 0x0D000020);

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
    DMASAD(3) = (uint32_t)&Scratch;
    DMADAD(3) = (uint32_t)&Scratch;
    DMACNT_L(3) = 1;
    DMACNT_H(3) = DMA_ENABLE | DMA_IRQ;
    BUS8(0x04000202) = IRQ_VBLANK;
    const uint32_t left = IF;
    DISPSTAT = 0;
    IF = 0xFFFF;
    CHECK(left & (IRQ_VBLANK | IRQ_DMA(3)), IRQ_DMA(3));
}

int main(void) {
    BiosArea();
    VideoMirrors();
    ByteStores();
    CartridgeBus();
    Nowhere();
    IoReadBack();
    return 0;
}

CHECKS_END();
