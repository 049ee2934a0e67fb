/* The high score, kept in the cartridge's FLASH chip so that it survives
 * switching off (the emulator keeps the chip's contents in the game's .sav
 * file).
 *
 * The chip sits at 0x0E000000 on an 8-bit bus: it is read with byte loads
 * like memory, but changed only through commands. Every command starts with
 * the unlock sequence 0xAA to 0x0E005555 and 0x55 to 0x0E002AAA, followed by
 * the command byte to 0x0E005555:
 *
 *   0x90 / 0xF0  enter / leave the identification mode, in which bytes 0
 *                and 1 read as the maker and device codes;
 *   0x80         prepare an erase; a second unlock and 0x30 written to a
 *                4 KB sector then erase that sector to 0xFF;
 *   0xA0         program: the next byte written is stored (programming can
 *                only turn 1 bits into 0 bits, hence the erase first).
 *
 * A real chip is busy for a while after an erase or a program, and reads
 * back the written value once it is done, which the code polls for.
 *
 * The record at the start of sector 0: the letters "KORU", the score as a
 * little-endian halfword, then the score's complement, so that a blank chip
 * (all 0xFF after an erase, or anything else) is never taken for a score. */
#include "demo.h"
#include "hardware.h"

/* Tells tools that inspect the image which kind of save chip the cartridge
 * has; nothing reads it at run time. */
const char SaveTypeTag[] __attribute__((aligned(4))) = "FLASH_V100";

#define RECORD_SECTOR 0x0000
#define RECORD_LENGTH 8

static void FlashCommand(uint8_t command) {
    FLASH_MEMORY[0x5555] = 0xAA;
    FLASH_MEMORY[0x2AAA] = 0x55;
    FLASH_MEMORY[0x5555] = command;
}

/* Polls until the byte at `offset` reads `value`, for a bounded time. */
static void WaitForFlash(uint32_t offset, uint8_t value) {
    for (uint32_t tries = 0; tries < 100000 && FLASH_MEMORY[offset] != value; ++tries) {
    }
}

int FindFlash(void) {
    FlashCommand(0x90);
    const uint8_t maker = FLASH_MEMORY[0], device = FLASH_MEMORY[1];
    FlashCommand(0xF0);
    /* 64 KB chips by maker: Panasonic 0x32 0x1B, Atmel 0x1F 0x3D,
     * SST 0xBF 0xD4, Macronix 0xC2 0x1C. */
    static const uint8_t Known[4][2] = {{0x32, 0x1B}, {0x1F, 0x3D}, {0xBF, 0xD4}, {0xC2, 0x1C}};
    for (uint32_t i = 0; i < 4; ++i)
        if (maker == Known[i][0] && device == Known[i][1]) return 1;
    return 0;
}

uint32_t LoadHiScore(void) {
    uint8_t record[RECORD_LENGTH];
    for (uint32_t i = 0; i < RECORD_LENGTH; ++i) record[i] = FLASH_MEMORY[RECORD_SECTOR + i];
    if (record[0] != 'K' || record[1] != 'O' || record[2] != 'R' || record[3] != 'U') return 0;
    const uint32_t score = record[4] | record[5] << 8;
    const uint32_t check = record[6] | record[7] << 8;
    return (score ^ check) == 0xFFFF ? score : 0;
}

void SaveHiScore(uint32_t score) {
    const uint8_t record[RECORD_LENGTH] = {
        'K', 'O', 'R', 'U', (uint8_t)score, (uint8_t)(score >> 8), (uint8_t)~score, (uint8_t)(~score >> 8),
    };
    FlashCommand(0x80);
    FLASH_MEMORY[0x5555] = 0xAA;
    FLASH_MEMORY[0x2AAA] = 0x55;
    FLASH_MEMORY[RECORD_SECTOR] = 0x30;
    WaitForFlash(RECORD_SECTOR, 0xFF);
    for (uint32_t i = 0; i < RECORD_LENGTH; ++i) {
        FlashCommand(0xA0);
        FLASH_MEMORY[RECORD_SECTOR + i] = record[i];
        WaitForFlash(RECORD_SECTOR + i, record[i]);
    }
}
