#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cpu/modes.h"
#include "cpu/run_loop.h"
#include "game/battery.h"
#include "game/game.h"
#include "game/settings.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "machine/scanline.h"

namespace {

std::string MakeScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/koru_fuzz_XXXXXX";
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
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

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

bool StartMachine(uint8_t* image, int32_t roundedSize) {
    ResetGlobals();
    if (!AllocateMachine()) {
        std::free(image);
        EndGame();
        return false;
    }
    MapCartridge(image, roundedSize);
    ResetHardware();
    FillPageHoles();
    return true;
}

void StopMachine() {
    EndGame();
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
