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

constexpr uint32_t SceneCount = 128;
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
    0xF383ADBD688EC8F5u, 0xF2C1022BAC827EAFu, 0x04B311BA89A1D107u,
    0x097D88843C59342Du, 0x24E6E01CE967DDECu, 0xC56D317159A33AD4u,
    0x53771F70299BFE2Eu, 0x6D413B8D2FA80E4Cu, 0x10974118DA1F4F25u,
    0x029F09AC0EE4A64Eu, 0xAAE6CCB4F4C7A325u, 0xA6727027C177C5DDu,
    0xBAC88F9F9A729130u, 0xDD484F20EA5A3325u, 0x433F5881D43FDF9Eu,
    0xBDDEB58FD69A3CEDu, 0xFE1B3933557EFA27u, 0xB808051B89300838u,
    0xE3F674287B2FBBB9u, 0x74E5126DB16318B2u, 0x6FCF6CAFB76C615Au,
    0x935B11B006B2AF98u, 0x7F3B74AEC5DA216Du, 0x4B1BAD87BB23276Bu,
    0xA83AF66027050737u, 0x7EDA8EFB9E7C3B25u, 0xC74B97FC4260ED11u,
    0x8435AA8773574962u, 0xD50E61A74170A998u, 0xD9033D24A416DFBCu,
    0x1127DEB4C01D7AD4u, 0x136B2B55C7FD3BF2u, 0x8691118133715005u,
    0x06B21A1FF88B9DD4u, 0x83789DEE760B32E6u, 0x072926D863E55CE8u,
    0x6B072E1B72AFAA6Fu, 0x97BB2BDD3D521C3Bu, 0x9864517A7FAB3C55u,
    0x4659056187191725u, 0x4659056187191725u, 0x2C95C1649A3272B3u,
    0xC9BB211E5D7D6C6Cu, 0x8707CD7AD4CECB25u, 0x7FB9A4AA9D8C2418u,
    0x9C47EA1D210639CBu, 0xE04E96403C8BB855u, 0x5CC3FE99F4BEE143u,
    0x120724A409D1C5D2u, 0x1932159C09A0DB25u, 0x15642251F4908341u,
    0x7112B53AFBDCC403u, 0x48AD10DE02A87A85u, 0x8192B7B01AF594D6u,
    0x9757E3AA206368A1u, 0x39459C1EECDD8B25u, 0x25DF22C22CB1A065u,
    0x0E6B6D15CE5FB387u, 0xE6382DCF26954DC0u, 0x1F139D588CF640D5u,
    0x28163C7293EC67B5u, 0x65DB148978B271C3u, 0x7730840D1CD5D2B8u,
    0xD8817EA73650A5D2u, 0x1EFC95BC09351539u, 0x574B78185291E8B9u,
    0x431F8CBEDB7F61DBu, 0x45C81AD8910F5F44u, 0x83943F26211BEF8Eu,
    0x28B886A346010587u, 0x7CFF62557EEE37CCu, 0xAFECCC0186CA8744u,
    0xC8E47FEC3156D452u, 0x74C0D1F4A5FAB78Au, 0xFB7247DEF4111F29u,
    0x6784452304D837E3u, 0x3B4906A2B7366E72u, 0x4BEA65D56AAB45C5u,
    0x38F9E7F2DB08BC3Eu, 0x4659056187191725u, 0x5CEE4EF8D1777C96u,
    0x8D99473B999A7F25u, 0x4B008891B6ED2670u, 0xAF702C8549D52B25u,
    0x3C0CC7FB27BB7F57u, 0x3644D3D6B845EDA9u, 0xF3CC4719BEB056F2u,
    0x15CD95B4F4B362D4u, 0xF23B29BAE23B7917u, 0x1878D89A10F43B92u,
    0x494A5959DF8F9B08u, 0xA099D8A5248FCF4Cu, 0xD634CD001B9509E5u,
    0x2AABEEC8F75CB3B0u, 0x6D421854823120A2u, 0xD63042FD9411D6C1u,
    0x87D7022A1DC7416Au, 0xFEBF47A51B08CE02u,
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
