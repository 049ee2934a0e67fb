#pragma once
// Bitmap backgrounds: BG2 in display modes 3 (240 x 160 direct colour),
// 4 (240 x 160 palette indices, two frames) and 5 (160 x 128 direct colour,
// two frames, shown centred on the screen). The bitmap is walked with the
// same affine step as a rotation-scaling background. Bitmaps have no
// transparent colour, ignore the windows, and are never alpha blended: the
// blend variant of each is the plain renderer.

#include <cstdint>

#include "video/colour_tables.h"

// Draws one line of the bitmap of display mode Mode (3, 4 or 5) whose frame
// starts at bus address frame (VRAM, or VRAM + 0xA000 for the second frame
// of modes 4 and 5).
template <uint32_t Mode, EffectVariant Variant>
void BitmapBgRenderer(uint32_t line, uint32_t frame);

extern template void BitmapBgRenderer<3, EffectVariant::None>(uint32_t, uint32_t);
extern template void BitmapBgRenderer<3, EffectVariant::Brighten>(uint32_t, uint32_t);
extern template void BitmapBgRenderer<3, EffectVariant::Darken>(uint32_t, uint32_t);
extern template void BitmapBgRenderer<4, EffectVariant::None>(uint32_t, uint32_t);
extern template void BitmapBgRenderer<4, EffectVariant::Brighten>(uint32_t, uint32_t);
extern template void BitmapBgRenderer<4, EffectVariant::Darken>(uint32_t, uint32_t);
extern template void BitmapBgRenderer<5, EffectVariant::None>(uint32_t, uint32_t);
extern template void BitmapBgRenderer<5, EffectVariant::Brighten>(uint32_t, uint32_t);
extern template void BitmapBgRenderer<5, EffectVariant::Darken>(uint32_t, uint32_t);
