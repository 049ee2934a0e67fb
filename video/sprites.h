#pragma once
// Sprites (OBJs): 128 entries in OAM, each a rectangle of 8 x 8 tiles of 16
// or 256 colours from the sprite half of VRAM, drawn either straight (with
// optional flips) or through a rotation-scaling matrix. Sprites in OBJ
// window mode draw no pixels: their opaque pixels shape the OBJ window.

#include <array>
#include <cstdint>

#include "video/colour_tables.h"
#include "video/render_line.h"
#include "video/sprite_lists.h"

// What stays the same for every sprite of a line.
struct SpriteContext {
    const uint8_t* vram;
    const uint8_t* oam;
    const LineBuffers* lines;
    bool oneDimensional;
    uint32_t mosaic;
};

struct Machine;

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
