/* A 128 KB FLASH chip, as the largest games save: two 64 KB banks seen one
 * at a time at 0x0E000000, switched by the command 0xB0 followed by the
 * bank's number stored to 0x0E000000.
 *
 * The run identifies the chip, looks for what the previous run left in
 * sector 1 of each bank, erases that sector in both banks and programs a
 * different record into each. A store in bank 1 must not show in bank 0,
 * and the records must come back from the battery file in their own banks. */
#include "save.h"

const char SaveTypeTag[] __attribute__((aligned(4), used)) = "FLASH1M_V103";

#define SECTOR 0x1000
static const uint8_t Records[2][4] = {{'B', 'N', 'K', '0'}, {'B', 'N', 'K', '1'}};

static void Command(uint8_t command) {
    BACKUP[0x5555] = 0xAA;
    BACKUP[0x2AAA] = 0x55;
    BACKUP[0x5555] = command;
}

static void SelectBank(uint32_t bank) {
    Command(0xB0);
    BACKUP[0] = (uint8_t)bank;
}

/* A real chip is busy for a while: poll until the byte reads the value. */
static void WaitFor(uint32_t offset, uint8_t value) {
    for (uint32_t tries = 0; tries < 100000 && BACKUP[offset] != value; ++tries) {
    }
}

static void EraseSector(uint32_t offset) {
    Command(0x80);
    BACKUP[0x5555] = 0xAA;
    BACKUP[0x2AAA] = 0x55;
    BACKUP[offset] = 0x30;
    WaitFor(offset, 0xFF);
}

static void Program(uint32_t offset, uint8_t value) {
    Command(0xA0);
    BACKUP[offset] = value;
    WaitFor(offset, value);
}

/* 1 when the sector holds the record, 0 when it is erased, 2 otherwise. */
static uint32_t Found(const uint8_t* record) {
    uint32_t same = 0, erased = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        same += BACKUP[SECTOR + i] == record[i];
        erased += BACKUP[SECTOR + i] == 0xFF;
    }
    return same == 4 ? 1 : erased == 4 ? 0 : 2;
}

static void ProgramRecord(const uint8_t* record) {
    for (uint32_t i = 0; i < 4; ++i) Program(SECTOR + i, record[i]);
}

int main(void) {
    Command(0x90);
    const uint32_t identifier = BACKUP[0] | BACKUP[1] << 8;
    Command(0xF0);
    CHECK(identifier, 0x1362); /* maker 0x62, device 0x13: a 128 KB chip */

    SelectBank(0);
    const uint32_t found0 = Found(Records[0]);
    SelectBank(1);
    const uint32_t found1 = Found(Records[1]);
    CHECK(found1, found0); /* both records, or neither */
    Phase = found0;

    for (uint32_t bank = 0; bank < 2; ++bank) {
        SelectBank(bank);
        EraseSector(SECTOR);
    }
    SelectBank(0);
    ProgramRecord(Records[0]);
    SelectBank(1);
    CHECK(BACKUP[SECTOR], 0xFF); /* bank 1 does not see bank 0's store */
    ProgramRecord(Records[1]);
    CHECK(Found(Records[1]), 1);
    CHECK(BACKUP[0x10000 + SECTOR + 3], '1'); /* the window repeats the selected bank */
    CHECK(*(volatile uint8_t*)(0x0F000000 + SECTOR + 3), '1');

    SelectBank(0);
    CHECK(Found(Records[0]), 1); /* bank 1's record did not reach bank 0 */
    return 0;
}

CHECKS_END();
