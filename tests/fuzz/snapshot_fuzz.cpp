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
//           land in the header and state records, 01 in the I/O registers
//           (or, with bit 13 set, in the chip block's records), 1x
//           anywhere. Bit 7 of the mode byte stores the result gzip-
//           compressed.
// Bit 6 of the mode byte runs a cartridge with a 128 KB FLASH and a clock,
// whose snapshots carry the chip block (format 3); without it, the combined
// chips of an unmarked cartridge (format 2).

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "cpu/cpu_state.h"
#include "game/game.h"
#include "game/header.h"
#include "game/snapshot.h"
#include "game/snapshot_chips.h"
#include "machine/backup.h"
#include "machine/bus.h"
#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "machine/rtc.h"
#include "machine/timers.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/machine_state.h"

namespace {

constexpr uint8_t CheckByte = 0x5C;
constexpr uint32_t StateRecordsEnd = 1784;
constexpr uint32_t IoImageOffset = 296696;

bool StartSnapshotMachine(bool withChips) {
    Machine& m = FuzzMachine();
    std::unique_ptr<uint8_t[]> rom = NewImage(PageSize);
    if (!rom) return false;
    rom[HeaderComplementOffset] = CheckByte;
    if (!StartMachine(std::move(rom), int32_t(PageSize))) return false;
    if (withChips) {
        SetSaveType(m, SaveType::Flash128, 0, PageSize);
        m.RealTimeClock.Present = 1;
    }
    return true;
}

// Everything a refused load must leave alone, byte for byte, is what
// VisitMachineState walks.
// (memcpy and memcmp rather than vector inserts: under AddressSanitizer a
// memmove of half a megabyte per input was a tenth of the run time.)
void TakeMachinePicture(Bytes& picture) {
    Machine& m = FuzzMachine();
    picture.clear();
    VisitMachineState(m, [&](const void* from, size_t size) {
        const size_t at = picture.size();
        picture.resize(at + size);
        std::memcpy(picture.data() + at, from, size);
    });
}

bool MachineMatches(const Bytes& picture) {
    Machine& m = FuzzMachine();
    size_t at = 0;
    bool same = true;
    VisitMachineState(m, [&](const void* from, size_t size) {
        same = same && at + size <= picture.size() && std::memcmp(picture.data() + at, from, size) == 0;
        at += size;
    });
    return same && at == picture.size();
}

// The clock's port: a write of `value` to register `reg` started, its
// first three bits sent (SCK low then high for each).
void HalfAClockWrite(uint32_t reg) {
    Machine& m = FuzzMachine();
    const auto data = [&m](uint16_t pins) { BusWrite16(m, 0x080000C4, pins); };
    BusWrite16(m, 0x080000C8, 1);
    data(1);
    data(5);
    BusWrite16(m, 0x080000C6, 7);
    for (int bit = 7; bit >= 0; --bit) {
        const uint16_t sio = uint16_t(((0x60 | reg << 1) >> bit & 1) << 1);
        data(sio | 4);
        data(sio | 5);
    }
    for (int bit = 0; bit < 3; ++bit) {
        data(4);
        data(5);
    }
}

// A machine in the middle of things: drawing a rotated mode 1 picture
// with blending, two timers running, a FLASH command and an EEPROM request
// half received, and patterned memories; with the chip block, bank 1 of
// the FLASH selected and programmed, and a clock write half sent.
void MakeBusy(bool withChips) {
    Machine& m = FuzzMachine();
    for (uint32_t i = 0; i < 0x8000; i += 4) BusWrite32(m, 0x03000000 + i, i * 0x9E3779B9u);
    for (uint32_t i = 0; i < 0x18000; i += 4) BusWrite32(m, 0x06000000 + i, i * 0x85EBCA6Bu);
    for (uint32_t i = 0; i < 0x400; i += 4) BusWrite32(m, 0x05000000 + i, i * 0xC2B2AE35u);
    WriteIoRegister(m, 0x04000000, 0x1F01);  // mode 1, every layer on
    WriteIoRegister(m, 0x04000008, 0x0002);
    WriteIoRegister(m, 0x0400000A, 0x0103);
    WriteIoRegister(m, 0x0400000C, 0x4281);
    WriteIoRegister(m, 0x04000020, 0x0090);  // BG2PA
    WriteIoRegister(m, 0x04000022, 0xFF80);  // BG2PB
    WriteIoRegister(m, 0x04000050, 0x0F41);
    WriteIoRegister(m, 0x04000052, 0x0A06);
    WriteIoRegister(m, 0x04000054, 0x0004);
    WriteIoRegister(m, 0x04000200, 0x0001);
    WriteIoRegister(m, 0x04000208, 0x0001);
    WriteTimerControl(m, 0, 0x82);
    WriteTimerControl(m, 1, 0x84);
    if (withChips) {
        for (const uint8_t command : {0xB0, 0xA0}) {
            BusWrite8(m, 0x0E005555, 0xAA);
            BusWrite8(m, 0x0E002AAA, 0x55);
            BusWrite8(m, 0x0E005555, command);
            BusWrite8(m, 0x0E000000, 1);  // bank 1, then a byte programmed at 0
        }
        HalfAClockWrite(2);
    }
    BusWrite8(m, 0x0E005555, 0xAA);
    BusWrite8(m, 0x0E002AAA, 0x55);
    for (uint16_t bit : {1, 1, 0, 1}) BusWrite16(m, 0x0D000000, bit);
    m.Cpu.R[0] = 0x12345678;
    m.Cpu.R[15] = 0x03000100;
}

// The plain stream of a snapshot of the busy machine, made once for each
// kind of machine.
Bytes MakeModel(bool withChips) {
    Machine& m = FuzzMachine();
    Require(StartSnapshotMachine(withChips), "machine for the model snapshot");
    MakeBusy(withChips);
    const std::string path = ScratchFolder() + "/model.sta";
    Require(SaveState(m, path.c_str()), "model snapshot saved");
    StopMachine();
    Bytes plain;
    gzFile in = gzopen(path.c_str(), "rb");
    uint8_t chunk[65536];
    int count;
    while ((count = gzread(in, chunk, sizeof chunk)) > 0) plain.insert(plain.end(), chunk, chunk + count);
    gzclose(in);
    Require(plain.size() == SnapshotSize + (withChips ? ChipBlockSize : 0), "model snapshot size");
    return plain;
}

const Bytes& ValidSnapshot(bool withChips) {
    static const Bytes models[2] = {MakeModel(false), MakeModel(true)};
    return models[withChips];
}

void PatchedSnapshot(InputReader& input, Bytes& image, bool withChips) {
    const Bytes& model = ValidSnapshot(withChips);
    image.resize(model.size());
    std::memcpy(image.data(), model.data(), model.size());
    const uint32_t cut = uint32_t(input.Word() % (model.size() + 1));
    while (!input.Empty()) {
        const uint16_t position = input.Half();
        const uint32_t length = input.Byte();
        size_t offset;
        switch (position >> 14) {
        case 0: offset = position % StateRecordsEnd; break;
        case 1:
            offset =
                withChips && (position & 0x2000) ? SnapshotSize + position % 48 : IoImageOffset + (position & 0x3FFF);
            break;
        default: offset = size_t(position & 0x7FFF) * model.size() / 0x8000; break;
        }
        const auto bytes = input.Take(length);
        const size_t count = std::min(bytes.size(), image.size() - offset);
        std::memcpy(image.data() + offset, bytes.data(), count);
    }
    if (cut != 0) image.resize(cut);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Machine& m = FuzzMachine();
    InputReader input({data, size});
    const uint8_t mode = input.Byte();
    const bool withChips = mode & 0x40;
    static Bytes file, before[2];
    std::string path;
    switch (mode & 0x3F) {
    case 1: path = WriteScratchGzip("game.sta", input.Rest()); break;
    case 2:
        PatchedSnapshot(input, file, withChips);
        path = (mode & 0x80) ? WriteScratchGzip("game.sta", file) : WriteScratchFile("game.sta", file);
        break;
    default: path = WriteScratchFile("game.sta", input.Rest()); break;
    }

    if (!StartSnapshotMachine(withChips)) return 0;
    // Every input starts from the same power-on machine, so its picture is
    // taken once; a refused load is compared with it.
    if (before[withChips].empty()) TakeMachinePicture(before[withChips]);
    if (LoadState(m, path.c_str())) {
        // A restored machine runs a few lines, drawing them, and drives the
        // backup chips and the clock on from wherever they were.
        RunSlices(6, 200);
        for (uint16_t pins : {5, 4, 5, 6, 7}) BusWrite16(m, 0x080000C4, pins);
        BusWrite8(m, 0x0E000000, 0x5A);
        BusWrite16(m, 0x0D000000, 1);
    } else {
        Require(MachineMatches(before[withChips]), "a refused snapshot changes nothing");
    }
    StopMachine();
    return 0;
}
