// The serial EEPROM: request bit streams through 16-bit bus accesses, the
// read stream with its four dummy bits, and the copy of that stream the
// CPU's own loads find in DummyRam. Requests carried by DMA 3 are left to
// the save_eeprom cartridge.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "machine/backup.h"
#include "machine/bus.h"
#include "machine/io_registers.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t EepromPort = 0x0D000000;
constexpr uint64_t Pattern = 0x0123456789ABCDEFull;

// Request streams as a game sends them, one bit per halfword.
std::vector<uint16_t> ReadRequest(uint32_t block) {
    std::vector<uint16_t> bits{1, 1};
    for (int bit = 5; bit >= 0; --bit) bits.push_back(uint16_t(block >> bit & 1));
    bits.push_back(0);
    return bits;
}

std::vector<uint16_t> WriteRequest(uint32_t block, uint64_t value) {
    std::vector<uint16_t> bits{1, 0};
    for (int bit = 5; bit >= 0; --bit) bits.push_back(uint16_t(block >> bit & 1));
    for (int bit = 63; bit >= 0; --bit) bits.push_back(uint16_t(value >> bit & 1));
    bits.push_back(0);
    return bits;
}

class EepromBus : public ::testing::Test {
protected:
    TestMachine machine;

    void Send(const std::vector<uint16_t>& bits) {
        for (uint16_t bit : bits) BusWrite16(EepromPort, bit);
    }
};

// The stream itself, through BusRead16, is the save_eeprom cartridge's;
// here the bytes' order in the data and the copy the CPU's own loads find.
TEST_F(EepromBus, WrittenBlockLandsLittleEndianAndCpuLoadsFindTheReadStream) {
    Send(WriteRequest(3, Pattern));
    const uint8_t stored[8] = {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(EepromMemory[24 + i], stored[i]) << "byte " << 24 + i;
    for (int i : {16, 23, 32}) EXPECT_EQ(EepromMemory[i], 0xFF) << "neighbour byte " << i;
    EXPECT_EQ(machine.Read16(EepromPort), 1) << "a direct load sees the write finished";

    Send(ReadRequest(3));
    for (uint32_t k = 0; k < 4; ++k) EXPECT_EQ(machine.Read16(EepromPort + 2 * k), 0) << k;
    for (uint32_t k = 4; k < 68; ++k)
        EXPECT_EQ(machine.Read16(EepromPort + 2 * k), uint16_t(Pattern >> (63 - (k - 4)) & 1)) << k;
    // A real load instruction: ldrh r0, [r1], r1 at data bit 7 of 0x01...: 1.
    machine.cpu.R[0] = 0;
    machine.cpu.R[1] = EepromPort + 2 * 11;
    machine.LoadArm(0x02000000, {0xE1D100B0});
    machine.Step();
    EXPECT_EQ(machine.cpu.R[0], 1u);
    for (int i = 0; i < 68; ++i) BusRead16(EepromPort);
    EXPECT_EQ(BusRead16(EepromPort), 1) << "the 69th read";
    EXPECT_EQ(BusRead16(0x09FFFFFE), 1) << "every EEPROM window answers";
}

TEST_F(EepromBus, IdleZerosAreIgnoredAndResetKeepsTheData) {
    Send({0, 0, 0});
    Send(WriteRequest(0, 0x8000000000000001ull));
    EXPECT_EQ(EepromMemory[0], 0x01);
    EXPECT_EQ(EepromMemory[7], 0x80);
    Send({1, 1, 0, 0});  // half a read request
    ResetHardware();
    EXPECT_EQ(EepromMemory[7], 0x80) << "the data survive a reset";
    EXPECT_EQ(BusRead16(EepromPort), 1) << "the output register is all ones after a reset";
    Send(ReadRequest(0));  // the half request is gone: this one reads block 0
    for (int i = 0; i < 4; ++i) BusRead16(EepromPort);
    EXPECT_EQ(BusRead16(EepromPort), 1) << "bit 63 first";
    EXPECT_EQ(BusRead16(EepromPort), 0);
}

}  // namespace
