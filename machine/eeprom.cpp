// The serial EEPROM. A request is a start bit (1), a read (1) or write (0)
// bit, the block address (6 bits on a 512-byte chip, 14 on an 8 KB one, of
// which the chip uses 10), for a write the 64 data bits, most significant
// first, and a stop bit (0). A read then answers four zero bits and the 64
// data bits; after that, and once a write has finished, every bit reads 1.

#include <cstdio>
#include <cstring>

#include "machine/backup.h"
#include "machine/machine.h"

namespace {

uint64_t Join(uint32_t low, uint32_t high) { return uint64_t(high) << 32 | low; }

uint64_t InputRegister(Machine& m) { return Join(m.Eeprom.InputLow, m.Eeprom.InputHigh); }
uint64_t OutputRegister(Machine& m) { return Join(m.Eeprom.OutputLow, m.Eeprom.OutputHigh); }

void SetInput(Machine& m, uint64_t value) {
    m.Eeprom.InputLow = uint32_t(value);
    m.Eeprom.InputHigh = uint32_t(value >> 32);
}
void SetOutput(Machine& m, uint64_t value) {
    m.Eeprom.OutputLow = uint32_t(value);
    m.Eeprom.OutputHigh = uint32_t(value >> 32);
}

// Until the width is known, requests are taken as a 512-byte chip's.
uint8_t RequestWidth(Machine& m) { return m.Backup.EepromWidth ? m.Backup.EepromWidth : EepromSmallWidth; }

// Requests leave the address on a block inside the chip; the bound keeps a
// damaged state from reaching past the data all the same.
bool BlockInRange(Machine& m) { return m.Eeprom.Address + 8 <= EepromSize(m); }

void FinishWrite(Machine& m) {
    const uint64_t block = InputRegister(m);
    if (BlockInRange(m)) {
        for (uint32_t i = 0; i < 8; ++i) m.EepromMemory[m.Eeprom.Address + i] = uint8_t(block >> (8 * i));
    }
    m.Eeprom.Address += 8;
    if (m.Eeprom.Trace) std::printf(" IN=%08X%08X ", m.Eeprom.InputHigh, m.Eeprom.InputLow);
    // Every read now answers 1: the write has finished.
    SetOutput(m, ~uint64_t(0));
    SetInput(m, 0);
}

void StartRead(Machine& m, uint32_t block) {
    m.Eeprom.DummyBits = EepromDummyBitCount;
    m.Eeprom.Address = 8 * block;
    uint64_t value = ~uint64_t(0);
    if (BlockInRange(m)) {
        value = 0;
        for (uint32_t i = 0; i < 8; ++i) value |= uint64_t(m.EepromMemory[m.Eeprom.Address + i]) << (8 * i);
    }
    SetOutput(m, value);
    m.Eeprom.Address += 8;
    if (m.Eeprom.Trace) std::printf("OUT=%08X%08X ", m.Eeprom.OutputHigh, m.Eeprom.OutputLow);
}

void DecodeCommand(Machine& m) {
    const uint64_t request = InputRegister(m);
    const uint8_t width = RequestWidth(m);
    const bool read = request >> width & 1;
    // An 8 KB chip has 1024 blocks and ignores the top four address bits.
    const uint32_t blocks = EepromSize(m) / 8;
    const uint32_t block = uint32_t(request & ((1u << width) - 1)) & (blocks ? blocks - 1 : 0);
    if (m.Eeprom.Trace) std::printf(" %s(%X) ", read ? "READ" : "WRITE", block);
    if (read) {
        StartRead(m, block);
    } else {
        m.Eeprom.WriteBits = EepromDataBitCount;
        m.Eeprom.Address = 8 * block;
    }
    SetInput(m, 0);
}

}  // namespace

void EepromWriteBit(Machine& m, uint8_t value) {
    const uint8_t bit = value & 1;
    if (m.Eeprom.Trace) std::printf("%c", bit ? '1' : '0');
    SetInput(m, InputRegister(m) << 1 | bit);
    if (m.Eeprom.WriteBits != 0) {
        if (--m.Eeprom.WriteBits == 0) FinishWrite(m);
        return;
    }
    if (m.Eeprom.CommandBits != 0) {
        if (--m.Eeprom.CommandBits == 0) DecodeCommand(m);
        return;
    }
    // Idle: a 1 starts a request (the read/write bit and the address
    // follow). The 0 that ends each request is ignored.
    if (bit) m.Eeprom.CommandBits = uint8_t(RequestWidth(m) + 1);
}

uint16_t EepromReadBit(Machine& m) {
    if (m.Eeprom.Trace) std::printf("#");
    if (m.Eeprom.DummyBits != 0) {
        --m.Eeprom.DummyBits;
        return 0;
    }
    // Ones shift in behind the data: once it is out, every read answers 1,
    // which is also the "ready" a game polls for after a write.
    const uint64_t output = OutputRegister(m);
    SetOutput(m, output << 1 | 1);
    return uint16_t(output >> 63);
}

void EepromTransferStarts(Machine& m, uint32_t count) {
    if (m.Backup.Type != SaveType::Eeprom || m.Backup.EepromWidthKnown) return;
    uint8_t width = 0;
    if (count == 9 || count == 73) width = EepromSmallWidth;
    if (count == 17 || count == 81) width = EepromLargeWidth;
    if (!width) return;
    if (m.Eeprom.Trace) std::printf("EEPROM: %d-bit addresses.\n", int(width));
    m.Backup.EepromWidth = width;
    m.Backup.EepromWidthKnown = 1;
}

void ResetEeprom(Machine& m, bool trace) {
    SetInput(m, 0);
    SetOutput(m, ~uint64_t(0));
    m.Eeprom.CommandBits = m.Eeprom.WriteBits = m.Eeprom.DummyBits = 0;
    m.Eeprom.Pad531 = 0;
    m.Eeprom.Address = 0;
    m.Eeprom.Trace = trace ? 1 : 0;
    std::memset(m.Eeprom.Pad537, 0, sizeof m.Eeprom.Pad537);
    m.Eeprom.PointerSlot = 0;
}
