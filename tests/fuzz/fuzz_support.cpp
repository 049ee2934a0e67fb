#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cpu/modes.h"
#include "cpu/run_loop.h"
#include "game/battery.h"
#include "game/game.h"
#include "game/settings.h"
#include "machine/backup.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
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

std::string WriteScratchFile(const char* name, std::span<const uint8_t> bytes) {
    const std::string path = ScratchFolder() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "cannot create a scratch file");
    Require(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), "cannot write a scratch file");
    std::fclose(file);
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

Bytes Gzip(std::span<const uint8_t> bytes) {
    z_stream stream{};
    Require(deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK, "deflateInit2");
    Bytes packed(deflateBound(&stream, uLong(bytes.size())));
    stream.next_in = const_cast<uint8_t*>(bytes.data());
    stream.avail_in = uInt(bytes.size());
    stream.next_out = packed.data();
    stream.avail_out = uInt(packed.size());
    Require(deflate(&stream, Z_FINISH) == Z_STREAM_END, "deflate");
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
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

void ResetGlobals() {
    static const std::string missingBios = ScratchFolder() + "/no-bios/GBA.ROM";
    Settings = GameSettings{};
    Verbose = 0;
    BatteryFileEnabled = true;
    LoadDefaultState = false;
    StartHook = nullptr;
    StopRequested = false;
    BiosPath = missingBios.c_str();
}

namespace {

constexpr uint32_t CartridgeWindows[] = {0x08000000, 0x0A000000, 0x0C000000};
constexpr uint32_t WindowPages = 0x2000000 >> PageShift;

// A fresh start's memories: all zero but the interrupt stub in the BIOS
// area (the BIOS path never exists here) and the erased backup memories.
void PowerOnMemories() {
    for (const MachineMemory& memory : MachineMemories)
        std::memset(PageTable.Read[memory.busBase >> PageShift], 0, memory.size);
    std::memset(DummyRam, 0, PageSize);
    std::memcpy(BiosImage, BiosStub, BiosStubSize);
    BiosLoaded = false;
    PowerOnBackupMemory();
}

}  // namespace

bool StartMachine(uint8_t* image, int32_t roundedSize) {
    static bool allocated = false;
    ResetGlobals();
    if (!allocated) {
        if (!AllocateMachine()) {
            std::free(image);
            EndGame();
            return false;
        }
        FillPageHoles();
        allocated = true;
    } else {
        PowerOnMemories();
    }
    MapCartridge(image, roundedSize);
    ResetHardware();
    return true;
}

void StopMachine() {
    if (SaveFileName) WriteBatteryFile();
    CloseMidiLog();
    std::free(SaveFileName);
    std::free(StateFileName);
    SaveFileName = StateFileName = nullptr;
    std::free(RomImage);
    RomImage = nullptr;
    RomSize = 0;
    for (uint32_t window : CartridgeWindows)
        std::fill_n(PageTable.Read.begin() + (window >> PageShift), WindowPages, DummyRam);
    ResetGlobals();
}

void RunSlices(int normalSlices, int maxSlices) {
    for (int slice = 0; slice < maxSlices && normalSlices > 0; ++slice) {
        const SliceEnd end = RunSlice(Cpu);
        if (end == SliceEnd::Stop) return;
        if (end == SliceEnd::Normal) --normalSlices;
    }
}

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
