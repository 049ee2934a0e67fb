// How long the line renderers take for a whole 160-line frame of two busy
// scenes: mode 0 with four scrolled text layers and 128 sprites, and mode 2
// with two rotated layers and 128 rotated sprites. Not a test: run it by
// hand (koru_video_bench) when the renderers change. One iteration is one
// frame, so the time column is the time per frame. Every frame moves the
// sprites, as games rewrite OAM at every vertical blank, so what the
// renderer keeps from OAM is worked out anew each frame as in a game.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "machine/io_registers.h"
#include "tests/support/test_machine.h"
#include "video/render_line.h"

namespace {

void SetIo(Machine& m, uint32_t offset, uint16_t value) { WriteIoRegister(m, 0x04000000 + offset, value); }

// Random tiles, maps, palettes and sprite attributes, so that nothing is
// uniformly transparent and every path is exercised.
void FillRandomVideoMemory(TestMachine& machine, std::mt19937& random) {
    for (uint32_t offset = 0; offset < 0x18000; offset += 4) machine.Write32(0x06000000 + offset, random());
    for (uint32_t offset = 0; offset < 0x400; offset += 4) machine.Write32(0x05000000 + offset, random() & 0x7FFF7FFF);
}

// Moves every sprite one pixel to the right (wrapping round at 512).
void MoveSprites(Machine& m) {
    for (uint32_t n = 0; n < 128; ++n) {
        uint8_t* attr1 = m.Oam.data() + 8 * n + 2;
        const uint16_t value = LoadLittle<uint16_t>(attr1);
        StoreLittle<uint16_t>(attr1, uint16_t((value & 0xFE00) | ((value + 1) & 0x1FF)));
    }
}

void RenderFrame(Machine& m) {
    MoveSprites(m);
    for (uint32_t line = 0; line < 160; ++line) {
        StoreIoHalf(m, Io::VCOUNT, uint16_t(line));
        RenderLine(m);
    }
}

void BusyTextScene(benchmark::State& state) {
    TestMachine machine;
    std::mt19937 random(1);
    FillRandomVideoMemory(machine, random);
    // Maps at screen blocks 24-31 hold in-range tile numbers, all flips and banks.
    for (uint32_t i = 0; i < 4 * 2048; ++i) machine.Write16(0x0600C000 + 2 * i, uint16_t(random() & 0xF1FF));
    SetIo(machine.m, Io::BG0CNT + 0, 0x0000 | 24 << 8);           // priority 0, 16 colours
    SetIo(machine.m, Io::BG0CNT + 2, 0x0001 | 26 << 8 | 0x80);    // priority 1, 256 colours
    SetIo(machine.m, Io::BG0CNT + 4, 0x0002 | 1 << 2 | 28 << 8);  // priority 2
    SetIo(machine.m, Io::BG0CNT + 6, 0x0003 | 30 << 8 | 0x4000);  // priority 3, 512 wide
    for (uint32_t b = 0; b < 4; ++b) {
        SetIo(machine.m, Io::BG0HOFS + 4 * b, uint16_t(13 * b + 3));
        SetIo(machine.m, Io::BG0HOFS + 2 + 4 * b, uint16_t(7 * b));
    }
    // 128 sprites of 32 x 32, spread over the screen and all four levels.
    for (uint32_t n = 0; n < 128; ++n) {
        const uint16_t attr0 = uint16_t((random() % 160) | (n % 3 == 0 ? 0x2000 : 0) | (n % 7 == 0 ? 0x0400 : 0));
        const uint16_t attr1 = uint16_t((random() % 240) | 0x8000 | (n & 3) << 12);
        const uint16_t attr2 = uint16_t((random() & 0x3FF) | (n & 3) << 10 | (n & 15) << 12);
        machine.Write16(0x07000000 + 8 * n, attr0);
        machine.Write16(0x07000000 + 8 * n + 2, attr1);
        machine.Write16(0x07000000 + 8 * n + 4, attr2);
    }
    SetIo(machine.m, 0x050, 0x3F41);  // BG0 blended over everything else
    SetIo(machine.m, 0x052, 0x0A06);
    SetIo(machine.m, Io::DISPCNT, 0x1F40);
    for (auto _ : state) RenderFrame(machine.m);
}

void RotatedScene(benchmark::State& state) {
    TestMachine machine;
    std::mt19937 random(2);
    FillRandomVideoMemory(machine, random);
    SetIo(machine.m, Io::BG0CNT + 4, 0x0002 | 0 << 2 | 24 << 8 | 0x2000 | 0x4000);  // 256 x 256, wrapping
    SetIo(machine.m, Io::BG0CNT + 6, 0x0003 | 1 << 2 | 28 << 8 | 0x8000);           // 512 x 512
    // About 30 degrees, scaled by 1.25 and 0.8.
    const int16_t parameters[2][4] = {{277, -160, 160, 277}, {177, 102, -102, 177}};
    for (uint32_t k = 0; k < 2; ++k)
        for (uint32_t p = 0; p < 4; ++p) SetIo(machine.m, Io::BG2PA + 0x10 * k + 2 * p, uint16_t(parameters[k][p]));
    for (uint32_t n = 0; n < 128; ++n) {
        const uint16_t attr0 =
            uint16_t((random() % 160) | 0x0100 | (n % 4 == 0 ? 0x0200 : 0) | (n % 3 == 0 ? 0x2000 : 0));
        const uint16_t attr1 = uint16_t((random() % 240) | 0x8000 | (n & 31) << 9);
        const uint16_t attr2 = uint16_t((random() & 0x3FF) | (n & 3) << 10);
        machine.Write16(0x07000000 + 8 * n, attr0);
        machine.Write16(0x07000000 + 8 * n + 2, attr1);
        machine.Write16(0x07000000 + 8 * n + 4, attr2);
        machine.Write16(0x07000000 + 32 * (n & 31) + 6 + 8 * (n & 3), uint16_t(int16_t(random() % 512 - 256)));
    }
    SetIo(machine.m, Io::DISPCNT, 0x1C02);
    for (auto _ : state) RenderFrame(machine.m);
}

BENCHMARK(BusyTextScene)->Unit(benchmark::kMillisecond);
BENCHMARK(RotatedScene)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
