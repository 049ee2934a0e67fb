#pragma once
// Sprites (OBJs): 128 entries in OAM, each a rectangle of 8 x 8 tiles of 16
// or 256 colours from the sprite half of VRAM, drawn either straight (with
// optional flips) or through a rotation-scaling matrix. Sprites in OBJ
// window mode draw no pixels: their opaque pixels shape the OBJ window.

#include <cstdint>

#include "video/colour_tables.h"

// Width and height of a sprite in tiles, and log2 of the width, by shape
// (square, wide, tall, and 3 which draws as square) and size.
struct SpriteShape {
    uint8_t widthTiles, heightTiles, widthShift;
};
extern const SpriteShape SpriteShapeTable[4][4];

// Reads OAM once for a line: which entries are drawn and cover it. The two
// functions below draw from this list, so it is gathered first on every
// line (PrepareLine does it); OAM cannot change while a line is drawn.
void GatherLineSprites(uint32_t line);

// Draws every normal and semi-transparent sprite of one priority level
// (0-3) into the line, OAM entry 127 first so that lower-numbered sprites end
// up in front. Variant is the colour effect of normal sprites; semi-
// transparent ones always blend with the second target beneath them.
template <EffectVariant Variant>
void SpriteRenderer(uint32_t line, uint32_t priority);

extern template void SpriteRenderer<EffectVariant::None>(uint32_t, uint32_t);
extern template void SpriteRenderer<EffectVariant::Blend>(uint32_t, uint32_t);
extern template void SpriteRenderer<EffectVariant::Brighten>(uint32_t, uint32_t);
extern template void SpriteRenderer<EffectVariant::Darken>(uint32_t, uint32_t);

// Marks the opaque pixels of every OBJ-window sprite on the line in
// WindowMaskLine with WINOUT bits 8-15, over whatever the other windows put
// there.
void ObjWindowOverlay(uint32_t line);
