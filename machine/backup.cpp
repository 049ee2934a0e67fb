#include "machine/backup.h"

#include "machine/page_table.h"

uint8_t EepromData[512];

void FlashWrite(uint16_t offset, uint8_t value) {
    // Until the FLASH command decoder exists the chip behaves as plain SRAM.
    *WriteHostAddress(0x0E000000u + offset) = value;
}

uint16_t EepromReadBit() { return 1; }  // an idle EEPROM reports ready

void EepromWriteBit(uint8_t) {}

// The decoders keep no state yet, so there is nothing to reset.
void ResetFlash(uint8_t*, bool) {}
void ResetEeprom(uint8_t*, bool) {}
