#pragma once
// Cartridge backup memory: the FLASH chip behind 0x0E000000 (byte stores
// only) and the serial EEPROM behind the upper cartridge windows.
//
// Both decoders keep their state in records whose byte layout snapshot
// files store as it lies. Each record has a 4-byte slot where a 32-bit host
// kept a pointer; here the pointers live beside the records (FlashMemory,
// EepromBitMirror) and the slot is always written as 0.

#include <cstddef>
#include <cstdint>

// Command states of the FLASH decoder: the unlock sequence 0xAA to 0x5555,
// 0x55 to 0x2AAA, then a command byte to 0x5555.
enum FlashCommandState : uint8_t {
    FlashIdle = 0,
    FlashGotAA = 1,          // 0xAA
    FlashUnlocked = 2,       // 0xAA 0x55: a command follows
    FlashEraseArmed = 3,     // ... 0x80
    FlashEraseGotAA = 4,     // ... 0x80 0xAA
    FlashEraseUnlocked = 5,  // ... 0x80 0xAA 0x55: an erase command follows
    FlashProgram = 6,        // ... 0xA0: the next store programs one byte
};
inline constexpr uint8_t FlashLastState = FlashProgram;

struct FlashState {
    uint32_t PointerSlot;  // 0 (see above)
    uint8_t Command;       // FlashCommandState
    uint8_t IdentifyMode;  // 1 while bytes 0 and 1 show the chip's identifier
    uint8_t Trace;         // print the protocol
    uint8_t Pad7;
    uint16_t Identifier;  // low byte maker, high byte device
    uint16_t SavedBytes;  // backup bytes 0 and 1 while identify mode hides them
};
static_assert(sizeof(FlashState) == 12);
static_assert(offsetof(FlashState, Identifier) == 8);

// A 64 KB chip as the maker 0x32 builds it (device 0x1B). Games that pick
// their save routine by the identifier know it; an identifier of 0 matches
// no chip, and such games would refuse to save.
inline constexpr uint16_t FlashDefaultIdentifier = 0x1B32;

struct EepromState {
    uint32_t InputLow, InputHigh;    // request bits as they arrive, newest in bit 0
    uint32_t OutputLow, OutputHigh;  // read data, next bit out in bit 63
    uint8_t Data[512];               // 64 blocks of 8 bytes, each block's value little-endian
    uint8_t CommandBits;             // request bits still to come (7 after the start bit)
    uint8_t WriteBits;               // data bits still to come of a write
    uint8_t DummyBits;               // zero bits still to read before the data
    uint8_t Pad531;
    uint32_t Address;  // byte address of the next block in Data
    uint8_t Trace;     // print the protocol
    uint8_t Pad537[3];
    uint32_t PointerSlot;  // 0 (see above)
};
static_assert(sizeof(EepromState) == 544);
static_assert(offsetof(EepromState, Data) == 16 && offsetof(EepromState, Address) == 532);

// Serial EEPROM limits: 6-bit block addresses (4 Kbit), 64-bit blocks.
inline constexpr uint8_t EepromCommandBitCount = 7;  // read/write bit and 6 address bits
inline constexpr uint8_t EepromDataBitCount = 64;
inline constexpr uint8_t EepromDummyBitCount = 4;
inline constexpr uint32_t EepromSize = 512;

extern FlashState Flash;
extern uint8_t* FlashMemory;  // the backup RAM block
extern EepromState Eeprom;
extern uint8_t* EepromBitMirror;  // DummyRam, where CPU loads find the read stream

// The 512 data bytes of the 4 Kbit EEPROM (the battery file's second block).
inline uint8_t (&EepromData)[512] = Eeprom.Data;

// A byte store to 0x0E000000-0x0E00FFFF, offset = low 16 address bits.
void FlashWrite(uint16_t offset, uint8_t value);

// One bit of the EEPROM's serial stream (16-bit accesses to 0x09xxxxxx...).
uint16_t EepromReadBit();
void EepromWriteBit(uint8_t value);

// A new cartridge: EEPROM data all zero, both decoders idle (game start,
// before the battery file is read).
void PowerOnBackupMemory();

// Power-on state of the two decoders (hardware reset). The FLASH works on
// the backup RAM block; the EEPROM lays its read stream into bitMirror so
// that the CPU's direct loads find it. trace prints the protocol. The EEPROM
// data are kept.
void ResetFlash(uint8_t* backupRam, bool trace);
void ResetEeprom(uint8_t* bitMirror, bool trace);
