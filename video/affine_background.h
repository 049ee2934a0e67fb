#pragma once
// Rotation-scaling tiled backgrounds: BG2 in mode 1, BG2 and BG3 in mode 2.
// The screen line is walked through a square map of one-byte tile numbers
// (128 to 1024 pixels on a side) with the step (PA, PC) from the line's
// start point in AffineState; tiles are always 256 colours.

#include <cstdint>

struct Machine;

#include "video/colour_tables.h"

// Draws one line of BG2 or BG3 from its BgOrderList entry. AffineState is
// only read: the scanline driver moves the start point from line to line.
template <EffectVariant Variant>
void AffineBgRenderer(Machine& m, uint32_t line, uint32_t entry);

extern template void AffineBgRenderer<EffectVariant::None>(Machine&, uint32_t, uint32_t);
extern template void AffineBgRenderer<EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
extern template void AffineBgRenderer<EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
extern template void AffineBgRenderer<EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
