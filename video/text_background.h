#pragma once
// Tiled ("text") backgrounds: BG0-BG3 in display mode 0, BG0 and BG1 in
// mode 1. A map of 16-bit entries (tile number, flips, palette bank) in
// 32 x 32 screen blocks, over 8 x 8 tiles of 16 or 256 colours.

#include <cstdint>

struct Machine;

#include "video/colour_tables.h"

// Draws one line of the background described by a BgOrderList entry
// (BGxCNT in bits 0-15, second-target flag in bit 27, background number in
// bits 28-29). 248 pixels are always processed, starting up to 7 pixels
// left of the screen, so fine scrolling needs no clipping.
template <EffectVariant Variant>
void TextBgRenderer(Machine& m, uint32_t line, uint32_t entry);

extern template void TextBgRenderer<EffectVariant::None>(Machine&, uint32_t, uint32_t);
extern template void TextBgRenderer<EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
extern template void TextBgRenderer<EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
extern template void TextBgRenderer<EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
