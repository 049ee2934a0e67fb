// The battery file: erased chips, the FLASH chip's identification mode, and
// the write after a quiet spell. The switch that turns it off is the save
// cartridges' last run (--no-battery) in the cartridge test driver. Every
// layout read and written back byte for byte, where its bytes land (the old
// layouts too), and files of any other length and content, refused and
// kept, are the battery fuzz harness's; the clock's date kept in the file is
// the clock cartridge's (save_clock); writes that fail are the save faults
// test's.

#include "game/battery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "game/game.h"
#include "machine/backup.h"
#include "machine/bus.h"
#include "machine/machine.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_machine.h"

namespace {

namespace fs = std::filesystem;

class Battery : public ::testing::Test {
protected:
    void SetUp() override { m.SaveFileName = path; }

    Bytes FileBytes() const { return ReadBytes(path); }
    void PutFile(const Bytes& bytes) { WriteBytes(path, bytes); }
    uint8_t BackupByte(uint32_t offset) const { return machine.Read8(0x0E000000 + offset); }
    // A game's store on the chip's 8-bit bus.
    void SetBackup(uint32_t offset, uint8_t value) { BusWrite8(m, 0x0E000000 + offset, value); }

    // A cartridge with this chip, fresh from the factory.
    void NewCartridge(SaveType type, uint8_t eepromWidth = 0) {
        PowerOnBackupMemory(m);
        SetSaveType(m, type, eepromWidth, 0);
    }

    ScratchFolder scratch;
    const std::string path = scratch / "game.sav";
    TestMachine machine;
    Machine& m = machine.m;
};

// A chip that is erased and was erased when the game started leaves no file
// (a new cartridge makes no file of 0xFF bytes, and an old file stays);
// a save the game erased is written erased.
TEST_F(Battery, ErasedChipsAreWrittenOnlyOverASaveTheGameErased) {
    NewCartridge(SaveType::Flash64);
    EXPECT_FALSE(LoadBatteryFile(m));
    ASSERT_TRUE(WriteBatteryFile(m));
    EXPECT_FALSE(fs::exists(path));

    NewCartridge(SaveType::Flash64);
    PutFile(Pattern(65536, 5));
    ASSERT_TRUE(LoadBatteryFile(m));
    for (const auto& [offset, value] :
         {std::pair{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x80}, {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x10}})
        BusWrite8(m, 0x0E000000u + uint32_t(offset), uint8_t(value));
    ASSERT_TRUE(WriteBatteryFile(m));
    EXPECT_EQ(FileBytes(), Bytes(65536, 0xFF));
}

TEST_F(Battery, FlashInIdentificationModeSavesTheGameBytes) {
    SetBackup(0, 0x12);
    SetBackup(1, 0x34);
    BusWrite8(m, 0x0E005555, 0xAA);
    BusWrite8(m, 0x0E002AAA, 0x55);
    BusWrite8(m, 0x0E005555, 0x90);
    ASSERT_EQ(BackupByte(0), 0x32);
    ASSERT_TRUE(WriteBatteryFile(m));
    const Bytes file = FileBytes();
    ASSERT_EQ(file.size(), 65536u);
    EXPECT_EQ(file[0], 0x12);
    EXPECT_EQ(file[1], 0x34);
}

TEST_F(Battery, ChangedMemoryIsWrittenOnceItHasBeenQuietForSixtyFrames) {
    EXPECT_FALSE(LoadBatteryFile(m));  // no file yet: starts watching the empty memories
    for (int frame = 0; frame < 200; ++frame) BatteryFrameTick(m);
    EXPECT_FALSE(fs::exists(path)) << "nothing changed";

    // A game that keeps writing is not interrupted by file writes.
    for (int frame = 0; frame < 200; ++frame) {
        SetBackup(0x10, uint8_t(frame + 1));
        BatteryFrameTick(m);
    }
    EXPECT_FALSE(fs::exists(path));

    for (int frame = 0; frame < 59; ++frame) BatteryFrameTick(m);
    EXPECT_FALSE(fs::exists(path)) << "not yet quiet for 60 frames";
    for (int frame = 0; frame < 10; ++frame) BatteryFrameTick(m);
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(FileBytes()[0x10], 200);

    // An EEPROM save is noticed too; an unchanged one is not written again.
    fs::remove(path);
    for (int frame = 0; frame < 200; ++frame) BatteryFrameTick(m);
    EXPECT_FALSE(fs::exists(path));
    m.EepromMemory[8] = 0x5A;
    ++m.CartridgeStores;  // as the game's stores to the chip count
    for (int frame = 0; frame < 70; ++frame) BatteryFrameTick(m);
    ASSERT_EQ(FileBytes().size(), 66048u);
    EXPECT_EQ(FileBytes()[65536 + 8], 0x5A);
}

}  // namespace
