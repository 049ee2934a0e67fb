// The CPU on arbitrary code: ROM, work RAM and (optionally) the video
// memories filled with the fuzzer's bytes, a starting state in any mode
// (the seven real ones and every invalid mode number), ARM or THUMB, and a
// few thousand instructions run with the scanline driver, DMA, timers and
// BIOS calls taking part. The only check is the sanitizers': no access may
// leave the emulated memories.
//
// Input: CPSR bits 0-7; a byte with NZCV in bits 4-7, the starting memory
// in bits 0-1 (ROM, internal RAM, external RAM, BIOS area) and "fill the
// video memories" in bit 2; R0-R14 and the starting offset (16 words); a
// count of I/O register writes and that many (offset, value) half-word
// pairs; then the memory contents.

#include <cstdlib>
#include <cstring>

#include "cpu/cpu_state.h"
#include "cpu/modes.h"
#include "game/game.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct StartArea {
    uint32_t base;
    uint32_t size;
};
constexpr StartArea StartAreas[] = {
    {0x08000000, 0x10000}, {0x03000000, 0x8000}, {0x02000000, 0x40000}, {0x00000000, 0x4000}};

void Fill(uint32_t busBase, uint32_t size, std::span<const uint8_t> bytes) {
    std::memcpy(WriteHostAddress(FuzzMachine().PageTable, busBase), bytes.data(), std::min<size_t>(size, bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Machine& m = FuzzMachine();
    InputReader input({data, size});
    const uint8_t controlByte = input.Byte();
    const uint8_t options = input.Byte();
    uint32_t registers[16];
    for (uint32_t& value : registers) value = input.Word();
    struct IoWrite {
        uint32_t offset;
        uint16_t value;
    } ioWrites[8];
    const size_t ioCount = input.Byte() % 9;
    for (size_t i = 0; i < ioCount; ++i) ioWrites[i] = {uint32_t(input.Half() % 0x400) & ~1u, input.Half()};
    const std::span<const uint8_t> contents = input.Rest();

    constexpr int32_t romSize = 0x10000;
    std::unique_ptr<uint8_t[]> rom = NewImage(romSize);
    if (!rom) return 0;
    std::memcpy(rom.get(), contents.data(), std::min<size_t>(romSize, contents.size()));
    if (!StartMachine(std::move(rom), romSize)) return 0;
    Fill(0x03000000, 0x8000, contents);
    Fill(0x02000000, 0x40000, contents);
    if (options & 4) {
        Fill(0x05000000, 0x400, contents);
        Fill(0x06000000, 0x18000, contents);
        Fill(0x07000000, 0x400, contents);
    }
    for (size_t i = 0; i < ioCount; ++i) WriteIoRegister(m, 0x04000000 + ioWrites[i].offset, ioWrites[i].value);

    const uint32_t cpsr = uint32_t(options & 0xF0) << 24 | controlByte;
    WriteCpsr(m.Cpu, cpsr);
    for (int r = 0; r < 15; ++r) m.Cpu.R[r] = registers[r];
    const StartArea& area = StartAreas[options & 3];
    m.Cpu.R[15] = area.base + (registers[15] % area.size & ((cpsr & FlagT) ? ~1u : ~3u));
    m.Cpu.SliceBreak = 0;
    m.Cpu.Cycles = int32_t(m.Cpu.SliceLength);

    // Six slices are three display lines, about 3700 cycles.
    RunSlices(6, 200);
    StopMachine();
    return 0;
}
