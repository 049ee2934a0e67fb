#include "machine/backup.h"

#include <cstdio>
#include <cstring>

FlashState Flash{};
uint8_t* FlashMemory = nullptr;
EepromState Eeprom{};
uint8_t* EepromBitMirror = nullptr;

namespace {

// ---- FLASH ----

constexpr uint16_t UnlockAddress1 = 0x5555;
constexpr uint16_t UnlockAddress2 = 0x2AAA;

// Stores that turned out not to start a command are ordinary stores, but
// the unlock bytes the decoder swallowed on the way are put where they
// were aimed, so a static-RAM game that happens to write them loses nothing.
void ReplayUnlock(bool withSecond) {
    FlashMemory[UnlockAddress1] = 0xAA;
    if (withSecond) FlashMemory[UnlockAddress2] = 0x55;
}

void FlashTrace(const char* format, unsigned a = 0, unsigned b = 0, unsigned c = 0, unsigned d = 0) {
    if (Flash.Trace) std::printf(format, a, b, c, d);
}

void EnterIdentifyMode() {
    FlashTrace("FLASH: Product ID mode entered.\n");
    // A repeated command leaves the saved bytes alone: saving again would
    // save the identifier bytes in place of the game's data.
    if (!Flash.IdentifyMode) Flash.SavedBytes = uint16_t(FlashMemory[0] | FlashMemory[1] << 8);
    Flash.IdentifyMode = 1;
    FlashMemory[0] = uint8_t(Flash.Identifier);
    FlashMemory[1] = uint8_t(Flash.Identifier >> 8);
}

void LeaveIdentifyMode() {
    FlashTrace("FLASH: Product ID mode exited.\n");
    if (!Flash.IdentifyMode) return;
    Flash.IdentifyMode = 0;
    FlashMemory[0] = uint8_t(Flash.SavedBytes);
    FlashMemory[1] = uint8_t(Flash.SavedBytes >> 8);
}

// ---- EEPROM ----

uint64_t Join(uint32_t low, uint32_t high) { return uint64_t(high) << 32 | low; }

uint64_t InputRegister() { return Join(Eeprom.InputLow, Eeprom.InputHigh); }
uint64_t OutputRegister() { return Join(Eeprom.OutputLow, Eeprom.OutputHigh); }

void SetInput(uint64_t value) {
    Eeprom.InputLow = uint32_t(value);
    Eeprom.InputHigh = uint32_t(value >> 32);
}
void SetOutput(uint64_t value) {
    Eeprom.OutputLow = uint32_t(value);
    Eeprom.OutputHigh = uint32_t(value >> 32);
}

// The address stays a multiple of 8 below 512 for every request; the bound
// keeps a damaged state from reaching past the data all the same.
bool BlockInRange() { return Eeprom.Address <= EepromSize - 8; }

void FinishWrite() {
    const uint64_t block = InputRegister();
    if (BlockInRange()) {
        for (uint32_t i = 0; i < 8; ++i) Eeprom.Data[Eeprom.Address + i] = uint8_t(block >> (8 * i));
    }
    Eeprom.Address += 8;
    if (Eeprom.Trace) std::printf(" IN=%08X%08X ", Eeprom.InputHigh, Eeprom.InputLow);
    // A 16-bit load from the mirror now reads 1: the write has finished.
    EepromBitMirror[0] = 1;
    EepromBitMirror[1] = 0;
    SetInput(0);
}

void StartRead(uint32_t block) {
    Eeprom.DummyBits = EepromDummyBitCount;
    Eeprom.Address = 8 * block;
    uint64_t value = 0;
    for (uint32_t i = 0; i < 8; ++i) value |= uint64_t(Eeprom.Data[Eeprom.Address + i]) << (8 * i);
    SetOutput(value);
    Eeprom.Address += 8;
    if (Eeprom.Trace) std::printf("OUT=%08X%08X ", Eeprom.OutputHigh, Eeprom.OutputLow);
    // The CPU reads the stream with its own loads, which bypass the bus
    // functions: lay it out as the sequence of halfwords the reads return,
    // four zero dummy bits then the 64 data bits, most significant first.
    std::memset(EepromBitMirror, 0, 8);
    for (uint32_t bit = 0; bit < 64; ++bit) {
        EepromBitMirror[8 + 2 * bit] = uint8_t(value >> (63 - bit) & 1);
        EepromBitMirror[9 + 2 * bit] = 0;
    }
}

void DecodeCommand() {
    const uint64_t request = InputRegister();
    const bool read = request & 0x40;
    const uint32_t block = uint32_t(request & 0x3F);
    if (Eeprom.Trace) std::printf(" %s(%X) ", read ? "READ" : "WRITE", block);
    if (read) {
        StartRead(block);
    } else {
        Eeprom.WriteBits = EepromDataBitCount;
        Eeprom.Address = 8 * block;
    }
    SetInput(0);
}

}  // namespace

void FlashWrite(uint16_t offset, uint8_t value) {
    uint8_t* const backup = FlashMemory;
    const auto store = [&] { backup[offset] = value; };
    const uint8_t state = Flash.Command;
    Flash.Command = FlashIdle;
    switch (state) {
    case FlashIdle:
        if (offset == UnlockAddress1 && value == 0xAA) {
            Flash.Command = FlashGotAA;
        } else if (Flash.IdentifyMode && value == 0xF0) {
            LeaveIdentifyMode();
        } else {
            store();
        }
        break;
    case FlashGotAA:
        if (offset == UnlockAddress2 && value == 0x55) {
            Flash.Command = FlashUnlocked;
        } else {
            FlashTrace("FLASH: 0xAA 0x%02X?\n", value);
            ReplayUnlock(false);
            store();
        }
        break;
    case FlashUnlocked:
        if (offset != UnlockAddress1) {
            FlashTrace("FLASH: 0xAA 0x55 0x%02X?\n", value);
            ReplayUnlock(true);
            store();
            break;
        }
        switch (value) {
        case 0x80: Flash.Command = FlashEraseArmed; break;
        case 0x90: EnterIdentifyMode(); break;
        case 0xA0: Flash.Command = FlashProgram; break;
        case 0xF0: LeaveIdentifyMode(); break;
        default: FlashTrace("FLASH: Unknown command 0x%02X.\n", value); break;
        }
        break;
    case FlashEraseArmed:
        if (offset == UnlockAddress1 && value == 0xAA) {
            Flash.Command = FlashEraseGotAA;
        } else {
            FlashTrace("FLASH: 0xAA 0x55 0x80 0x%02X?\n", value);
            store();
        }
        break;
    case FlashEraseGotAA:
        if (offset == UnlockAddress2 && value == 0x55) {
            Flash.Command = FlashEraseUnlocked;
        } else {
            FlashTrace("FLASH: 0xAA 0x55 0x80 0xAA 0x%02X?\n", value);
            ReplayUnlock(false);
            store();
        }
        break;
    case FlashEraseUnlocked:
        if (value == 0x30) {
            // Sector erase: the 4 KB sector holding the address.
            const uint32_t sector = offset & 0xF000u;
            FlashTrace("FLASH: Erasing page 0x%04X-0x%04X.\n", sector, sector + 0xFFF);
            if (!Flash.IdentifyMode) std::memset(backup + sector, 0xFF, 0x1000);
        } else if (offset == UnlockAddress1 && value == 0x10) {
            if (!Flash.IdentifyMode) {
                FlashTrace("FLASH: Erasing entire ROM.\n");
                std::memset(backup, 0xFF, 0x10000);
            }
        } else if (offset == UnlockAddress1) {
            FlashTrace("FLASH: Unknown command 0x80 0x%02X.\n", value);
        } else {
            FlashTrace("FLASH: 0xAA 0x55 0x80 0xAA 0x55 0x%02X?.\n", value);
            ReplayUnlock(true);
            store();
        }
        break;
    case FlashProgram:
        // Programming can only clear bits; only an erase sets them again.
        if (!Flash.IdentifyMode) {
            const uint8_t old = backup[offset];
            FlashTrace("FLASH: Writing to 0x%04X: 0x%02X AND 0x%02X ==> 0x%02X.\n", offset, value, old,
                       unsigned(old & value));
            backup[offset] = uint8_t(old & value);
        }
        break;
    default:
        // Only a damaged snapshot gets here; the decoder starts over.
        store();
        break;
    }
}

void EepromWriteBit(uint8_t value) {
    const uint8_t bit = value & 1;
    if (Eeprom.Trace) std::printf("%c", bit ? '1' : '0');
    SetInput(InputRegister() << 1 | bit);
    if (Eeprom.WriteBits != 0) {
        if (--Eeprom.WriteBits == 0) FinishWrite();
        return;
    }
    if (Eeprom.CommandBits != 0) {
        if (--Eeprom.CommandBits == 0) DecodeCommand();
        return;
    }
    // Idle: a 1 starts a request. The 0 that ends each request is ignored.
    if (bit) Eeprom.CommandBits = EepromCommandBitCount;
}

uint16_t EepromReadBit() {
    if (Eeprom.Trace) std::printf("#");
    if (Eeprom.DummyBits != 0) {
        --Eeprom.DummyBits;
        return 0;
    }
    // Ones shift in behind the data: once it is out, every read answers 1,
    // which is also the "ready" a game polls for after a write.
    const uint64_t output = OutputRegister();
    SetOutput(output << 1 | 1);
    return uint16_t(output >> 63);
}

void PowerOnBackupMemory() {
    Flash = FlashState{};
    Eeprom = EepromState{};
}

void ResetFlash(uint8_t* backupRam, bool trace) {
    // The chip's cells never held the identifier: a reset in identification
    // mode shows the saved bytes again instead of losing them.
    FlashMemory = backupRam;
    if (Flash.IdentifyMode && FlashMemory) {
        FlashMemory[0] = uint8_t(Flash.SavedBytes);
        FlashMemory[1] = uint8_t(Flash.SavedBytes >> 8);
    }
    Flash = FlashState{};
    Flash.Identifier = FlashDefaultIdentifier;
    Flash.Trace = trace ? 1 : 0;
}

void ResetEeprom(uint8_t* bitMirror, bool trace) {
    EepromBitMirror = bitMirror;
    SetInput(0);
    SetOutput(~uint64_t(0));
    Eeprom.CommandBits = Eeprom.WriteBits = Eeprom.DummyBits = 0;
    Eeprom.Pad531 = 0;
    Eeprom.Address = 0;
    Eeprom.Trace = trace ? 1 : 0;
    std::memset(Eeprom.Pad537, 0, sizeof Eeprom.Pad537);
    Eeprom.PointerSlot = 0;
}
