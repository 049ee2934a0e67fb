// State snapshots: the file layout, a round trip through a busy machine,
// each class of bad file refused with the machine left untouched (the
// snapshot fuzz harness tries the rest, files cut short among them), and
// the chip block of chips the layout cannot hold.

#include "game/snapshot.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
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
#include "tests/support/scratch_files.h"
#include "tests/support/test_machine.h"

namespace {

namespace fs = std::filesystem;

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

uint8_t* Block(const Machine& m, uint32_t busBase) { return m.PageTable.Write[busBase >> PageShift]; }

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override { m.RomImage[0xBD] = 0x5C; }

    // FNV-1a over everything a snapshot may change (and the timers'
    // counters, which it must not).
    uint64_t MachineHash(bool withCounters = true) const {
        uint64_t hash = 0xCBF29CE484222325ull;
        VisitMachineState(
            m,
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
            uint8_t* block = Block(m, region.busBase);
            for (uint32_t i = 0; i < region.size; ++i) block[i] = uint8_t(seed + i * 7 + (i >> 10) + region.size);
        }
        for (int r = 0; r < 16; ++r) m.Cpu.R[r] = 0x1000u * seed + uint32_t(r);
        m.Cpu.CPSR = 0x6000001F;
        m.Cpu.SPSR_irq = 0x80000012;
        m.Cpu.R13_irq = 0x03007FA0 + seed;
        m.Cpu.SliceLength = 272;
        m.Cpu.Cycles = -3;
        const uint16_t priorities[] = {3, 1, 2, 0};  // BG0CNT to BG3CNT
        for (uint32_t b = 0; b < 4; ++b) WriteIoRegister(m, 0x04000008 + 2 * b, priorities[b]);
        WriteIoRegister(m, 0x04000052, 0x0A05);  // EVA 5, EVB 10
        WriteIoRegister(m, 0x04000054, 0x0003);  // EVY 3
        StoreIoHalf(m, Io::WAITCNT, 0);
        m.HaltState = Halt::Woken;
        WriteTimerControl(m, 0, 0x81);  // every 64 cycles
        m.TimerState.Timers[0].Countdown = 17;
        m.TimerState.Timers[0].Counter = 0x1234;
        WriteTimerControl(m, 1, 0x84);  // counts timer 0's overflows
        m.AffineState[0] = {0x100, -0x200, 0x1100, -0x1200, 0x80, 3, -4, 0x90};
        m.AffineState[1] = {7, 8, 9, 10, 11, 12, 13, 14};
        BusWrite8(m, 0x0E005555, 0xAA);
        BusWrite8(m, 0x0E002AAA, 0x55);
        for (uint16_t bit : {1, 0, 0, 0}) BusWrite16(m, 0x0D000000, bit);
    }

    static Bytes Decompressed(const std::string& path) {
        gzFile in = gzopen(path.c_str(), "rb");
        Bytes bytes(SnapshotSize + 200000);
        bytes.resize(size_t(std::max(gzread(in, bytes.data(), unsigned(bytes.size())), 0)));
        gzclose(in);
        return bytes;
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

    ScratchFolder scratch;
    const fs::path& dir = scratch.dir;
    const std::string file = scratch / "game.sta";
    TestMachine machine;
    Machine& m = machine.m;
};

TEST_F(Snapshot, FileFollowsTheLayout) {
    MakeBusy(1);
    ASSERT_TRUE(SaveState(m, file.c_str()));
    const Bytes image = Decompressed(file);
    ASSERT_EQ(image.size(), 509688u);
    EXPECT_LT(ReadBytes(file).size(), 100000u) << "gzip-compressed";
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
        EXPECT_EQ(std::memcmp(image.data() + region.fileOffset, Block(m, region.busBase), region.size), 0)
            << std::hex << region.busBase;
}

TEST_F(Snapshot, RoundTripRestoresEverythingButTheTimerCounters) {
    MakeBusy(4);
    ASSERT_TRUE(SaveState(m, file.c_str()));  // replaced below
    EXPECT_FALSE(SaveState(m, (dir / "missing-folder" / "x.sta").string().c_str()));
    ResetHardware(m);
    MakeBusy(1);
    const uint64_t saved = MachineHash(false);
    ASSERT_TRUE(SaveState(m, file.c_str()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no temporary file";

    ResetHardware(m);
    MakeBusy(2);
    WriteIoRegister(m, 0x0400000C, 0x0003);
    m.TimerState.Timers[0].Counter = 0x4321;
    m.TimerState.Timers[2].Counter = 0x0077;
    ASSERT_NE(MachineHash(false), saved);

    ASSERT_TRUE(LoadState(m, file.c_str()));
    EXPECT_EQ(MachineHash(false), saved);
    EXPECT_EQ(m.TimerState.Timers[0].Counter, 0x4321);
    EXPECT_EQ(m.TimerState.Timers[2].Counter, 0x0077);
    // The half-received requests go on where they were.
    BusWrite8(m, 0x0E005555, 0xA0);
    BusWrite8(m, 0x0E000123, 0x00);
    EXPECT_EQ(machine.Read8(0x0E000123), 0x00) << "programmed";
    EXPECT_EQ(m.Eeprom.CommandBits, 4);

    // The uncompressed stream loads too, for another title with the same byte at 0xBD.
    const std::string plain = (dir / "plain.sta").string();
    WriteBytes(plain, Decompressed(file));
    MakeBusy(3);
    m.RomImage[0xA0] = 'Z';
    ASSERT_TRUE(LoadState(m, plain.c_str()));
    EXPECT_EQ(MachineHash(false), saved);
}

TEST_F(Snapshot, BadFilesAreRefusedWithoutAnyChange) {
    MakeBusy(1);
    ASSERT_TRUE(SaveState(m, file.c_str()));
    const Bytes good = Decompressed(file);
    const Bytes packed = ReadBytes(file);
    MakeBusy(5);
    const uint64_t before = MachineHash();
    const std::string bad = (dir / "bad.sta").string();

    const auto refused = [&](const Bytes& bytes, const std::string& what) {
        WriteBytes(bad, bytes);
        EXPECT_FALSE(LoadState(m, bad.c_str())) << what;
        EXPECT_EQ(MachineHash(), before) << what;
    };

    const struct {
        const char* name;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"wrong magic", [](Bytes& b) { b[2] = 'X'; }},
        {"another cartridge", [](Bytes& b) { b[5] = 0x5D; }},
        {"a slice of two billion cycles", [](Bytes& b) { SetWord(b, 184, 0x7FFFFFFF); }},
        {"set-aside cycles beyond a slice", [](Bytes& b) { SetWord(b, 188, 961); }},
        {"FLASH command state 7", [](Bytes& b) { b[208] = 7; }},
        {"EEPROM address off a block", [](Bytes& b) { SetWord(b, 748, 3); }},
        {"HaltState 3", [](Bytes& b) { SetWord(b, 760, 3); }},
        {"EVY 17", [](Bytes& b) { SetWord(b, 764, 17); }},
        {"countdown above the period", [](Bytes& b) { SetWord(b, 808, 65); }},
        {"BG2 step beyond 16 bits", [](Bytes& b) { SetWord(b, 840, 0x8000); }},
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

    EXPECT_FALSE(LoadState(m, (dir / "none.sta").string().c_str()));
    EXPECT_EQ(MachineHash(), before);
    WriteBytes(bad, good);
    EXPECT_TRUE(LoadState(m, bad.c_str())) << "the undamaged file still loads";
}

// A 128 KB FLASH (bank 1 selected) and a clock do not fit the layout: the
// file says format 3, which older versions refuse, and carries the chip
// block after the layout. It restores both banks, the bank and the clock;
// it is refused by a cartridge with another chip. A format-2 file, made
// before the chips were told apart, still loads, into the first bank.
TEST_F(Snapshot, ChipsTheLayoutCannotHoldGoInTheChipBlock) {
    const std::string old = (dir / "old.sta").string();
    MakeBusy(2);
    ASSERT_TRUE(SaveState(m, old.c_str()));

    SetSaveType(m, SaveType::Flash128, 0, 0x10000);
    ResetBackupMemory(m, false);  // out of MakeBusy's half-sent command
    m.RealTimeClock.Present = 1;
    m.RealTimeClock.Offset = 86400 * 365;
    for (const uint8_t command : {0xB0, 0xA0}) {
        BusWrite8(m, 0x0E005555, 0xAA);
        BusWrite8(m, 0x0E002AAA, 0x55);
        BusWrite8(m, 0x0E005555, command);
        BusWrite8(m, 0x0E000000, 0x01);  // bank 1; then 0x01 programmed over bank 1's first byte
    }
    const uint64_t saved = MachineHash(false);
    ASSERT_TRUE(SaveState(m, file.c_str()));
    const Bytes image = Decompressed(file);
    ASSERT_EQ(image.size(), 509688u + 48 + 131072 + 8192);
    EXPECT_EQ(image[4], 0x03);
    EXPECT_EQ(Bytes(image.begin() + 509688, image.begin() + 509692), (Bytes{'C', 'H', 'I', 'P'}));
    EXPECT_EQ(image[509688 + 48 + 0x10000], 0x01) << "bank 1 in the block";

    SetSaveType(m, SaveType::Flash128, 0, 0x10000);  // bank 0
    m.BackupMemory[0x10000] = 0x77;
    m.RealTimeClock.Offset = 0;
    ASSERT_TRUE(LoadState(m, file.c_str()));
    EXPECT_EQ(MachineHash(false), saved);
    EXPECT_EQ(PeekByte(m.PageTable, 0x0E000000), 0x01) << "bank 1 seen again";

    ASSERT_TRUE(LoadState(m, old.c_str()));
    EXPECT_EQ(std::memcmp(m.BackupMemory.data(), RawBlock(Decompressed(old), 444152).data(), 0x10000), 0)
        << "the old file's 64 KB in bank 0";
    EXPECT_EQ(m.PageTable.Read[0x0E000000 >> PageShift], m.BackupMemory.data());

    SetSaveType(m, SaveType::Flash64, 0, 0x10000);
    const uint64_t before = MachineHash();
    EXPECT_FALSE(LoadState(m, file.c_str())) << "another chip";
    EXPECT_EQ(MachineHash(), before);
}

}  // namespace
