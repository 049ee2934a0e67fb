// The battery file: which blocks it holds, what loading each size fills,
// the safe replacement of an old file, and the write after a quiet spell.

#include "game/battery.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/game.h"
#include "machine/backup.h"
#include "machine/bus.h"
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
        SaveFileName = ::strdup(path.c_str());
    }
    void TearDown() override {
        BatteryFileEnabled = true;
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
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
        return names;
    }
    uint8_t Backup(uint32_t offset) const { return machine.Read8(0x0E000000 + offset); }
    void SetBackup(uint32_t offset, uint8_t value) { machine.Write8(0x0E000000 + offset, value); }

    static Bytes Pattern(size_t size, uint8_t seed) {
        Bytes bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 13 + (i >> 8));
        return bytes;
    }

    TestMachine machine;
    fs::path dir;
    std::string path;
};

TEST_F(Battery, FileHoldsOnlyTheBlocksWithData) {
    SetBackup(0x1234, 0x56);
    ASSERT_TRUE(WriteBatteryFile());
    Bytes file = FileBytes();
    ASSERT_EQ(file.size(), 65536u) << "backup RAM alone";
    EXPECT_EQ(file[0x1234], 0x56);

    SetBackup(0x1234, 0);
    EepromData[511] = 0x9A;
    ASSERT_TRUE(WriteBatteryFile());
    file = FileBytes();
    ASSERT_EQ(file.size(), 512u) << "EEPROM alone";
    EXPECT_EQ(file[511], 0x9A);

    SetBackup(0xFFFF, 0x01);
    ASSERT_TRUE(WriteBatteryFile());
    file = FileBytes();
    ASSERT_EQ(file.size(), 66048u) << "both, backup RAM first";
    EXPECT_EQ(file[0xFFFF], 0x01);
    EXPECT_EQ(file[65536 + 511], 0x9A);

    // Nothing saved at all: the old file stays as it was.
    SetBackup(0xFFFF, 0);
    EepromData[511] = 0;
    EXPECT_TRUE(WriteBatteryFile());
    EXPECT_EQ(FileBytes(), file);
}

TEST_F(Battery, EachFileSizeFillsItsRegions) {
    const Bytes ram = Pattern(65536, 3);
    const Bytes eeprom = Pattern(512, 101);
    PutFile(ram);
    EXPECT_TRUE(LoadBatteryFile());
    EXPECT_EQ(Backup(0xFFFF), ram[0xFFFF]);
    EXPECT_EQ(EepromData[0], 0) << "a 65536-byte file leaves the EEPROM alone";

    Bytes both = ram;
    both.insert(both.end(), eeprom.begin(), eeprom.end());
    PutFile(both);
    EXPECT_TRUE(LoadBatteryFile());
    EXPECT_EQ(EepromData[0], eeprom[0]);
    EXPECT_EQ(EepromData[511], eeprom[511]);

    // A 512-byte file is read as the start of the backup RAM first, then,
    // the backup block being short, again as the EEPROM data...
    for (uint32_t i = 0; i < 0x10000; ++i) SetBackup(i, 0);
    std::memset(EepromData, 0, 512);
    PutFile(eeprom);
    EXPECT_TRUE(LoadBatteryFile());
    EXPECT_EQ(EepromData[300], eeprom[300]);
    EXPECT_EQ(Backup(511), eeprom[511]);
    EXPECT_EQ(Backup(512), 0);
    // ...so the next game end writes both blocks, and from then on it loads exactly.
    ASSERT_TRUE(WriteBatteryFile());
    EXPECT_EQ(FileBytes().size(), 66048u);

    PutFile(Pattern(100, 7));
    EXPECT_FALSE(LoadBatteryFile()) << "shorter than either block";
    fs::remove(path);
    EXPECT_FALSE(LoadBatteryFile());
}

TEST_F(Battery, NothingIsReadOrWrittenWhenTurnedOff) {
    BatteryFileEnabled = false;
    PutFile(Pattern(65536, 1));
    EXPECT_FALSE(LoadBatteryFile());
    EXPECT_EQ(Backup(1), 0);
    SetBackup(1, 0x77);
    WriteBatteryFile();
    EXPECT_EQ(FileBytes(), Pattern(65536, 1));
}

TEST_F(Battery, FlashInIdentificationModeSavesTheGameBytes) {
    SetBackup(0, 0x12);
    SetBackup(1, 0x34);
    BusWrite8(0x0E005555, 0xAA);
    BusWrite8(0x0E002AAA, 0x55);
    BusWrite8(0x0E005555, 0x90);
    ASSERT_EQ(Backup(0), 0x32);
    ASSERT_TRUE(WriteBatteryFile());
    const Bytes file = FileBytes();
    ASSERT_EQ(file.size(), 65536u);
    EXPECT_EQ(file[0], 0x12);
    EXPECT_EQ(file[1], 0x34);
}

TEST_F(Battery, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
    const Bytes old = Pattern(512, 9);
    PutFile(old);
    ::chmod(path.c_str(), 0640);
    SetBackup(0x100, 0x42);

    // A file size limit makes the write fail part-way, as a full disk would.
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteBatteryFile();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(FileBytes(), old);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"game.sav"});

    ASSERT_TRUE(WriteBatteryFile());
    EXPECT_EQ(FileBytes().size(), 65536u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"game.sav"});
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "the replaced file keeps its permissions";
}

TEST_F(Battery, ChangedMemoryIsWrittenOnceItHasBeenQuietForSixtyFrames) {
    LoadBatteryFile();  // no file yet: starts watching the empty memories
    for (int frame = 0; frame < 200; ++frame) BatteryFrameTick();
    EXPECT_FALSE(fs::exists(path)) << "nothing changed";

    // A game that keeps writing is not interrupted by file writes.
    for (int frame = 0; frame < 200; ++frame) {
        SetBackup(0x10, uint8_t(frame + 1));
        BatteryFrameTick();
    }
    EXPECT_FALSE(fs::exists(path));

    for (int frame = 0; frame < 59; ++frame) BatteryFrameTick();
    EXPECT_FALSE(fs::exists(path)) << "not yet quiet for 60 frames";
    for (int frame = 0; frame < 10; ++frame) BatteryFrameTick();
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(FileBytes()[0x10], 200);

    // An EEPROM save is noticed too; an unchanged one is not written again.
    fs::remove(path);
    for (int frame = 0; frame < 200; ++frame) BatteryFrameTick();
    EXPECT_FALSE(fs::exists(path));
    EepromData[8] = 0x5A;
    for (int frame = 0; frame < 70; ++frame) BatteryFrameTick();
    ASSERT_EQ(FileBytes().size(), 66048u);
    EXPECT_EQ(FileBytes()[65536 + 8], 0x5A);
}

}  // namespace
