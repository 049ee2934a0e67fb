#include "video/affine_background.h"

#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "video/line_buffers.h"

namespace {

template <EffectVariant Variant, bool Mosaic, bool SecondTarget>
void DrawAffineLine(uint32_t line, uint32_t entry) {
    const uint8_t* vram = Vram();
    const uint8_t* palette = PaletteRam();
    const EffectFactors factors = CurrentEffectFactors();

    const uint32_t control = entry & 0xFFFF;
    const uint32_t background = (entry >> 28) & 3;
    const AffineBackground& affine = AffineState[background & 1];
    const uint8_t layerBit = uint8_t(1u << background);
    const uint32_t charBase = ((control >> 2) & 3) * 0x4000;
    const uint32_t screenBase = ((control >> 8) & 31) * 0x800;
    const uint32_t sizeShift = (control >> 14) & 3;
    const uint32_t size = 128u << sizeShift;
    // Without wrap-around the integer part keeps all its bits, so anything
    // off the map fails the range test below; with it, the map repeats.
    const int32_t wrapMask = (control & 0x2000) ? int32_t(size - 1) : -1;
    const uint32_t mosaic = ReadIoHalf(Io::MOSAIC);
    const int32_t mosaicWidth = int32_t(mosaic & 15) + 1;
    const int32_t mosaicHeight = int32_t((mosaic >> 4) & 15) + 1;

    uint16_t* out = SurfaceLine(line);
    const uint8_t* windows = WindowLine();
    uint16_t* partners = SecondTargets();

    int32_t textureX = affine.CurX;
    int32_t textureY = affine.CurY;
    for (int32_t x = 0; x < ScreenWidth; ++x) {
        int32_t tx = (textureX >> 8) & wrapMask;
        int32_t ty = (textureY >> 8) & wrapMask;
        textureX += affine.PA;
        textureY += affine.PC;
        if (!(windows[x] & layerBit) || uint32_t(tx) >= size || uint32_t(ty) >= size) continue;
        if constexpr (Mosaic) {
            tx -= tx % mosaicWidth;
            ty -= ty % mosaicHeight;
        }
        const uint32_t tile = vram[screenBase + (uint32_t(ty & ~7) << (sizeShift + 1)) + (uint32_t(tx) >> 3)];
        const uint32_t index = vram[charBase + tile * 64 + uint32_t(ty & 7) * 8 + uint32_t(tx & 7)];
        if (index == 0) continue;
        const uint16_t colour = PaletteColour(palette, index);
        out[x] = FinishPixel<Variant>(colour, partners[x], factors);
        if constexpr (SecondTarget) partners[x] = colour;
    }
}

}  // namespace

template <EffectVariant Variant>
void AffineBgRenderer(uint32_t line, uint32_t entry) {
    const bool mosaic = entry & 0x40;
    const bool secondTarget = entry & (1u << 27);
    if (mosaic)
        secondTarget ? DrawAffineLine<Variant, true, true>(line, entry)
                     : DrawAffineLine<Variant, true, false>(line, entry);
    else
        secondTarget ? DrawAffineLine<Variant, false, true>(line, entry)
                     : DrawAffineLine<Variant, false, false>(line, entry);
}

template void AffineBgRenderer<EffectVariant::None>(uint32_t, uint32_t);
template void AffineBgRenderer<EffectVariant::Blend>(uint32_t, uint32_t);
template void AffineBgRenderer<EffectVariant::Brighten>(uint32_t, uint32_t);
template void AffineBgRenderer<EffectVariant::Darken>(uint32_t, uint32_t);
