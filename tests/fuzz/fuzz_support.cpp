#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#include "cpu/cpu_state.h"
#include "cpu/modes.h"
#include "cpu/run_loop.h"
#include "game/battery.h"
#include "game/battery_file.h"
#include "game/game.h"
#include "game/settings.h"
#include "machine/backup.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/page_table.h"
#include "machine/rtc.h"
#include "machine/scanline.h"
#include "sound/midi_log.h"

namespace {

std::string MakeScratchFolder() {
    // Memory-backed /dev/shm unless TMPDIR says otherwise: replacing a file
    // on a disk file system flushes it, and the harnesses replace files for
    // every input.
    const char* base = std::getenv("TMPDIR");
    if (!base || !*base) base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/koru_fuzz_XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    static std::string removeAtExit;
    removeAtExit = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(removeAtExit, ignored);
    });
    return pattern;
}

}  // namespace

const std::string& ScratchFolder() {
    static const std::string folder = MakeScratchFolder();
    return folder;
}

std::string WriteScratchFile(const char* name, std::span<const uint8_t> bytes, size_t zeroPadding) {
    const std::string path = ScratchFolder() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "cannot create a scratch file");
    Require(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), "cannot write a scratch file");
    // The padding is a hole in the file: no time spent writing zeros.
    Require(std::fflush(file) == 0 && ::ftruncate(::fileno(file), off_t(bytes.size() + zeroPadding)) == 0,
            "cannot extend a scratch file");
    std::fclose(file);
    return path;
}

// A gzip stream at level 0 (stored blocks): what the loaders must cope
// with is the stream's framing, length and checksum, and a real compressor
// spent more time per input than the load.
std::string WriteScratchGzip(const char* name, std::span<const uint8_t> bytes, size_t zeroPadding) {
    static const uint8_t zeros[65536] = {};
    const std::string path = ScratchFolder() + "/" + name;
    gzFile file = gzopen(path.c_str(), "wb0");
    Require(file != nullptr, "cannot create a scratch file");
    Require(bytes.empty() || gzwrite(file, bytes.data(), unsigned(bytes.size())) == int(bytes.size()),
            "cannot write a scratch file");
    for (size_t chunk; zeroPadding > 0; zeroPadding -= chunk) {
        chunk = std::min(zeroPadding, sizeof zeros);
        Require(gzwrite(file, zeros, unsigned(chunk)) == int(chunk), "cannot write a scratch file");
    }
    Require(gzclose(file) == Z_OK, "cannot write a scratch file");
    return path;
}

Bytes ReadWholeFile(const std::string& path) {
    Bytes bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + count);
    std::fclose(file);
    return bytes;
}

// The loaders replace files safely and sync them to disk. Durability is not
// what the harnesses check, and a sync per input made the disk the
// bottleneck, so the fuzz programs link their fsync calls here.
extern "C" int __wrap_fsync(int) { return 0; }

bool AllZero(const uint8_t* bytes, size_t size) {
    return size == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, size - 1) == 0);
}

InputReader::InputReader(std::span<const uint8_t> input) : rest(input) {
    static const uint8_t nothing = 0;
    if (!rest.data()) rest = {&nothing, 0};
}

uint8_t InputReader::Byte() {
    if (rest.empty()) return 0;
    const uint8_t value = rest.front();
    rest = rest.subspan(1);
    return value;
}

uint16_t InputReader::Half() { return uint16_t(Byte() | Byte() << 8); }

uint32_t InputReader::Word() { return uint32_t(Half()) | uint32_t(Half()) << 16; }

std::span<const uint8_t> InputReader::Take(size_t count) {
    const std::span<const uint8_t> taken = rest.first(std::min(count, rest.size()));
    rest = rest.subspan(taken.size());
    return taken;
}

Machine& FuzzMachine() {
    static const std::unique_ptr<Machine> machine = [] {
        std::unique_ptr<Machine> created = CreateMachine();
        Require(created != nullptr, "out of memory for the machine");
        PowerOnMachine(*created);
        FillPageHoles(created->PageTable, created->ZeroPage.data(), created->DummyRam.data());
        return created;
    }();
    return *machine;
}

void ResetMachineSettings() {
    static const std::string missingBios = ScratchFolder() + "/no-bios/GBA.ROM";
    Machine& m = FuzzMachine();
    m.Settings = GameSettings{};
    m.Verbose = 0;
    m.BatteryFileEnabled = true;
    m.LoadDefaultState = false;
    m.StopRequested = false;
    m.BiosPath = missingBios.c_str();
    m.Host = HostInterface{};
    m.ClockHostTime = SystemClockTime;
}

namespace {

// A fresh start's memories: all zero but the interrupt stub in the BIOS
// area (the BIOS path never exists here) and the erased backup memories.
void PowerOnMemories(Machine& m) {
    for (const MachineMemory& memory : MachineMemories)
        std::memset(m.PageTable.Read[memory.busBase >> PageShift], 0, memory.size);
    m.DummyRam.fill(0);
    std::memcpy(m.Bios.data(), BiosStub, BiosStubSize);
    m.BiosLoaded = false;
    PowerOnBackupMemory(m);
}

}  // namespace

std::unique_ptr<uint8_t[]> NewImage(size_t size) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

bool StartMachine(std::unique_ptr<uint8_t[]> image, int32_t roundedSize) {
    Machine& m = FuzzMachine();
    ResetMachineSettings();
    if (!image) return false;
    PowerOnMemories(m);
    MapCartridge(m, std::move(image), roundedSize);
    // A game start leaves the banked registers and the record's reserved
    // words as it finds them (the BIOS sets up what it needs); a fresh
    // process finds them zero, and so does every input here.
    m.Cpu = CpuState{};
    ResetHardware(m);
    return true;
}

void StopMachine() {
    EndGame(FuzzMachine());
    ResetMachineSettings();
}

void RunSlices(int normalSlices, int maxSlices) {
    Machine& m = FuzzMachine();
    for (int slice = 0; slice < maxSlices && normalSlices > 0; ++slice) {
        const SliceEnd end = RunSlice(m);
        if (end == SliceEnd::Stop) return;
        if (end == SliceEnd::Normal) --normalSlices;
    }
}

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
