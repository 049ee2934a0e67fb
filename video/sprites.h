#pragma once
// Sprites (OBJs): 128 entries in OAM, each a rectangle of 8 x 8 tiles of 16
// or 256 colours from the sprite half of VRAM, drawn either straight (with
// optional flips) or through a rotation-scaling matrix. Sprites in OBJ
// window mode draw no pixels: their opaque pixels shape the OBJ window.

#include <array>
#include <cstdint>

#include "video/colour_tables.h"

// Width and height of a sprite in tiles, and log2 of the width, by shape
// (square, wide, tall, and 3 which draws as square) and size.
struct SpriteShape {
    uint8_t widthTiles, heightTiles, widthShift;
};
extern const SpriteShape SpriteShapeTable[4][4];

// What stays the same for every sprite of a line.
struct SpriteContext {
    const uint8_t* vram;
    const uint8_t* oam;
    // Sprite tiles live in the top 32 KB of VRAM (tile numbers 0-1023, a
    // tile address wraps round inside it, so no register value reaches
    // outside). In the bitmap modes the bitmaps own its lower 16 KB, which
    // the sprite unit then cannot read: a sprite whose first tile lies
    // there (below tile 512) is transparent.
    uint32_t firstTile;
    bool oneDimensional;
    uint32_t mosaic;
};

// One OAM entry as it covers the current line.
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

// The sprites of the line being drawn (the machine's Sprites), in drawing order (OAM entry 127
// first, so that lower-numbered sprites end up in front). OAM cannot change
// while a line is rendered, so one pass over it serves the OBJ window and
// all four priority levels.
struct LineSprites {
    SpriteContext context;
    uint32_t count = 0;
    std::array<Sprite, 128> sprites;
};

struct Machine;

// Reads OAM once for a line: which entries are drawn and cover it. The two
// functions below draw from this list, so it is gathered first on every
// line (PrepareLine does it); OAM cannot change while a line is drawn.
void GatherLineSprites(Machine& m, uint32_t line);

// Draws every normal and semi-transparent sprite of one priority level
// (0-3) into the line, OAM entry 127 first so that lower-numbered sprites end
// up in front. Variant is the colour effect of normal sprites; semi-
// transparent ones always blend with the second target beneath them.
template <EffectVariant Variant>
void SpriteRenderer(Machine& m, uint32_t line, uint32_t priority);

extern template void SpriteRenderer<EffectVariant::None>(Machine&, uint32_t, uint32_t);
extern template void SpriteRenderer<EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
extern template void SpriteRenderer<EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
extern template void SpriteRenderer<EffectVariant::Darken>(Machine&, uint32_t, uint32_t);

// Marks the opaque pixels of every OBJ-window sprite on the line in
// WindowMaskLine with WINOUT bits 8-15, over whatever the other windows put
// there.
void ObjWindowOverlay(Machine& m, uint32_t line);
