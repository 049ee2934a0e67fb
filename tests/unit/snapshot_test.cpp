// State snapshots: the file layout, a round trip through a busy machine,
// each class of bad file refused with the machine left untouched (the
// snapshot fuzz harness tries the rest), and the chip block of chips the
// layout cannot hold.

#include "game/snapshot.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "cpu/cpu_state.h"
#include "game/game.h"
#include "machine/backup.h"
#include "machine/bus.h"
#include "machine/display_registers.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "machine/rtc.h"
#include "machine/timers.h"
#include "tests/support/machine_state.h"
#include "tests/support/test_machine.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// The writable memories and their file offsets, worked out from the sizes:
// 16 header + 188 CPU + 12 FLASH + 544 EEPROM + 1024 register block = 1784.
struct Region {
    uint32_t busBase, size, fileOffset;
};
constexpr Region Regions[] = {
    {0x03000000, 0x8000, 1784},    {0x02000000, 0x40000, 34552},  {0x04000000, 0x4000, 296696},
    {0x05000000, 0x4000, 313080},  {0x06000000, 0x18000, 329464}, {0x07000000, 0x4000, 427768},
    {0x0E000000, 0x10000, 444152},
};

uint8_t* Block(uint32_t busBase) { return PageTable.Write[busBase >> PageShift]; }

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("koru_snapshot_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        file = (dir / "game.sta").string();
        RomImage[0xBD] = 0x5C;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // FNV-1a over everything a snapshot may change (and the timers'
    // counters, which it must not).
    static uint64_t MachineHash(bool withCounters = true) {
        uint64_t hash = 0xCBF29CE484222325ull;
        VisitMachineState(
            [&](const void* data, size_t size) {
                const auto* bytes = static_cast<const uint8_t*>(data);
                for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
            },
            withCounters);
        return hash;
    }

    // A machine caught in the middle of things: patterned memories, a FLASH
    // command and an EEPROM request half received, a woken CPU, blending,
    // reordered backgrounds, running timers and moved affine backgrounds.
    void MakeBusy(uint8_t seed) {
        for (const Region& region : Regions) {
            uint8_t* block = Block(region.busBase);
            for (uint32_t i = 0; i < region.size; ++i) block[i] = uint8_t(seed + i * 7 + (i >> 10) + region.size);
        }
        for (int r = 0; r < 16; ++r) Cpu.R[r] = 0x1000u * seed + uint32_t(r);
        Cpu.CPSR = 0x6000001F;
        Cpu.SPSR_irq = 0x80000012;
        Cpu.R13_irq = 0x03007FA0 + seed;
        Cpu.SliceLength = 272;
        Cpu.Cycles = -3;
        const uint16_t priorities[] = {3, 1, 2, 0};  // BG0CNT to BG3CNT
        for (uint32_t b = 0; b < 4; ++b) WriteIoRegister(0x04000008 + 2 * b, priorities[b]);
        WriteIoRegister(0x04000052, 0x0A05);  // EVA 5, EVB 10
        WriteIoRegister(0x04000054, 0x0003);  // EVY 3
        StoreIoHalf(Io::WAITCNT, 0);
        HaltState = Halt::Woken;
        WriteTimerControl(0, 0x81);  // every 64 cycles
        TimerState[0].Countdown = 17;
        TimerState[0].Counter = 0x1234;
        WriteTimerControl(1, 0x84);  // counts timer 0's overflows
        AffineState[0] = {0x100, -0x200, 0x1100, -0x1200, 0x80, 3, -4, 0x90};
        AffineState[1] = {7, 8, 9, 10, 11, 12, 13, 14};
        BusWrite8(0x0E005555, 0xAA);
        BusWrite8(0x0E002AAA, 0x55);
        for (uint16_t bit : {1, 0, 0, 0}) BusWrite16(0x0D000000, bit);
    }

    static Bytes Decompressed(const std::string& path) {
        gzFile in = gzopen(path.c_str(), "rb");
        Bytes bytes(SnapshotSize + 200000);
        bytes.resize(size_t(std::max(gzread(in, bytes.data(), unsigned(bytes.size())), 0)));
        gzclose(in);
        return bytes;
    }
    static Bytes RawFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void Put(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    }
    static Bytes RawBlock(const Bytes& bytes, size_t offset) {
        return Bytes(bytes.begin() + long(offset), bytes.begin() + long(offset) + 0x10000);
    }
    static uint32_t WordAt(const Bytes& bytes, size_t offset) {
        uint32_t word;
        std::memcpy(&word, bytes.data() + offset, 4);
        return word;
    }
    static void SetWord(Bytes& bytes, size_t offset, uint32_t word) { std::memcpy(bytes.data() + offset, &word, 4); }

    TestMachine machine;
    fs::path dir;
    std::string file;
};

TEST_F(Snapshot, FileFollowsTheLayout) {
    MakeBusy(1);
    ASSERT_TRUE(SaveState(file.c_str()));
    const Bytes image = Decompressed(file);
    ASSERT_EQ(image.size(), 509688u);
    EXPECT_LT(RawFile(file).size(), 100000u) << "gzip-compressed";
    const uint8_t header[16] = {'S', 'T', 'D', 0x1A, 0x02, 0x5C};
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 16), Bytes(header, header + 16));
    EXPECT_EQ(WordAt(image, 16), 0x6000001Fu) << "CPSR";
    EXPECT_EQ(WordAt(image, 16 + 4 * 41), 272u) << "SliceLength";
    EXPECT_EQ(image[208], 2) << "FLASH command state after 0xAA 0x55";
    EXPECT_EQ(image[212] | image[213] << 8, 0x1B32) << "identifier";
    EXPECT_EQ(WordAt(image, 216), 0b1000u) << "EEPROM input register after 1, 0, 0, 0";
    EXPECT_EQ(image[744], 4) << "EEPROM command bits still to come";
    // The register block: HaltState, EVY, EVA, EVB, then the drawing order
    // (priority in bits 30-31 above the background number), the timers and
    // the affine backgrounds (timer 0 period 64, BG2PB -0x200).
    const int32_t registers[] = {2, 3, 5, 10, int32_t(0xC0000003), int32_t(0xA0000002), 0x50000001, 0x30000000, 64};
    for (size_t word = 0; word < std::size(registers); ++word)
        EXPECT_EQ(int32_t(WordAt(image, 760 + 4 * word)), registers[word]) << "RegisterBlock word " << word;
    EXPECT_EQ(int32_t(WordAt(image, 760 + 4 * 17)), -0x200) << "BG2PB";
    for (const Region& region : Regions)
        EXPECT_EQ(std::memcmp(image.data() + region.fileOffset, Block(region.busBase), region.size), 0)
            << std::hex << region.busBase;
}

TEST_F(Snapshot, RoundTripRestoresEverythingButTheTimerCounters) {
    MakeBusy(4);
    ASSERT_TRUE(SaveState(file.c_str()));  // replaced below
    EXPECT_FALSE(SaveState((dir / "missing-folder" / "x.sta").string().c_str()));
    ResetHardware();
    MakeBusy(1);
    const uint64_t saved = MachineHash(false);
    ASSERT_TRUE(SaveState(file.c_str()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no temporary file";

    ResetHardware();
    MakeBusy(2);
    WriteIoRegister(0x0400000C, 0x0003);
    TimerState[0].Counter = 0x4321;
    TimerState[2].Counter = 0x0077;
    ASSERT_NE(MachineHash(false), saved);

    ASSERT_TRUE(LoadState(file.c_str()));
    EXPECT_EQ(MachineHash(false), saved);
    EXPECT_EQ(TimerState[0].Counter, 0x4321);
    EXPECT_EQ(TimerState[2].Counter, 0x0077);
    // The half-received requests go on where they were.
    BusWrite8(0x0E005555, 0xA0);
    BusWrite8(0x0E000123, 0x00);
    EXPECT_EQ(machine.Read8(0x0E000123), 0x00) << "programmed";
    EXPECT_EQ(Eeprom.CommandBits, 4);

    // The uncompressed stream loads too, for another title with the same byte at 0xBD.
    const std::string plain = (dir / "plain.sta").string();
    Put(plain, Decompressed(file));
    MakeBusy(3);
    RomImage[0xA0] = 'Z';
    ASSERT_TRUE(LoadState(plain.c_str()));
    EXPECT_EQ(MachineHash(false), saved);
}

TEST_F(Snapshot, BadFilesAreRefusedWithoutAnyChange) {
    MakeBusy(1);
    ASSERT_TRUE(SaveState(file.c_str()));
    const Bytes good = Decompressed(file);
    const Bytes packed = RawFile(file);
    MakeBusy(5);
    const uint64_t before = MachineHash();
    const std::string bad = (dir / "bad.sta").string();

    const auto refused = [&](const Bytes& bytes, const std::string& what) {
        Put(bad, bytes);
        EXPECT_FALSE(LoadState(bad.c_str())) << what;
        EXPECT_EQ(MachineHash(), before) << what;
    };

    const struct {
        const char* name;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"wrong magic", [](Bytes& b) { b[2] = 'X'; }},
        {"another cartridge", [](Bytes& b) { b[5] = 0x5D; }},
        {"a slice of two billion cycles", [](Bytes& b) { SetWord(b, 184, 0x7FFFFFFF); }},
        {"a slice two billion cycles overdrawn", [](Bytes& b) { SetWord(b, 184, 0x80000000); }},
        {"set-aside cycles beyond a slice", [](Bytes& b) { SetWord(b, 188, 961); }},
        {"FLASH command state 7", [](Bytes& b) { b[208] = 7; }},
        {"EEPROM address off a block", [](Bytes& b) { SetWord(b, 748, 3); }},
        {"HaltState 3", [](Bytes& b) { SetWord(b, 760, 3); }},
        {"EVY 17", [](Bytes& b) { SetWord(b, 764, 17); }},
        {"countdown above the period", [](Bytes& b) { SetWord(b, 808, 65); }},
        {"BG2 step beyond 16 bits", [](Bytes& b) { SetWord(b, 840, 0x8000); }},
        {"BG3 reference point beyond 28 bits", [](Bytes& b) { SetWord(b, 856, 0x08000000); }},
        {"BG2 current point far off the map", [](Bytes& b) { SetWord(b, 832, 0xA5000000); }},
        {"priority not the saved BG0CNT", [](Bytes& b) { b[296696 + 8] = 0x01; }},
    };
    for (const auto& c : cases) {
        Bytes bytes = good;
        c.damage(bytes);
        refused(bytes, c.name);
    }

    // Files cut short: FileCutShortAtAnyByteChangesNothing.
    Bytes corrupt = packed;
    corrupt[packed.size() / 2] ^= 0x55;
    refused(corrupt, "flipped bits in the deflate stream");
    Bytes checksum = packed;
    checksum[packed.size() - 8] ^= 0x01;
    refused(checksum, "wrong CRC");

    EXPECT_FALSE(LoadState((dir / "none.sta").string().c_str()));
    EXPECT_EQ(MachineHash(), before);
    Put(bad, good);
    EXPECT_TRUE(LoadState(bad.c_str())) << "the undamaged file still loads";
}

// A 128 KB FLASH (bank 1 selected) and a clock do not fit the layout: the
// file says format 3, which older versions refuse, and carries the chip
// block after the layout. It restores both banks, the bank and the clock;
// it is refused by a cartridge with another chip. A format-2 file, made
// before the chips were told apart, still loads, into the first bank.
TEST_F(Snapshot, ChipsTheLayoutCannotHoldGoInTheChipBlock) {
    const std::string old = (dir / "old.sta").string();
    MakeBusy(2);
    ASSERT_TRUE(SaveState(old.c_str()));

    SetSaveType(SaveType::Flash128, 0, 0x10000);
    ResetBackupMemory(false);  // out of MakeBusy's half-sent command
    RealTimeClock.Present = 1;
    RealTimeClock.Offset = 86400 * 365;
    for (const uint8_t command : {0xB0, 0xA0}) {
        BusWrite8(0x0E005555, 0xAA);
        BusWrite8(0x0E002AAA, 0x55);
        BusWrite8(0x0E005555, command);
        BusWrite8(0x0E000000, 0x01);  // bank 1; then 0x01 programmed over bank 1's first byte
    }
    const uint64_t saved = MachineHash(false);
    ASSERT_TRUE(SaveState(file.c_str()));
    const Bytes image = Decompressed(file);
    ASSERT_EQ(image.size(), 509688u + 48 + 131072 + 8192);
    EXPECT_EQ(image[4], 0x03);
    EXPECT_EQ(Bytes(image.begin() + 509688, image.begin() + 509692), (Bytes{'C', 'H', 'I', 'P'}));
    EXPECT_EQ(image[509688 + 48 + 0x10000], 0x01) << "bank 1 in the block";

    SetSaveType(SaveType::Flash128, 0, 0x10000);  // bank 0
    BackupMemory[0x10000] = 0x77;
    RealTimeClock.Offset = 0;
    ASSERT_TRUE(LoadState(file.c_str()));
    EXPECT_EQ(MachineHash(false), saved);
    EXPECT_EQ(PeekByte(0x0E000000), 0x01) << "bank 1 seen again";

    ASSERT_TRUE(LoadState(old.c_str()));
    EXPECT_EQ(std::memcmp(BackupMemory, RawBlock(Decompressed(old), 444152).data(), 0x10000), 0)
        << "the old file's 64 KB in bank 0";
    EXPECT_EQ(PageTable.Read[0x0E000000 >> PageShift], BackupMemory);

    SetSaveType(SaveType::Flash64, 0, 0x10000);
    const uint64_t before = MachineHash();
    EXPECT_FALSE(LoadState(file.c_str())) << "another chip";
    EXPECT_EQ(MachineHash(), before);
}

// A file cut short anywhere is refused, and the machine stays exactly as it
// was. The stored file is cut at every byte; the plain stream, read once and
// cut in place from the end, at every byte of the header and state records
// and within 64 bytes of each memory's start and of the end. (A quiet
// machine keeps the stored file small, and so the sweep quick.)
TEST_F(Snapshot, FileCutShortAtAnyByteChangesNothing) {
    for (int r = 0; r < 16; ++r) Cpu.R[r] = 0x03000000u + uint32_t(r) * 0x111;
    machine.Write32(0x03001000, 0xDEADBEEF);
    machine.Write32(0x0E000010, 0x12345678);
    ASSERT_TRUE(SaveState(file.c_str()));
    const Bytes packed = RawFile(file);
    const Bytes plain = Decompressed(file);
    ASSERT_EQ(plain.size(), SnapshotSize);
    ASSERT_LT(packed.size(), 8192u);
    MakeBusy(6);
    const uint64_t before = MachineHash();
    const std::string cut = (dir / "cut.sta").string();

    for (size_t length = 0; length < packed.size(); ++length) {
        Put(cut, Bytes(packed.begin(), packed.begin() + long(length)));
        ASSERT_FALSE(LoadState(cut.c_str())) << "stored file cut at " << length;
        ASSERT_EQ(MachineHash(), before) << "stored file cut at " << length;
    }

    std::vector<size_t> lengths;
    for (size_t length = 0; length <= 1784 + 64; ++length) lengths.push_back(length);
    for (const Region& region : Regions)
        for (size_t length = region.fileOffset - 64; length <= region.fileOffset + 64; ++length)
            lengths.push_back(length);
    for (size_t length = SnapshotSize - 64; length < SnapshotSize; ++length) lengths.push_back(length);
    std::sort(lengths.begin(), lengths.end(), std::greater<>());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    Put(cut, plain);
    for (size_t length : lengths) {
        ASSERT_EQ(::truncate(cut.c_str(), off_t(length)), 0);
        ASSERT_FALSE(LoadState(cut.c_str())) << "plain stream cut at " << length;
        ASSERT_EQ(MachineHash(), before) << "plain stream cut at " << length;
    }
}

}  // namespace
