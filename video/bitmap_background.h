#pragma once
// Bitmap backgrounds: BG2 in display modes 3 (240 x 160 direct colour),
// 4 (240 x 160 palette indices, two frames) and 5 (160 x 128 direct colour,
// two frames). Each is walked with the same affine step as a
// rotation-scaling background, so games can scale the small mode-5 bitmap
// up to the whole screen. Bitmaps have no transparent colour, but like any
// layer they obey the windows and take part in the colour effects; outside
// the bitmap BG2 is transparent (bitmaps never wrap).

#include <cstdint>

struct Machine;

#include "video/colour_tables.h"

// Draws one line of the bitmap of display mode Mode (3, 4 or 5) whose frame
// starts at bus address frame (VRAM, or VRAM + 0xA000 for the second frame
// of modes 4 and 5).
template <uint32_t Mode, EffectVariant Variant>
void BitmapBgRenderer(Machine& m, uint32_t line, uint32_t frame);

extern template void BitmapBgRenderer<3, EffectVariant::None>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<3, EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<3, EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<3, EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<4, EffectVariant::None>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<4, EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<4, EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<4, EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<5, EffectVariant::None>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<5, EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<5, EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
extern template void BitmapBgRenderer<5, EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
