// Saving when things go wrong: a writer killed in the middle, a full disk,
// a read-only folder or medium, long names, links, special files in place
// of a save or a snapshot, and two KORUs on one save. In every case the old
// file stays whole, nothing is left behind, nothing hangs, and the player
// hears of the failure once.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "game/battery.h"
#include "game/battery_file.h"
#include "game/game.h"
#include "game/save_place.h"
#include "game/snapshot.h"
#include "machine/backup.h"
#include "machine/host.h"
#include "machine/machine.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_machine.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Told;

class SaveFaults : public ::testing::Test {
protected:
    void SetUp() override {
        path = (dir / "game.sav").string();
        m.SaveFileName = path;
        Told.clear();
        m.Host.ReportProblem = [](void*, const char* message) { Told.push_back(message); };
        // A battery file of the last game run's memories: the test's own data
        // differ from every old file below.
        machine.Write8(0x0E000100, 0x42);
        m.EepromMemory[3] = 0x17;
    }
    void TearDown() override { ReleaseBatteryFile(m); }

    std::vector<std::string> Entries(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Runs body in a child process (so that mounts, a lower user or a
    // signal stay there) and returns what it found wrong, "" for nothing.
    std::string InChild(const std::function<std::string()>& body) {
        int pipe[2];
        if (::pipe(pipe) != 0) return "no pipe";
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipe[0]);
            const std::string found = body();
            [[maybe_unused]] ssize_t written = ::write(pipe[1], found.data(), found.size());
            ::_exit(0);
        }
        ::close(pipe[1]);
        std::string found;
        char chunk[256];
        for (ssize_t count; (count = ::read(pipe[0], chunk, sizeof chunk)) > 0;) found.append(chunk, size_t(count));
        ::close(pipe[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status)) return "the child died of signal " + std::to_string(WTERMSIG(status));
        return found;
    }

    // The same as a user without root's right to write into any folder.
    std::string AsNobody(const std::function<std::string()>& body) {
        return InChild([&] {
            if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                return std::string("cannot become nobody");
            return body();
        });
    }

    ScratchFolder scratch;
    const fs::path& dir = scratch.dir;
    TestMachine machine;
    Machine& m = machine.m;
    std::string path;
};

// A tmpfs of `size` over the test folder, in a mount namespace of this
// process's own, so that nothing outlives the child. False where the test
// may not mount (not root, or a container without the right).
bool MountSmallDisk(const fs::path& folder, const char* size) {
    if (::unshare(CLONE_NEWNS) != 0) return false;
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    return ::mount("tmpfs", folder.c_str(), "tmpfs", 0, size) == 0;
}

// The game's write after a failure must say it once, however often the
// game retries, and keep the old file and nothing else in the folder.
std::string FailsQuietlyAfterTheFirstWord(Machine& m, const std::string& path, const Bytes& old, int error) {
    for (int attempt = 0; attempt < 3; ++attempt)
        if (WriteBatteryFile(m)) return "the write succeeded";
    std::string found;
    std::ifstream in(path, std::ios::binary);
    if (Bytes(std::istreambuf_iterator<char>(in), {}) != old) found += " the old file changed;";
    const fs::path folder = fs::path(path).parent_path();
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path() != path) found += " " + entry.path().filename().string() + " was left;";
    if (Told.size() != 1) found += " said " + std::to_string(Told.size()) + " times;";
    if (!Told.empty() && Told[0].find(std::strerror(error)) == std::string::npos) found += " said: " + Told[0];
    if (!BatteryWriteFailed(m)) found += " not counted as failed;";
    return found;
}

TEST_F(SaveFaults, TemporariesOfAKilledWriterGoAtTheNextStart) {
    const Bytes old = Pattern(512, 5);
    WriteBytes(path, old);
    // Files a player may keep beside the save, named much like temporaries.
    for (const char* name : {"game.sav.backup", "game.sav.a1B2c3", ".game.sav.koru-1234567"})
        WriteBytes((dir / name).string(), {1, 2, 3});

    // Two writers killed in the middle of their writes: the file size limit
    // with its signal left at the default stops each once 4 KB are written.
    for (int writer = 0; writer < 2; ++writer) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_DFL);
            const rlimit small{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &small);
            WriteBatteryFile(m);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "the writer was not killed";
    }
    std::vector<std::string> temporaries;
    for (const std::string& name : Entries(dir))
        if (name.find(".koru-") != std::string::npos && name != ".game.sav.koru-1234567") temporaries.push_back(name);
    ASSERT_EQ(temporaries.size(), 2u) << "each killed writer leaves its temporary file";
    EXPECT_EQ(ReadBytes(path), old);

    // One of them is held by a writer still at work (its lock): it stays.
    const int held = ::open((dir / temporaries[0]).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    LoadBatteryFile(m);
    const std::vector<std::string> others = {".game.sav.koru-1234567", "game.sav", "game.sav.a1B2c3",
                                             "game.sav.backup"};
    std::vector<std::string> expected = others;
    expected.push_back(temporaries[0]);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(dir), expected);
    ::close(held);
    LoadBatteryFile(m);
    EXPECT_EQ(Entries(dir), others);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_TRUE(Told.empty());
}

TEST_F(SaveFaults, FullDiskReadOnlyFolderAndMediumKeepTheOldFileAndSayItOnce) {
    const Bytes old = Pattern(512, 9);
    const std::string fullDisk = InChild([&] {
        // The old file fits, the new one (66048 bytes) does not.
        if (!MountSmallDisk(dir, "size=48k")) {
            // Where the test may not mount a disk, a file size limit stands in.
            ::signal(SIGXFSZ, SIG_IGN);
            WriteBytes(path, old);
            const rlimit small{16384, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &small);
            return FailsQuietlyAfterTheFirstWord(m, path, old, EFBIG);
        }
        WriteBytes(path, old);
        return FailsQuietlyAfterTheFirstWord(m, path, old, ENOSPC);
    });
    EXPECT_EQ(fullDisk, "") << "full disk";

    const std::string readOnlyMedium = InChild([&] {
        if (!MountSmallDisk(dir, "size=1m")) return std::string();
        WriteBytes(path, old);
        if (::mount("tmpfs", dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) != 0) return std::string();
        return FailsQuietlyAfterTheFirstWord(m, path, old, EROFS);
    });
    EXPECT_EQ(readOnlyMedium, "") << "read-only medium";

    WriteBytes(path, old);
    fs::permissions(dir, fs::perms(0555));
    const std::string readOnlyFolder = AsNobody([&] {
        return FailsQuietlyAfterTheFirstWord(m, path, old, EACCES);
    });
    EXPECT_EQ(readOnlyFolder, "") << "read-only folder";
}

// The temporary file of a name at the 255-byte limit still fits; a link is
// followed and the file it leads to replaced in its own folder.
TEST_F(SaveFaults, LongNamesAndLinks) {
    // The second name's cut falls inside a two-byte letter.
    std::string twoByteLetters = "a";
    for (int i = 0; i < 125; ++i) twoByteLetters += "\xC3\xA9";  // é
    for (const std::string& name : {std::string(251, 'a') + ".sav", twoByteLetters + ".sav"}) {
        ASSERT_EQ(name.size(), 255u);
        const fs::path folder = dir / "long";
        fs::create_directories(folder);
        m.SaveFileName = (folder / name).string();
        EXPECT_TRUE(WriteBatteryFile(m));
        EXPECT_EQ(Entries(folder), std::vector<std::string>{name});
        EXPECT_EQ(ReadBytes((folder / name).string()).size(), 66048u);
        fs::remove_all(folder);
    }
    m.SaveFileName = path;

    const fs::path saves = dir / "saves";
    fs::create_directories(saves);
    WriteBytes((saves / "real.sav").string(), Pattern(512, 1));
    fs::create_symlink("saves/real.sav", path);
    ASSERT_TRUE(WriteBatteryFile(m));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(fs::read_symlink(path), "saves/real.sav");
    EXPECT_EQ(ReadBytes((saves / "real.sav").string()).size(), 66048u);
    EXPECT_EQ(Entries(saves), std::vector<std::string>{"real.sav"});
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"game.sav", "saves"}));

    // A link to a file not there yet makes it; a link to a device is refused.
    fs::remove(path);
    fs::create_symlink(saves / "new.sav", path);
    ASSERT_TRUE(WriteBatteryFile(m));
    EXPECT_EQ(ReadBytes((saves / "new.sav").string()).size(), 66048u);
    fs::remove(path);
    fs::create_symlink("/dev/zero", path);
    EXPECT_FALSE(WriteBatteryFile(m));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"game.sav", "saves"}));
    ASSERT_EQ(Told.size(), 1u);
    EXPECT_NE(Told[0].find("not a regular file"), std::string::npos) << Told[0];
}

// A FIFO would block a reader until a writer comes, for ever: the alarm
// turns a hang into a failed test.
TEST_F(SaveFaults, AFifoInPlaceOfTheSaveOrTheSnapshotIsRefusedAtOnce) {
    ::alarm(20);
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    EXPECT_FALSE(LoadBatteryFile(m));
    EXPECT_FALSE(WriteBatteryFile(m));
    EXPECT_TRUE(fs::is_fifo(path));
    ASSERT_EQ(Told.size(), 1u) << "said once, not again at the write";
    EXPECT_NE(Told[0].find("not a regular file"), std::string::npos) << Told[0];

    const std::string snapshot = (dir / "game.sta").string();
    ASSERT_EQ(::mkfifo(snapshot.c_str(), 0644), 0);
    EXPECT_FALSE(LoadState(m, snapshot.c_str()));
    EXPECT_FALSE(SaveState(m, snapshot.c_str()));
    EXPECT_TRUE(fs::is_fifo(snapshot));
    ASSERT_EQ(Told.size(), 3u) << "the refused read and the refused write are both said";
    EXPECT_NE(Told[2].find("cannot write"), std::string::npos) << Told[2];
    ::alarm(0);
}

// The one that ends last must not put its older copy over the other's save:
// the second KORU reads the save but never writes it, even once the first
// has ended.
TEST_F(SaveFaults, TwoProcessesOnOneSave) {
    WriteBytes(path, Pattern(512, 7));
    int toParent[2], toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);
    const pid_t first = ::fork();
    if (first == 0) {
        char go = 0;
        LoadBatteryFile(m);
        machine.Write8(0x0E000200, 0xA1);
        const bool wrote = WriteBatteryFile(m);
        [[maybe_unused]] ssize_t io = ::write(toParent[1], &go, 1);
        io = ::read(toChild[0], &go, 1);
        // Its lock went over to the file it wrote: it may write again.
        machine.Write8(0x0E000200, 0xA2);
        ::_exit(wrote && WriteBatteryFile(m) ? 0 : 1);
    }
    char go = 0;
    ASSERT_EQ(::read(toParent[0], &go, 1), 1);
    ASSERT_EQ(ReadBytes(path).size(), 66048u);

    LoadBatteryFile(m);
    EXPECT_EQ(machine.Read8(0x0E000200), 0xA1) << "the second reads what the first saved";
    machine.Write8(0x0E000200, 0xB1);
    EXPECT_FALSE(WriteBatteryFile(m));
    EXPECT_TRUE(BatteryWriteFailed(m));
    ASSERT_EQ(::write(toChild[1], &go, 1), 1);
    int status = 0;
    ::waitpid(first, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the first could not write";
    EXPECT_FALSE(WriteBatteryFile(m));
    EXPECT_EQ(ReadBytes(path)[0x200], 0xA2);
    ASSERT_EQ(Told.size(), 1u);
    EXPECT_NE(Told[0].find("in use by another KORU"), std::string::npos) << Told[0];
}

// A cartridge in a folder that takes no files (an installed game) keeps
// its battery save and snapshot in the per-user folder and finds them
// there at its next start. Once the folder takes files again, the newer
// per-user copy is still what is read, and the next write goes beside the
// cartridge, which from then on is the newer copy.
TEST_F(SaveFaults, AReadOnlyCartridgeFolderSavesInThePerUserFolder) {
    const fs::path games = dir / "games", data = dir / "data";
    fs::create_directories(games);
    fs::create_directories(data);
    fs::permissions(data, fs::perms(0777));
    const std::string cartridge = (games / "game.gba").string();
    WriteBytes(cartridge, Bytes(64 * 1024, 0));
    fs::permissions(games, fs::perms(0555));
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    m.Settings.CheckCRC = 0;
    m.Host.ReportNote = [](void*, const char* message) { Told.push_back(message); };

    // One game run: checks what the last one left, leaves marks of its own.
    auto run = [&](uint8_t expected, uint8_t mark) -> std::string {
        if (!StartGame(m, cartridge.c_str()).Started()) return "did not start";
        std::string found;
        if (machine.Read8(0x0E000300) != expected) found += " battery " + std::to_string(machine.Read8(0x0E000300));
        if (machine.Read8(0x02000010) != (expected == 0xFF ? 0 : expected)) found += " snapshot " + std::to_string(machine.Read8(0x02000010));
        machine.Write8(0x0E000300, mark);
        machine.Write8(0x02000010, mark);
        if (!SaveState(m, m.StateFileName.c_str())) found += " snapshot not written";
        EndGame(m);
        return found;
    };
    const std::string asUser = AsNobody([&] {
        std::string found = run(0xFF, 0x11);
        found += run(0x11, 0x22);
        if (!Told.empty() && Told[0].find("was saved in " + (data / "koru").string()) == std::string::npos)
            found += " told: " + Told[0];
        return found + (Told.size() == 2 ? "" : " told " + std::to_string(Told.size()) + " times");
    });
    EXPECT_EQ(asUser, "");
    EXPECT_EQ(Entries(games), std::vector<std::string>{"game.gba"});
    EXPECT_EQ(Entries(data / "koru").size(), 2u);

    fs::permissions(games, fs::perms(0777));
    EXPECT_EQ(run(0x22, 0x33), "") << "the per-user copies are newer";
    EXPECT_EQ(Entries(games), (std::vector<std::string>{"game.gba", "game.sav", "game.sta"}));
    EXPECT_EQ(run(0x33, 0x44), "") << "the copies beside the cartridge are newer";
    ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
