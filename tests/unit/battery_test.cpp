// The battery file: the switch that turns it off, the FLASH chip's
// identification mode, the safe replacement of an old file, and the write
// after a quiet spell. Which blocks a file holds and what loading each size
// fills are left to the battery fuzz harness.

#include "game/battery.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Each failed write below must leave the old file byte for byte, its
// permissions, and no temporary file: a file size limit (the new file holds
// both blocks, 66048 bytes, so the limits fall before, inside and between
// them), a read-only folder, which refuses the temporary file, and no free
// file descriptor (the same refusal for root, who ignores permissions).
TEST_F(Battery, AFailedWriteKeepsTheOldFile) {
    const Bytes old = Pattern(512, 9);
    PutFile(old);
    ::chmod(path.c_str(), 0640);
    SetBackup(0x100, 0x42);
    EepromData[3] = 0x17;
    const auto writtenUnder = [](int resource, rlim_t limit) {
        struct rlimit saved {};
        ::getrlimit(resource, &saved);
        struct rlimit small = saved;
        small.rlim_cur = limit;
        EXPECT_EQ(::setrlimit(resource, &small), 0);
        const bool written = WriteBatteryFile();
        ::setrlimit(resource, &saved);
        return written;
    };
    const auto oldFileKept = [&](const char* why) {
        EXPECT_EQ(FileBytes(), old) << why;
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"game.sav"}) << why;
    };

    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    for (rlim_t limit : {rlim_t(0), rlim_t(4096), rlim_t(65536), rlim_t(66047)}) {
        EXPECT_FALSE(writtenUnder(RLIMIT_FSIZE, limit)) << "limit " << limit;
        oldFileKept("file size limit");
    }
    ::signal(SIGXFSZ, oldHandler);
    ::chmod(dir.c_str(), 0555);
    if (::geteuid() != 0) {
        EXPECT_FALSE(WriteBatteryFile());
        oldFileKept("read-only folder");
    }
    EXPECT_FALSE(writtenUnder(RLIMIT_NOFILE, 0));
    ::chmod(dir.c_str(), 0755);
    oldFileKept("no descriptor left");

    ASSERT_TRUE(WriteBatteryFile());
    EXPECT_EQ(FileBytes().size(), 66048u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"game.sav"});
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "the replaced file keeps its permissions";
}

TEST_F(Battery, ChangedMemoryIsWrittenOnceItHasBeenQuietForSixtyFrames) {
    EXPECT_FALSE(LoadBatteryFile());  // no file yet: starts watching the empty memories
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
