// The serial EEPROM. A request is a start bit (1), a read (1) or write (0)
// bit, the block address (6 bits on a 512-byte chip, 14 on an 8 KB one, of
// which the chip uses 10), for a write the 64 data bits, most significant
// first, and a stop bit (0). A read then answers four zero bits and the 64
// data bits; after that, and once a write has finished, every bit reads 1.

#include <cstdio>
#include <cstring>

#include "machine/backup.h"

EepromState Eeprom{};
uint8_t* EepromBitMirror = nullptr;

namespace {

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

// Until the width is known, requests are taken as a 512-byte chip's.
uint8_t RequestWidth() { return Backup.EepromWidth ? Backup.EepromWidth : EepromSmallWidth; }

// Requests leave the address on a block inside the chip; the bound keeps a
// damaged state from reaching past the data all the same.
bool BlockInRange() { return Eeprom.Address + 8 <= EepromSize(); }

void FinishWrite() {
    const uint64_t block = InputRegister();
    if (BlockInRange()) {
        for (uint32_t i = 0; i < 8; ++i) EepromMemory[Eeprom.Address + i] = uint8_t(block >> (8 * i));
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
    uint64_t value = ~uint64_t(0);
    if (BlockInRange()) {
        value = 0;
        for (uint32_t i = 0; i < 8; ++i) value |= uint64_t(EepromMemory[Eeprom.Address + i]) << (8 * i);
    }
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
    const uint8_t width = RequestWidth();
    const bool read = request >> width & 1;
    // An 8 KB chip has 1024 blocks and ignores the top four address bits.
    const uint32_t blocks = EepromSize() / 8;
    const uint32_t block = uint32_t(request & ((1u << width) - 1)) & (blocks ? blocks - 1 : 0);
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
    // Idle: a 1 starts a request (the read/write bit and the address
    // follow). The 0 that ends each request is ignored.
    if (bit) Eeprom.CommandBits = uint8_t(RequestWidth() + 1);
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

void EepromTransferStarts(uint32_t count) {
    if (Backup.Type != SaveType::Eeprom || Backup.EepromWidthKnown) return;
    uint8_t width = 0;
    if (count == 9 || count == 73) width = EepromSmallWidth;
    if (count == 17 || count == 81) width = EepromLargeWidth;
    if (!width) return;
    if (Eeprom.Trace) std::printf("EEPROM: %d-bit addresses.\n", int(width));
    Backup.EepromWidth = width;
    Backup.EepromWidthKnown = 1;
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
