// Loading cartridge images where the cartridge fuzz replays cannot look: the
// exact 32 MB limit (too slow to fuzz), the reasons StartGame gives, and the
// save file name beside the image. Byte-for-byte delivery of plain and gzip
// files and the padding are checked by the fuzz replays, the cartridge bus
// past the image by the system_memory_map cartridge.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "game/cartridge.h"
#include "game/game.h"
#include "game/settings.h"
#include "machine/machine.h"
#include "tests/support/scratch_files.h"

namespace {

namespace fs = std::filesystem;

class Loader : public ::testing::Test {
protected:
    const std::unique_ptr<Machine> owned = CreateMachine();
    Machine& m = *owned;

    void TearDown() override { EndGame(m); }

    // An image whose first instruction is "b ." (so a run stays put) and
    // whose other bytes follow a pattern, with a correct header check byte.
    std::vector<uint8_t> MakeImage(size_t size) {
        std::vector<uint8_t> image(size);
        for (size_t i = 0; i < size; ++i) image[i] = uint8_t(i * 7 + (i >> 9));
        const uint8_t branchToSelf[] = {0xFE, 0xFF, 0xFF, 0xEA};
        for (size_t i = 0; i < 4 && i < size; ++i) image[i] = branchToSelf[i];
        if (size > 0xBD) {
            uint8_t check = 0xE7;
            for (size_t i = 0xA0; i <= 0xBC; ++i) check = uint8_t(check - image[i]);
            image[0xBD] = check;
        }
        return image;
    }

    std::string WritePlain(const char* name, const Bytes& bytes) {
        WriteBytes(scratch / name, bytes);
        return scratch / name;
    }

    std::string WriteGzip(const char* name, const std::vector<uint8_t>& bytes) {
        const std::string path = scratch / name;
        gzFile out = gzopen(path.c_str(), "wb1");
        gzwrite(out, bytes.data(), unsigned(bytes.size()));
        gzclose(out);
        return path;
    }

    ScratchFolder scratch;
    const fs::path& dir = scratch.dir;
};

TEST_F(Loader, ThirtyTwoMegabytesIsTheLimit) {
    // A gzip file's size is only known by unpacking it: the limit must hold
    // for the unpacked bytes just as for a plain file's length.
    std::vector<uint8_t> image(MaxRomSize, 0);
    const std::string exact[] = {WritePlain("exact.gba", image), WriteGzip("exact.gba.gz", image)};
    image.push_back(0x42);
    const std::string over[] = {WritePlain("over.gba", image), WriteGzip("over.gba.gz", image)};

    for (int gzip = 0; gzip < 2; ++gzip) {
        SCOPED_TRACE(gzip ? "gzip" : "plain");
        int32_t size = 0, rounded = 0;
        StartFailure failure = StartFailure::None;
        EXPECT_NE(LoadCartridgeImage(m, exact[gzip].c_str(), size, rounded, failure), nullptr);
        EXPECT_EQ(size, MaxRomSize);
        EXPECT_EQ(rounded, MaxRomSize);

        EXPECT_EQ(LoadCartridgeImage(m, over[gzip].c_str(), size, rounded, failure), nullptr);
        EXPECT_EQ(failure, StartFailure::TooLarge);
    }
}

TEST_F(Loader, DamagedGzipIsRefusedNotCutShort) {
    // zlib hands out the bytes before the damage; a game carrying corrupted
    // data must not start as if it were whole. (A file cut short is in the
    // cartridge fuzz corpus.)
    const std::string whole = WriteGzip("whole.gba.gz", MakeImage(40000));
    Bytes badChecksum = ReadBytes(whole);
    badChecksum[badChecksum.size() - 8] ^= 0x01;  // the CRC-32 in the trailer
    int32_t size = -1, rounded = -1;
    StartFailure failure = StartFailure::None;
    EXPECT_EQ(LoadCartridgeImage(m, WritePlain("crc.gba.gz", badChecksum).c_str(), size, rounded, failure), nullptr);
    EXPECT_EQ(failure, StartFailure::ReadError);
    EXPECT_EQ(size, 0);
    EXPECT_NE(LoadCartridgeImage(m, whole.c_str(), size, rounded, failure), nullptr);
    EXPECT_EQ(size, 40000);
}

// A wrong header check byte, and the switch that lets it pass, are the
// header_check cartridge test's.
TEST_F(Loader, StartGameNamesWhyItRefusesAFile) {
    // A FIFO would keep the reader waiting for a writer for ever, a device
    // gives bytes without end: the alarm turns a hang into a failure.
    ::alarm(20);
    const std::string fifo = (dir / "fifo.gba").string(), gzipFifo = (dir / "fifo.gba.gz").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(gzipFifo.c_str(), 0644), 0);
    const std::pair<std::string, StartFailure> cases[] = {
        {WritePlain("empty.gba", {}), StartFailure::Empty},
        {(dir / "missing.gba").string(), StartFailure::CannotOpen},
        {fifo, StartFailure::NotRegular},
        {gzipFifo, StartFailure::NotRegular},
        {"/dev/zero", StartFailure::NotRegular},
        {dir.string(), StartFailure::NotRegular},
    };
    uint8_t header[512];
    EXPECT_EQ(ReadCartridgePrefix(fifo.c_str(), header, 512), -1) << "the settings read the title first";
    for (const auto& [path, failure] : cases) {
        EXPECT_EQ(StartGame(m, path.c_str()).Failure, failure) << path;
        EndGame(m);
    }
    ::alarm(0);
}

TEST(SaveFileName, ReplacesTheExtensionOfTheLastComponent) {
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"x.gba", "x.sav"},
        {"/games.new/tetris", "/games.new/tetris.sav"},
        {"a\\b.c\\d", "a\\b.c\\d.sav"},
        {"C:\\games\\zelda.gba.gz", "C:\\games\\zelda.gba.sav"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceExtension(c.path, ".sav"), c.expected) << c.path;
    }
}

}  // namespace
