// The battery file: every layout read and written back byte for byte (the
// clock's date too), erased chips, the switch that turns it off, the FLASH
// chip's identification mode, and the write after a quiet spell. Where each
// layout's bytes land (the old layouts too), and files of any other length
// and content, refused and kept, are the battery fuzz harness's; writes
// that fail are the save faults test's.

#include "game/battery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/game.h"
#include "machine/backup.h"
#include "machine/bus.h"
#include "machine/machine.h"
#include "machine/rtc.h"
#include "tests/support/test_machine.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class Battery : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("koru_battery_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        path = (dir / "game.sav").string();
        m.SaveFileName = path;
    }
    void TearDown() override {
        m.BatteryFileEnabled = true;
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    void PutFile(const Bytes& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    Bytes FileBytes() const {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    uint8_t BackupByte(uint32_t offset) const { return machine.Read8(0x0E000000 + offset); }
    // A game's store on the chip's 8-bit bus.
    void SetBackup(uint32_t offset, uint8_t value) { BusWrite8(m, 0x0E000000 + offset, value); }

    Bytes Pattern(size_t size, uint8_t seed) {
        Bytes bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 13 + (i >> 8));
        return bytes;
    }

    // A cartridge with this chip, fresh from the factory.
    void NewCartridge(SaveType type, uint8_t eepromWidth = 0) {
        PowerOnBackupMemory(m);
        SetSaveType(m, type, eepromWidth, 0);
    }
    Bytes Chip(uint32_t from, uint32_t size) {
        return Bytes(m.BackupMemory.begin() + from, m.BackupMemory.begin() + from + size);
    }
    Bytes EepromBytes(uint32_t size) { return Bytes(m.EepromMemory.begin(), m.EepromMemory.begin() + size); }
    Bytes Erased(size_t size) { return Bytes(size, 0xFF); }

    TestMachine machine;
    Machine& m = machine.m;
    fs::path dir;
    std::string path;
};

// Every size a file of each chip may have, read and written back: the
// bytes come out as they went in. The clock's trailer holds 2024-02-29 (a
// Thursday) 13:05:09, 24-hour mode, written when the host's clock read
// 1700000000; with the host's clock standing there, the clock reads the
// same date back.
TEST_F(Battery, EveryLayoutRoundTripsByteForByte) {
    const uint8_t trailer[16] = {0x24, 0x02, 0x29, 0x04, 0x13 | 0x80, 0x05, 0x09, 0x40,
                                 0x00, 0xF1, 0x53, 0x65, 0,           0,    0,    0};
    m.ClockHostTime = [] { return int64_t(1700000000); };
    const struct {
        SaveType type;
        uint8_t width;
        size_t size;
        bool clock;
    } cases[] = {
        {SaveType::Combined, 6, 65536, false},  {SaveType::Combined, 6, 66048, false},
        {SaveType::Sram, 0, 32768, false},      {SaveType::Flash64, 0, 65536, false},
        {SaveType::Flash128, 0, 131072, false}, {SaveType::Eeprom, 0, 512, false},
        {SaveType::Eeprom, 0, 8192, false},     {SaveType::Eeprom, 14, 8192, false},
        {SaveType::Flash128, 0, 131072, true},  {SaveType::Sram, 0, 32768, true},
        {SaveType::Combined, 6, 66048, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + (c.clock ? " with the clock" : "") + " on type " +
                     std::to_string(int(c.type)));
        NewCartridge(c.type, c.width);
        Bytes file = Pattern(c.size, uint8_t(c.size));
        if (c.clock) file.insert(file.end(), trailer, trailer + 16);
        PutFile(file);
        ASSERT_TRUE(LoadBatteryFile(m));
        EXPECT_EQ(m.RealTimeClock.Present, c.clock);
        fs::remove(path);
        ASSERT_TRUE(WriteBatteryFile(m));
        EXPECT_EQ(FileBytes(), file);
    }
}

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
    EXPECT_EQ(FileBytes(), Erased(65536));
}

TEST_F(Battery, NothingIsReadOrWrittenWhenTurnedOff) {
    m.BatteryFileEnabled = false;
    PutFile(Pattern(65536, 1));
    EXPECT_FALSE(LoadBatteryFile(m));
    EXPECT_EQ(BackupByte(1), 0xFF);
    SetBackup(1, 0x77);
    WriteBatteryFile(m);
    EXPECT_EQ(FileBytes(), Pattern(65536, 1));
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
