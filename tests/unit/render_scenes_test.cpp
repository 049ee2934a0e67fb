// Random scenes in every display mode: VRAM, palette RAM, OAM and the
// display registers are filled from a seeded generator (all six modes and
// the two empty ones, windows, the OBJ window, colour effects, mosaic,
// straight, rotated, double-size, semi-transparent and window sprites in
// both mappings), three frames of each are rendered line by line, and a
// hash of the visible picture must match the one recorded for the scene.
// The second frame changes OAM, display registers and the affine reference
// in the middle of the frame, the third repeats the second's final state;
// so whatever the renderer caches between lines or frames must follow.
//
// The hashes were recorded from the straightforward renderer before the
// line renderers were made faster; a speed-up must leave every one as it
// is. A deliberate change of the picture records them anew: the failure
// message prints the whole table.

#include <gtest/gtest.h>

#include <array>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "machine/io_registers.h"
#include "tests/support/test_machine.h"
#include "video/render_line.h"

namespace {

constexpr uint32_t SceneCount = 32;
constexpr uint32_t FramesPerScene = 3;

// The generator's raw output only: distributions differ between standard
// libraries, the raw sequence of mt19937 does not.
struct Dice {
    std::mt19937 engine;
    uint32_t Next() { return engine(); }
    uint32_t Below(uint32_t n) { return engine() % n; }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
};

void SetIo(Machine& m, uint32_t offset, uint32_t value) { WriteIoRegister(m, 0x04000000 + offset, uint16_t(value)); }

// Tile data of three kinds: empty, dense, and sparse (most pixels
// transparent), so that blank tile rows, transparency and opaque runs all
// occur.
void FillVram(Machine& m, Dice& dice) {
    for (uint32_t chunk = 0; chunk < m.Vram.size(); chunk += 64) {
        const uint32_t kind = dice.Below(4);
        for (uint32_t i = 0; i < 64; i += 4) {
            uint32_t word = 0;
            if (kind == 1) word = dice.Next();
            if (kind >= 2) word = dice.Next() & dice.Next() & dice.Next();
            StoreLittle<uint32_t>(m.Vram.data() + chunk + i, word);
        }
    }
}

// Rotation-scaling parameters near the identity, or anything.
uint32_t AffineParameter(Dice& dice, bool diagonal) {
    if (dice.OneIn(8)) return dice.Next();
    if (dice.OneIn(2)) return diagonal ? 0x100 : 0;
    return uint32_t(int32_t(dice.Below(768)) - 384);
}

void RandomSprite(Machine& m, Dice& dice, uint32_t n) {
    uint8_t* entry = m.Oam.data() + 8 * n;
    uint32_t attr0 = dice.Next() & 0xFF00;
    attr0 |= dice.OneIn(4) ? dice.Below(256) : dice.Below(176);
    uint32_t attr1 = dice.Next() & 0xFE00;
    attr1 |= dice.OneIn(4) ? dice.Below(512) : dice.Below(256);
    StoreLittle<uint16_t>(entry, uint16_t(attr0));
    StoreLittle<uint16_t>(entry + 2, uint16_t(attr1));
    StoreLittle<uint16_t>(entry + 4, uint16_t(dice.Next()));
    StoreLittle<uint16_t>(entry + 6, uint16_t(AffineParameter(dice, n % 4 == 0 || n % 4 == 3)));
}

// OAM with between none and all of its 128 sprites on.
void FillOam(Machine& m, Dice& dice) {
    const uint32_t active = dice.OneIn(4) ? 128 : dice.Below(48);
    for (uint32_t n = 0; n < 128; ++n) {
        RandomSprite(m, dice, n);
        if (dice.Below(128) >= active) StoreLittle<uint16_t>(m.Oam.data() + 8 * n, 0x0200);  // switched off
    }
}

uint32_t RandomDispcnt(Dice& dice) {
    // Modes 0-5, now and then one of the two that show only the backdrop;
    // frame select, one-dimensional sprite mapping and the unused bit 3.
    uint32_t dispcnt = (dice.OneIn(16) ? 6 + dice.Below(2) : dice.Below(6)) | (dice.Next() & 0x58);
    if (dice.OneIn(32)) dispcnt |= 0x80;  // forced blank
    // Each layer mostly on, each window sometimes.
    for (uint32_t bit = 8; bit <= 12; ++bit) dispcnt |= dice.OneIn(4) ? 0 : 1u << bit;
    for (uint32_t bit = 13; bit <= 15; ++bit) dispcnt |= dice.OneIn(3) ? 1u << bit : 0;
    return dispcnt;
}

void RandomWindows(Machine& m, Dice& dice) {
    for (uint32_t w = 0; w < 2; ++w) {
        // Mostly well-formed rectangles, sometimes reversed or past the edge.
        const uint32_t left = dice.Below(250), top = dice.Below(170);
        const uint32_t right = dice.OneIn(4) ? dice.Below(256) : left + dice.Below(120);
        const uint32_t bottom = dice.OneIn(4) ? dice.Below(256) : top + dice.Below(100);
        SetIo(m, Io::WIN0H + 2 * w, (left & 0xFF) << 8 | (right & 0xFF));
        SetIo(m, Io::WIN0V + 2 * w, (top & 0xFF) << 8 | (bottom & 0xFF));
    }
    // Each layer mostly shown, in each of the four kinds of area.
    SetIo(m, Io::WININ, (dice.Next() | dice.Next()) & 0x3F3F);
    SetIo(m, Io::WINOUT, (dice.Next() | dice.Next()) & 0x3F3F);
}

void RandomEffects(Machine& m, Dice& dice) {
    SetIo(m, Io::BLDCNT, dice.Next() & 0x3FFF);
    SetIo(m, Io::BLDALPHA, dice.Next() & 0x1F1F);
    // EVY 16 and above turns every pixel it reaches white or black.
    SetIo(m, Io::BLDY, dice.Next() & (dice.OneIn(8) ? 0x1F : 0x0F));
    SetIo(m, Io::MOSAIC, dice.OneIn(2) ? 0 : dice.Next());
}

void RandomBackgrounds(Machine& m, Dice& dice) {
    for (uint32_t b = 0; b < 4; ++b) {
        SetIo(m, Io::BG0CNT + 2 * b, dice.Next());
        SetIo(m, Io::BG0HOFS + 4 * b, dice.Next());
        SetIo(m, Io::BG0HOFS + 4 * b + 2, dice.Next());
    }
    for (uint32_t k = 0; k < 2; ++k) {
        const uint32_t base = Io::BG2PA + 0x10 * k;
        for (uint32_t p = 0; p < 4; ++p) SetIo(m, base + 2 * p, AffineParameter(dice, p == 0 || p == 3));
        // Reference points mostly near the map, in 8.8 fixed point.
        for (uint32_t half = 0; half < 2; ++half) {
            const uint32_t point = dice.OneIn(16) ? dice.Next() : uint32_t(int32_t(dice.Below(160)) - 64) << 8;
            SetIo(m, base + 8 + 4 * half, point & 0xFFFF);
            SetIo(m, base + 10 + 4 * half, (point >> 16) & 0x0FFF);
        }
    }
}

void BuildScene(Machine& m, Dice& dice) {
    FillVram(m, dice);
    for (uint32_t i = 0; i < m.Palette.size(); i += 4) StoreLittle<uint32_t>(m.Palette.data() + i, dice.Next());
    FillOam(m, dice);
    RandomBackgrounds(m, dice);
    RandomWindows(m, dice);
    RandomEffects(m, dice);
    SetIo(m, Io::DISPCNT, RandomDispcnt(dice));
    m.LayerHideMask = dice.OneIn(8) ? uint8_t(dice.Next() & 0x1F) : 0;
}

// What a game may change between two lines.
void ChangeMidFrame(Machine& m, Dice& dice) {
    switch (dice.Below(8)) {
    case 0:
    case 1:
        for (uint32_t i = dice.Below(8); i > 0; --i) RandomSprite(m, dice, dice.Below(128));
        break;
    case 2: SetIo(m, Io::DISPCNT, ReadIoHalf(m, Io::DISPCNT) ^ (1u << dice.Below(16))); break;
    case 3: RandomWindows(m, dice); break;
    case 4: RandomEffects(m, dice); break;
    case 5: SetIo(m, Io::BG0HOFS + 2 * dice.Below(8), dice.Next()); break;
    case 6: SetIo(m, Io::BG0CNT + 2 * dice.Below(4), dice.Next()); break;
    case 7: SetIo(m, Io::BG2X_L + 0x10 * dice.Below(2), dice.Next()); break;
    }
}

// FNV-1a over the visible pixels.
uint64_t HashLine(uint64_t hash, const uint16_t* pixels) {
    for (int32_t x = 0; x < 240; ++x) {
        hash = (hash ^ (pixels[x] & 0xFF)) * 0x100000001B3u;
        hash = (hash ^ (pixels[x] >> 8)) * 0x100000001B3u;
    }
    return hash;
}

// One frame as the scanline driver draws it: the affine backgrounds start
// from their reference points and step by (PB, PD) after every line.
uint64_t RenderFrame(Machine& m, Dice& dice, bool changing, uint64_t hash) {
    for (AffineBackground& bg : m.AffineState) {
        bg.CurX = bg.RefX;
        bg.CurY = bg.RefY;
    }
    for (uint32_t line = 0; line < 160; ++line) {
        if (changing && dice.OneIn(12)) ChangeMidFrame(m, dice);
        StoreIoHalf(m, Io::VCOUNT, uint16_t(line));
        RenderLine(m);
        hash = HashLine(hash, m.FrameSurface.data() + line * SurfaceWidth + LineGuard);
        for (AffineBackground& bg : m.AffineState) {
            bg.CurX += bg.PB;
            bg.CurY += bg.PD;
        }
    }
    return hash;
}

uint64_t SceneHash(uint32_t scene) {
    TestMachine machine;
    Dice dice{std::mt19937(0x5CE0E000u + scene)};
    BuildScene(machine.m, dice);
    uint64_t hash = 0xCBF29CE484222325u;
    for (uint32_t frame = 0; frame < FramesPerScene; ++frame) hash = RenderFrame(machine.m, dice, frame == 1, hash);
    return hash;
}

// clang-format off
constexpr std::array<uint64_t, SceneCount> RecordedHashes = {
    0xFDFAD3AF0B2D2638u, 0xCD0240E1CC3F3325u, 0x35E8F0282B3C462Du,
    0x323BDDB83804617Fu, 0x1728BC64326394D6u, 0x178A2F72D8459933u,
    0x66A16AF08E76CF25u, 0x29F9064B7B5FD9EAu, 0xFD5C7E286379068Bu,
    0x717D2DE561A75125u, 0xB1317B452D48F98Cu, 0xDA7B626F8F6B711Bu,
    0x2539FCA27F2810C0u, 0xAAA8809DD445BE6Eu, 0x4659056187191725u,
    0xCEFE28B60223A73Au, 0xBADE92DB1FDAAB25u, 0x706A52ABA465B8DBu,
    0xB2FE5BB5373FCE35u, 0x6F0D9B4E7D585A92u, 0x513B5AE84F96C2BFu,
    0x68CC337DD19C76E9u, 0x6906A356FCCF7BCEu, 0x0B2938B995C94AD1u,
    0x9352FEC77848949Eu, 0x4BD0E2060E5FA39Bu, 0xD6127F570E566443u,
    0x2DC3D16D6CC70C25u, 0x0DB140D0FFBA4118u, 0xBCE8F0DBCC164EC5u,
    0xF383ADBD688EC8F5u, 0xF2C1022BAC827EAFu,
};
// clang-format on

TEST(RandomScenes, PicturesMatchTheRecordedOnes) {
    std::string table;
    uint32_t mismatches = 0;
    for (uint32_t scene = 0; scene < SceneCount; ++scene) {
        const uint64_t hash = SceneHash(scene);
        char text[32];
        std::snprintf(text, sizeof text, "0x%016" PRIX64 "u,%s", hash,
                      scene % 3 == 2 || scene + 1 == SceneCount ? "\n" : " ");
        table += text;
        if (hash != RecordedHashes[scene]) {
            ++mismatches;
            ADD_FAILURE() << "scene " << scene << " draws a different picture";
        }
    }
    if (mismatches) std::printf("The hashes this renderer gives:\n%s", table.c_str());
}

}  // namespace
