#pragma once
// Which sprites each line shows. OAM holds 128 entries, of which a line
// usually shows a handful; walking all of them on every line costs more
// than drawing the few. So OAM is decoded once into per-line lists, which
// stay valid as long as OAM and the DISPCNT bits that shape the decoding
// stay as they were.
//
// Games write OAM by CPU stores, DMA, the BIOS copy functions, and a
// snapshot load replaces it whole; rather than hooking every one of those
// paths, the lists keep the OAM contents they were made from and each line
// compares OAM with them (a kilobyte, far cheaper than decoding it). A
// change, at whatever line, rebuilds the lists of the lines still to come.

#include <array>
#include <cstdint>

#include "video/colour_tables.h"

inline constexpr uint32_t OamEntries = 128;
inline constexpr uint32_t OamBytes = 1024;
inline constexpr uint32_t ListedLines = 160;

// Width and height of a sprite in tiles, and log2 of the width, by shape
// (square, wide, tall, and 3 which draws as square) and size.
struct SpriteShape {
    uint8_t widthTiles, heightTiles, widthShift;
};
extern const SpriteShape SpriteShapeTable[4][4];

// Sprite modes (attr0 bits 10-11).
enum SpriteMode : uint32_t { ModeNormal = 0, ModeSemiTransparent = 1, ModeObjWindow = 2, ModeHidden = 3 };

// One OAM entry that is drawn somewhere on the screen, decoded.
struct Sprite {
    uint32_t attr0, attr1, attr2;
    uint32_t priority, mode;
    int32_t x, y;
    int32_t textureWidth, textureHeight;  // pixels
    int32_t boxWidth, boxHeight;          // twice the texture for double size
    uint32_t widthShift;                  // log2 of the texture width in tiles
    bool colour256;
    uint32_t tileOffset;  // first tile, in bytes from the tile area
};

// The decoded sprites and, for each line, the ones that cover it in drawing
// order (OAM entry 127 first, so that lower-numbered sprites end up in
// front). The machine's Sprites.
struct LineSprites {
    // What the lists were made from: OAM, and DISPCNT's mode and mapping
    // bits.
    std::array<uint8_t, OamBytes> oam{};
    uint32_t layout = 0;
    // Lines from here on have their lists; ListedLines when none has.
    uint32_t firstListed = ListedLines;

    std::array<Sprite, OamEntries> decoded{};
    std::array<uint8_t, ListedLines> counts{};
    // Whether a semi-transparent sprite covers the line: it reads the blend
    // partner beneath it whatever BLDCNT says.
    std::array<bool, ListedLines> semiTransparent{};
    // The priority levels (bit 0-3) of the drawn sprites covering the line.
    std::array<uint8_t, ListedLines> levels{};
    std::array<std::array<uint8_t, OamEntries>, ListedLines> lists{};
};

struct Machine;

// The sprites covering a line, as indices into decoded.
struct LineSpriteList {
    const Sprite* decoded;
    const uint8_t* indices;
    uint32_t count;
    bool semiTransparent;
    uint8_t levels;
};

// Brings the lists up to date with OAM and DISPCNT (PrepareLine does it at
// every line that shows sprites or the OBJ window) and returns the line's.
LineSpriteList UpdateLineSprites(Machine& m, uint32_t line);

// The line's list as the last update left it.
LineSpriteList SpritesOnLine(const Machine& m, uint32_t line);
