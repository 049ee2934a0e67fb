/* Saving through the serial EEPROM, shared by the two EEPROM cartridges:
 * save_eeprom (no save-type marker, so the combined chips, whose EEPROM
 * takes 6-bit block addresses) and save_eeprom8k (an 8 KB chip: 14-bit
 * addresses, of which it uses the low 10, 1024 blocks of 8 bytes). Each
 * defines ADDRESS_BITS and then includes this file. Requests go out as one
 * bit per halfword by DMA 3, as games send them; the emulator learns a
 * marked chip's size from the length of the first one. The read stream
 * comes back the same way (four dummy bits, then 64 data bits, most
 * significant first), or one bit per ordinary load from the chip.
 *
 * The run reads the first block to see what the previous run left, then
 * writes three blocks with different values and reads them back. On the
 * 8 KB chip, one taking 6-bit addresses would put block 64 over block 0
 * and could not reach block 1023. */
#include "save.h"

#define EEPROM ((volatile uint16_t*)0x0D000000)

static uint16_t Request[2 + ADDRESS_BITS + 64 + 1];
static uint16_t Answer[68];

struct Block {
    uint32_t high, low;
};
static const struct Block Values[3] = {{0x4B4F5255, 0x00000000}, {0x01234567, 0x89ABCDEF}, {0xFEDCBA98, 0x76543210}};
#if ADDRESS_BITS == 14
static const uint32_t Numbers[3] = {0, 64, 1023};
#else
static const uint32_t Numbers[3] = {0, 2, 63};
#endif

static void Dma3(const volatile void* source, volatile void* destination, uint32_t count) {
    StartDma(3, source, destination, count, DMA_NOW);
    __asm__ volatile("nop\n nop"); /* the hardware starts two cycles later */
}

/* The low `count` bits of value, most significant first, one per halfword. */
static uint16_t* PutBits(uint16_t* at, uint32_t value, uint32_t count) {
    while (count--) *at++ = (uint16_t)(value >> count & 1);
    return at;
}

static void SendRead(uint32_t block) {
    uint16_t* at = PutBits(Request, 3, 2); /* start bit, read */
    at = PutBits(at, block, ADDRESS_BITS);
    PutBits(at, 0, 1);
    Dma3(Request, EEPROM, 2 + ADDRESS_BITS + 1);
}

static struct Block Read(uint32_t block) {
    SendRead(block);
    Dma3(EEPROM, Answer, 68);
    struct Block value = {0, 0};
    for (uint32_t bit = 0; bit < 32; ++bit) {
        value.high = value.high << 1 | (Answer[4 + bit] & 1);
        value.low = value.low << 1 | (Answer[36 + bit] & 1);
    }
    return value;
}

/* 1 once the chip reports the write finished. */
static uint32_t Write(uint32_t block, struct Block value) {
    uint16_t* at = PutBits(Request, 2, 2); /* start bit, write */
    at = PutBits(at, block, ADDRESS_BITS);
    at = PutBits(at, value.high, 32);
    at = PutBits(at, value.low, 32);
    PutBits(at, 0, 1);
    Dma3(Request, EEPROM, sizeof Request / 2);
    for (uint32_t tries = 0; tries < 100000; ++tries)
        if (EEPROM[0] & 1) return 1;
    return 0;
}

/* The answer to a read request again, taken by 68 ordinary loads. */
static uint32_t ReadLowByLoads(uint32_t block) {
    SendRead(block);
    uint32_t low = 0;
    for (uint32_t bit = 0; bit < 68; ++bit) low = low << 1 | (EEPROM[0] & 1);
    return low;
}

static uint32_t Same(struct Block a, struct Block b) { return a.high == b.high && a.low == b.low; }

int main(void) {
    /* A fresh chip is erased (all ones); after a run it holds the values. */
    uint32_t found = 0, erased = 0;
    for (uint32_t i = 0; i < 3; ++i) {
        const struct Block value = Read(Numbers[i]);
        found += Same(value, Values[i]);
        erased += value.high == 0xFFFFFFFF && value.low == 0xFFFFFFFF;
    }
    CHECK(found == 3 || erased == 3, 1);
    Phase = found == 3;

    uint32_t written = 0;
    for (uint32_t i = 0; i < 3; ++i) written += Write(Numbers[i], Values[i]);
    CHECK(written, 3);
    uint32_t wrong = 0;
    for (uint32_t i = 0; i < 3; ++i) wrong |= !Same(Read(Numbers[i]), Values[i]) << i;
    CHECK(wrong, 0); /* bit i: block Numbers[i] */
    CHECK(ReadLowByLoads(Numbers[1]), Values[1].low);
    /* After the 68 bits of a read the chip answers 1. */
    CHECK(EEPROM[0] & 1, 1);
#if ADDRESS_BITS == 14
    /* The top four address bits are not decoded: 0x3FFF is block 1023. */
    CHECK(Read(0x3FFF).low, Values[2].low);
#endif
    return 0;
}
