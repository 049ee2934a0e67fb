// The battery file: which blocks it holds, what loading each size fills,
// the safe replacement of an old file, and the write after a quiet spell.

#include "game/battery.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
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

// Each failed write below must leave the old file byte for byte, its
// permissions, and no temporary file. The new file holds both blocks
// (66048 bytes), so the limits fall before, inside and between them.
TEST_F(Battery, WriteCutShortByAFileSizeLimitKeepsTheOldFile) {
    const Bytes old = Pattern(512, 9);
    PutFile(old);
    ::chmod(path.c_str(), 0640);
    SetBackup(0x100, 0x42);
    EepromData[3] = 0x17;

    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    for (rlim_t limit : {rlim_t(0), rlim_t(1), rlim_t(4096), rlim_t(65535), rlim_t(65536), rlim_t(66047)}) {
        struct rlimit small = saved;
        small.rlim_cur = limit;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = WriteBatteryFile();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_FALSE(written) << "limit " << limit;
        EXPECT_EQ(FileBytes(), old) << "limit " << limit;
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"game.sav"}) << "limit " << limit;
    }
    ::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(WriteBatteryFile());
    EXPECT_EQ(FileBytes().size(), 66048u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"game.sav"});
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "the replaced file keeps its permissions";
}

// A real full disk: a 64 KB tmpfs holding the old file has no room for the
// new one. Mounting needs root (and a system that allows it); elsewhere the
// file-size limit above stands in for it.
TEST_F(Battery, WriteOntoAFullDiskKeepsTheOldFile) {
    const fs::path mountPoint = dir / "small-disk";
    fs::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    const std::string onDisk = (mountPoint / "game.sav").string();
    const Bytes old = Pattern(512, 21);
    {
        std::ofstream out(onDisk, std::ios::binary);
        out.write(reinterpret_cast<const char*>(old.data()), std::streamsize(old.size()));
    }
    std::free(SaveFileName);
    SaveFileName = ::strdup(onDisk.c_str());
    SetBackup(0x8000, 0x99);

    const bool written = WriteBatteryFile();
    std::ifstream in(onDisk, std::ios::binary);
    const Bytes after{std::istreambuf_iterator<char>(in), {}};
    const auto entries = std::distance(fs::directory_iterator(mountPoint), fs::directory_iterator());
    ::umount(mountPoint.c_str());
    EXPECT_FALSE(written);
    EXPECT_EQ(after, old);
    EXPECT_EQ(entries, 1) << "no temporary file";
}

// A folder the program may not write to. Root writes anyway, so the test
// gives up root's right to override file permissions while it writes.
TEST_F(Battery, WriteIntoAReadOnlyFolderKeepsTheOldFile) {
    const Bytes old = Pattern(65536, 5);
    PutFile(old);
    SetBackup(0x20, 0x33);
    ::chmod(dir.c_str(), 0555);

    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::syscall(SYS_capget, &header, caps), 0);
        __user_cap_data_struct reduced[2] = {caps[0], caps[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        ASSERT_EQ(::syscall(SYS_capset, &header, reduced), 0);
    }
    const bool written = WriteBatteryFile();
    if (root) ::syscall(SYS_capset, &header, caps);
    ::chmod(dir.c_str(), 0755);

    EXPECT_FALSE(written);
    EXPECT_EQ(FileBytes(), old);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"game.sav"});
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
