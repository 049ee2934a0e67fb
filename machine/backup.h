#pragma once
// Cartridge backup memory: the chip a cartridge keeps its saved games in.
// A cartridge carries one of static RAM (32 KB), FLASH (64 KB, or 128 KB in
// two switched banks) or a serial EEPROM (512 bytes or 8 KB); the game start
// decides which (game/save_type.h). A cartridge without a save-type marker
// gets the combination every game had before the chips were told apart: a
// 64 KB RAM that also understands the FLASH commands, and a 512-byte EEPROM.
//
// Static RAM and FLASH sit on an 8-bit bus at 0x0E000000, repeated through
// 0x0FFFFFFF: a store of any width changes only the byte its address selects
// (BackupWrite), and a halfword or word load returns that byte repeated
// (the bus functions and the CPU's loads see to it). The EEPROM is a serial
// chip at the top of the cartridge space: every 16-bit store sends it one
// bit, every load (the CPU's or DMA's) takes one bit back. A new chip is
// erased: every byte 0xFF.
//
// The decoders keep their state in records whose byte layout snapshot files
// store as it lies. Each record has a 4-byte slot where a 32-bit host kept a
// pointer; here the pointers live beside the records (BackupBus) and the
// slot is always written as 0.

#include <cstddef>
#include <cstdint>

// ---- the chip and its memories ----

enum class SaveType : uint8_t {
    Combined,  // no marker: 64 KB RAM answering FLASH commands, and a 512-byte EEPROM
    Sram,      // 32 KB static RAM
    Flash64,   // 64 KB FLASH
    Flash128,  // 128 KB FLASH in two 64 KB banks
    Eeprom,    // serial EEPROM, 512 bytes or 8 KB
};
inline constexpr uint8_t SaveTypeCount = 5;

inline constexpr uint32_t SramSize = 0x8000;
inline constexpr uint32_t FlashBankSize = 0x10000;
inline constexpr uint32_t BackupMemorySize = 2 * FlashBankSize;  // the largest chip
inline constexpr uint32_t EepromSmallSize = 512;                 // 6-bit addresses (4 Kbit)
inline constexpr uint32_t EepromLargeSize = 0x2000;              // 14-bit addresses (64 Kbit)
inline constexpr uint8_t EepromSmallWidth = 6;
inline constexpr uint8_t EepromLargeWidth = 14;

// The chips' contents are the machine's BackupMemory (static RAM or FLASH:
// a 64 KB chip uses the first half, a 32 KB one the first quarter) and
// EepromMemory (the EEPROM's 64-bit blocks), each little-endian.

// Which chip the cartridge has, and the state that changes under the game.
// Four bytes, stored as they lie in snapshot files.
struct BackupState {
    SaveType Type;
    uint8_t EepromWidth;       // EEPROM address bits, 6 or 14; 0 while unknown (requests then take 6)
    uint8_t EepromWidthKnown;  // 1 once the settings or the game's first transfer fixed the width
    uint8_t FlashBank;         // the 64 KB bank of a 128 KB FLASH seen at 0x0E000000
};
static_assert(sizeof(BackupState) == 4);

// Where the chips answer: the FLASH window at 0x0E000000 (the selected
// bank), and the EEPROM's window, accesses whose address AND
// EepromWindowMask equals EepromWindowBase (SetSaveType places it).
struct BackupBus {
    uint8_t* FlashMemory = nullptr;
    uint32_t EepromWindowMask = 0;
    uint32_t EepromWindowBase = 1;  // never matches
};

struct Machine;

// A new cartridge (game start, before the battery file is read): every chip
// erased, both decoders idle, the combined chips, the backup window mapped,
// and the clock as a new one (machine/rtc.h).
void PowerOnBackupMemory(Machine& m);

// The chip the game start chose. An EEPROM width of 0 leaves the width to
// the battery file and the game's first transfer. romSize places the EEPROM:
// a cartridge of up to 16 MB answers at 0x0D000000-0x0DFFFFFF, a larger one
// only in the last 256 bytes of that range, below which its image lies.
void SetSaveType(Machine& m, SaveType type, uint8_t eepromWidth, uint32_t romSize);

// Hardware reset: both decoders idle, the first FLASH bank selected, the
// memories kept. trace prints the protocols.
void ResetBackupMemory(Machine& m, bool trace);

// Enters the chip's window (the 32 KB RAM or the selected 64 KB) at every
// page of 0x0E000000-0x0FFFFFFF, and points FlashMemory at it.
void MapBackupMemory(Machine& m);

// Bytes of static RAM or FLASH the chip has (0 for an EEPROM cartridge), and
// of EEPROM (0 without one; 512 while its width is unknown).
uint32_t BackupChipSize(const Machine& m);
uint32_t EepromSize(const Machine& m);

// ---- the 8-bit bus at 0x0E000000-0x0FFFFFFF ----

inline bool IsBackupAddress(uint32_t address) { return (address & 0x0E000000u) == 0x0E000000u; }

// One byte stored at a 28-bit bus address in the backup window.
void BackupWrite(Machine& m, uint32_t address, uint8_t value);

// ---- FLASH ----

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
    FlashBankSelect = 7,     // ... 0xB0 (128 KB chips): the next store to 0x0000 selects the bank
};
inline constexpr uint8_t FlashLastState = FlashBankSelect;

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

// Games pick their save routine by the chip's identifier, so each size
// answers as a chip of that size that games know: a 64 KB chip by the maker
// 0x32 (device 0x1B), a 128 KB chip by the maker 0x62 (device 0x13).
inline constexpr uint16_t Flash64Identifier = 0x1B32;
inline constexpr uint16_t Flash128Identifier = 0x1362;

// A byte store to a FLASH chip, offset = low 16 address bits.
void FlashWrite(Machine& m, uint16_t offset, uint8_t value);

// Leaves identification mode: bytes 0 and 1 of the window show the saved
// bytes again in place of the identifier.
void HideIdentifier(Machine& m);

// ---- EEPROM ----

struct EepromState {
    uint32_t InputLow, InputHigh;    // request bits as they arrive, newest in bit 0
    uint32_t OutputLow, OutputHigh;  // read data, next bit out in bit 63
    uint8_t Data[512];               // in snapshot files: EepromMemory's first 512 bytes
    uint8_t CommandBits;             // request bits still to come (width + 1 after the start bit)
    uint8_t WriteBits;               // data bits still to come of a write
    uint8_t DummyBits;               // zero bits still to read before the data
    uint8_t Pad531;
    uint32_t Address;  // byte address of the next block in EepromMemory
    uint8_t Trace;     // print the protocol
    uint8_t Pad537[3];
    uint32_t PointerSlot;  // 0 (see above)
};
static_assert(sizeof(EepromState) == 544);
static_assert(offsetof(EepromState, Data) == 16 && offsetof(EepromState, Address) == 532);

inline constexpr uint8_t EepromDataBitCount = 64;
inline constexpr uint8_t EepromDummyBitCount = 4;

inline bool IsEepromAddress(const BackupBus& bus, uint32_t address) {
    return (address & bus.EepromWindowMask) == bus.EepromWindowBase;
}

// One bit of the EEPROM's serial stream.
uint16_t EepromReadBit(Machine& m);
void EepromWriteBit(Machine& m, uint8_t value);

// DMA is about to send `count` halfwords to the EEPROM. Games send each
// request in one transfer, and its length gives the address width: 9 bits
// (read) or 73 (write) with 6-bit addresses, 17 or 81 with 14-bit ones.
// The first such transfer fixes the width of an EEPROM whose width is open.
void EepromTransferStarts(Machine& m, uint32_t count);

// Power-on state of the decoder (hardware reset); the data are kept.
void ResetEeprom(Machine& m, bool trace);
