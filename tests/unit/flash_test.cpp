// The FLASH command decoder behind 0x0E000000: erase, program, the chip's
// identification mode, broken command sequences given back as stores on
// the combined chips and ignored by a real FLASH chip. (Bank switching is
// the save_flash128 cartridge's and the public flash128 test's.)

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "machine/backup.h"
#include "machine/bus.h"
#include "machine/io_registers.h"
#include "tests/support/test_machine.h"

namespace {

using Store = std::pair<uint16_t, uint8_t>;  // offset, byte

class FlashChip : public ::testing::Test {
protected:
    TestMachine machine;

    void Send(std::initializer_list<Store> stores) {
        for (const auto& [offset, value] : stores) BusWrite8(0x0E000000u + offset, value);
    }
    uint8_t At(uint16_t offset) const { return machine.Read8(0x0E000000u + offset); }
    uint16_t FirstTwo() const { return uint16_t(At(0) | At(1) << 8); }  // the identifier while identifying
    void Fill(uint8_t value) {
        for (uint32_t i = 0; i < 0x10000; ++i) machine.Write8(0x0E000000u + i, value);
    }
    static constexpr Store Unlock1{0x5555, 0xAA};
    static constexpr Store Unlock2{0x2AAA, 0x55};
};

// The save_flash cartridge erases a sector and programs a byte twice; here
// the sector's bounds from an unaligned address, the chip erase, and one
// byte per program command.
TEST_F(FlashChip, EraseAndProgram) {
    Fill(0x11);
    Send({Unlock1, Unlock2, {0x5555, 0x80}, Unlock1, Unlock2, {0x3123, 0x30}});
    // The sector's bounds, then the command bytes, which are not stored.
    EXPECT_EQ((std::array{At(0x2FFF), At(0x3000), At(0x3FFF), At(0x4000), At(0x5555), At(0x2AAA)}),
              (std::array<uint8_t, 6>{0x11, 0xFF, 0xFF, 0x11, 0x11, 0x11}));

    Send({Unlock1, Unlock2, {0x5555, 0xA0}, {0x3010, 0x0F}});
    EXPECT_EQ(At(0x3010), 0x0F);
    Send({{0x3011, 0x42}});
    EXPECT_EQ(At(0x3011), 0x42) << "one command programs one byte";

    Send({Unlock1, Unlock2, {0x5555, 0x80}, Unlock1, Unlock2, {0x5555, 0x10}});
    for (uint32_t i = 0; i < 0x10000; ++i) ASSERT_EQ(At(uint16_t(i)), 0xFF) << std::hex << i;
    Send({{0x0040, 0x5A}});
    EXPECT_EQ(At(0x0040), 0x5A) << "idle again after the chip erase";
}

TEST_F(FlashChip, IdentificationShowsTheChipAndGivesTheBytesBack) {
    machine.Write8(0x0E000000, 0xC4);
    machine.Write8(0x0E000001, 0x7E);
    Send({Unlock1, Unlock2, {0x5555, 0x90}});
    EXPECT_EQ(FirstTwo(), 0x1B32) << "maker 0x32, device 0x1B";
    // Erase and program are ignored while the chip identifies itself.
    machine.Write8(0x0E000100, 0x66);
    Send({Unlock1, Unlock2, {0x5555, 0x80}, Unlock1, Unlock2, {0x0123, 0x30}});
    Send({Unlock1, Unlock2, {0x5555, 0xA0}, {0x0100, 0x00}});
    EXPECT_EQ(At(0x0100), 0x66);
    // A second identify command must not save the identifier as the data.
    Send({Unlock1, Unlock2, {0x5555, 0x90}});
    EXPECT_EQ(At(0), 0x32);
    Send({{0x1234, 0xF0}});  // a bare 0xF0 anywhere leaves the mode
    EXPECT_EQ(FirstTwo(), 0x7EC4);
    EXPECT_EQ(At(0x1234), 0xFF) << "the exit byte is not stored";

    // The long exit command works as well; outside the mode it changes nothing.
    Send({Unlock1, Unlock2, {0x5555, 0x90}, Unlock1, Unlock2, {0x5555, 0xF0}});
    EXPECT_EQ(FirstTwo(), 0x7EC4);
    Send({Unlock1, Unlock2, {0x5555, 0xF0}});
    EXPECT_EQ(FirstTwo(), 0x7EC4);

    // A reset leaves the mode without losing the bytes, and the chip still identifies itself.
    Send({Unlock1, Unlock2, {0x5555, 0x90}});
    ResetHardware();
    EXPECT_EQ(FirstTwo(), 0x7EC4);
    Send({Unlock1, Unlock2, {0x5555, 0x90}});
    EXPECT_EQ(FirstTwo(), 0x1B32) << "the identifier after a reset";
}

TEST_F(FlashChip, BrokenSequencesAreReplayedAsStores) {
    const struct {
        const char* name;
        std::vector<Store> stores;
        std::vector<Store> expected;  // bytes that must hold these values afterwards
    } cases[] = {
        {"AA then a plain store", {Unlock1, {0x0100, 0x12}}, {{0x5555, 0xAA}, {0x0100, 0x12}}},
        {"AA 55 80 then a store: the swallowed bytes are not replayed",
         {Unlock1, Unlock2, {0x5555, 0x80}, {0x0010, 0x66}},
         {{0x5555, 0x00}, {0x2AAA, 0x00}, {0x0010, 0x66}}},
        {"AA 55 80 AA then a store",
         {Unlock1, Unlock2, {0x5555, 0x80}, Unlock1, {0x0020, 0x44}},
         {{0x5555, 0xAA}, {0x2AAA, 0x00}, {0x0020, 0x44}}},
        {"AA 55 80 AA 55 then a store elsewhere",
         {Unlock1, Unlock2, {0x5555, 0x80}, Unlock1, Unlock2, {0x0030, 0x21}},
         {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x0030, 0x21}}},
        {"unknown command byte is swallowed",
         {Unlock1, Unlock2, {0x5555, 0x33}, {0x0040, 0x09}},
         {{0x5555, 0x00}, {0x0040, 0x09}}},
    };
    for (const auto& c : cases) {
        Fill(0x00);
        ResetHardware();
        for (const auto& [offset, value] : c.stores) BusWrite8(0x0E000000u + offset, value);
        for (const auto& [offset, value] : c.expected) EXPECT_EQ(At(offset), value) << c.name << " at " << offset;
    }
}

// A FLASH chip changes only by command: a plain store, or one after a
// broken sequence, leaves it as it was. A chip erase of a 128 KB chip
// erases both banks.
TEST_F(FlashChip, AFlashChipTakesNoPlainStores) {
    SetSaveType(SaveType::Flash128, 0, 0);
    Send({{0x0100, 0x12}, Unlock1, {0x0101, 0x34}, Unlock1, Unlock2, {0x0102, 0x56}});
    for (uint16_t offset : {0x0100, 0x0101, 0x0102, 0x5555, 0x2AAA}) EXPECT_EQ(At(offset), 0xFF) << offset;
    Send({Unlock1, Unlock2, {0x5555, 0xA0}, {0x0100, 0x12}});
    EXPECT_EQ(At(0x0100), 0x12);
    BackupMemory[0x10000 + 0x0100] = 0x00;
    Send({Unlock1, Unlock2, {0x5555, 0x80}, Unlock1, Unlock2, {0x5555, 0x10}});
    EXPECT_EQ(At(0x0100), 0xFF);
    EXPECT_EQ(BackupMemory[0x10100], 0xFF) << "the other bank";
}

}  // namespace
