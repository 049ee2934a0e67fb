// Snapshot files: LoadState either restores a file completely or refuses it
// and leaves every memory, CpuState and the derived hardware state exactly
// as they were. A loaded snapshot must then run.
//
// Input: a mode byte, then
//   mode 0: the file itself (plain or gzip);
//   mode 1: the plain stream, stored gzip-compressed;
//   mode 2: patches over a valid snapshot of a busy machine, so that most
//           files pass the header check and reach the deeper checks: a cut
//           length word (0 = whole), then records of a 16-bit position, a
//           length byte and the new bytes. Positions with bits 14-15 clear
//           land in the header and state records, 01 in the I/O registers,
//           1x anywhere. Bit 7 of the mode byte stores the result gzip-
//           compressed.

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "cpu/cpu_state.h"
#include "game/game.h"
#include "game/header.h"
#include "game/snapshot.h"
#include "machine/backup.h"
#include "machine/bus.h"
#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "machine/timers.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/machine_state.h"

namespace {

constexpr uint8_t CheckByte = 0x5C;
constexpr uint32_t StateRecordsEnd = 1784;
constexpr uint32_t IoImageOffset = 296696;

bool StartSnapshotMachine() {
    auto* rom = static_cast<uint8_t*>(std::calloc(PageSize, 1));
    if (!rom) return false;
    rom[HeaderComplementOffset] = CheckByte;
    return StartMachine(rom, int32_t(PageSize));
}

// Everything a refused load must leave alone, byte for byte, is what
// VisitMachineState walks.
// (memcpy and memcmp rather than vector inserts: under AddressSanitizer a
// memmove of half a megabyte per input was a tenth of the run time.)
void TakeMachinePicture(Bytes& picture) {
    picture.clear();
    VisitMachineState([&](const void* from, size_t size) {
        const size_t at = picture.size();
        picture.resize(at + size);
        std::memcpy(picture.data() + at, from, size);
    });
}

bool MachineMatches(const Bytes& picture) {
    size_t at = 0;
    bool same = true;
    VisitMachineState([&](const void* from, size_t size) {
        same = same && at + size <= picture.size() && std::memcmp(picture.data() + at, from, size) == 0;
        at += size;
    });
    return same && at == picture.size();
}

// A machine in the middle of things: drawing a rotated mode 1 picture
// with blending, two timers running, a FLASH command and an EEPROM request
// half received, and patterned memories.
void MakeBusy() {
    for (uint32_t i = 0; i < 0x8000; i += 4) BusWrite32(0x03000000 + i, i * 0x9E3779B9u);
    for (uint32_t i = 0; i < 0x18000; i += 4) BusWrite32(0x06000000 + i, i * 0x85EBCA6Bu);
    for (uint32_t i = 0; i < 0x400; i += 4) BusWrite32(0x05000000 + i, i * 0xC2B2AE35u);
    WriteIoRegister(0x04000000, 0x1F01);  // mode 1, every layer on
    WriteIoRegister(0x04000008, 0x0002);
    WriteIoRegister(0x0400000A, 0x0103);
    WriteIoRegister(0x0400000C, 0x4281);
    WriteIoRegister(0x04000020, 0x0090);  // BG2PA
    WriteIoRegister(0x04000022, 0xFF80);  // BG2PB
    WriteIoRegister(0x04000050, 0x0F41);
    WriteIoRegister(0x04000052, 0x0A06);
    WriteIoRegister(0x04000054, 0x0004);
    WriteIoRegister(0x04000200, 0x0001);
    WriteIoRegister(0x04000208, 0x0001);
    WriteTimerControl(0, 0x82);
    WriteTimerControl(1, 0x84);
    BusWrite8(0x0E005555, 0xAA);
    BusWrite8(0x0E002AAA, 0x55);
    for (uint16_t bit : {1, 1, 0, 1}) BusWrite16(0x0D000000, bit);
    Cpu.R[0] = 0x12345678;
    Cpu.R[15] = 0x03000100;
}

// The plain stream of a snapshot of the busy machine, made once.
const Bytes& ValidSnapshot() {
    static const Bytes image = [] {
        Require(StartSnapshotMachine(), "machine for the model snapshot");
        MakeBusy();
        const std::string path = ScratchFolder() + "/model.sta";
        Require(SaveState(path.c_str()), "model snapshot saved");
        StopMachine();
        Bytes plain;
        gzFile in = gzopen(path.c_str(), "rb");
        uint8_t chunk[65536];
        int count;
        while ((count = gzread(in, chunk, sizeof chunk)) > 0) plain.insert(plain.end(), chunk, chunk + count);
        gzclose(in);
        Require(plain.size() == SnapshotSize, "model snapshot size");
        return plain;
    }();
    return image;
}

void PatchedSnapshot(InputReader& input, Bytes& image) {
    const Bytes& model = ValidSnapshot();
    image.resize(model.size());
    std::memcpy(image.data(), model.data(), model.size());
    const uint32_t cut = input.Word() % (SnapshotSize + 1);
    while (!input.Empty()) {
        const uint16_t position = input.Half();
        const uint32_t length = input.Byte();
        size_t offset;
        switch (position >> 14) {
        case 0: offset = position % StateRecordsEnd; break;
        case 1: offset = IoImageOffset + (position & 0x3FFF); break;
        default: offset = size_t(position & 0x7FFF) * SnapshotSize / 0x8000; break;
        }
        const auto bytes = input.Take(length);
        const size_t count = std::min(bytes.size(), image.size() - offset);
        std::memcpy(image.data() + offset, bytes.data(), count);
    }
    if (cut != 0) image.resize(cut);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input({data, size});
    const uint8_t mode = input.Byte();
    static Bytes file, before;
    std::string path;
    switch (mode & 0x7F) {
    case 1: path = WriteScratchGzip("game.sta", input.Rest()); break;
    case 2:
        PatchedSnapshot(input, file);
        path = (mode & 0x80) ? WriteScratchGzip("game.sta", file) : WriteScratchFile("game.sta", file);
        break;
    default: path = WriteScratchFile("game.sta", input.Rest()); break;
    }

    if (!StartSnapshotMachine()) return 0;
    // Every input starts from the same power-on machine, so its picture is
    // taken once; a refused load is compared with it.
    if (before.empty()) TakeMachinePicture(before);
    if (LoadState(path.c_str())) {
        // A restored machine runs a few lines, drawing them.
        RunSlices(6, 200);
    } else {
        Require(MachineMatches(before), "a refused snapshot changes nothing");
    }
    StopMachine();
    return 0;
}
