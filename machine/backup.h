#pragma once
// Cartridge backup memory: the FLASH chip behind 0x0E000000 (byte stores
// only) and the serial EEPROM behind the upper cartridge windows.

#include <cstdint>

// A byte store to 0x0E000000-0x0E00FFFF, offset = low 16 address bits.
void FlashWrite(uint16_t offset, uint8_t value);

// One bit of the EEPROM's serial stream (16-bit accesses to 0x09xxxxxx...).
uint16_t EepromReadBit();
void EepromWriteBit(uint8_t value);

// Power-on state of the two decoders (hardware reset). The FLASH works on
// the backup RAM block; the EEPROM lays its read stream into bitMirror so
// that the CPU's direct loads find it. trace prints the protocol.
void ResetFlash(uint8_t* backupRam, bool trace);
void ResetEeprom(uint8_t* bitMirror, bool trace);

// The 512 data bytes of a 4 Kbit EEPROM.
extern uint8_t EepromData[512];
