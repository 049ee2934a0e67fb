#include "video/bitmap_background.h"

#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "video/line_buffers.h"

namespace {

constexpr uint32_t BLDCNT_BG2_SECOND = 1u << 10;

struct BitmapGeometry {
    int32_t width, height;
    int32_t firstLine, endLine;  // screen lines drawn
    int32_t firstX;              // screen x of the first pixel
};

constexpr BitmapGeometry GeometryOf(uint32_t mode) {
    // Mode 5's smaller picture is centred: 40 columns and 16 lines of
    // border on each side show the backdrop and sprites only.
    if (mode == 5) return {160, 128, 16, 144, 40};
    return {240, 160, 0, 160, 0};
}

template <uint32_t Mode, EffectVariant Variant, bool Mosaic, bool SecondTarget>
void DrawBitmapLine(uint32_t line, uint32_t frame) {
    constexpr BitmapGeometry geometry = GeometryOf(Mode);
    if (int32_t(line) < geometry.firstLine || int32_t(line) >= geometry.endLine) return;

    const uint8_t* pixels = Vram() + ((frame - VramBusBase) & 0xA000);
    const uint8_t* palette = PaletteRam();
    const EffectFactors factors = CurrentEffectFactors();
    const AffineBackground& affine = AffineState[0];
    const uint32_t mosaic = ReadIoHalf(Io::MOSAIC);
    const int32_t mosaicWidth = int32_t(mosaic & 15) + 1;
    const int32_t mosaicHeight = int32_t((mosaic >> 4) & 15) + 1;

    uint16_t* out = SurfaceLine(line) + geometry.firstX;
    uint16_t* partners = SecondTargets() + geometry.firstX;

    // The start point in AffineState belongs to the screen line; the
    // centred picture's first line is screen line firstLine, so the walk
    // starts where the affine step would be that many lines earlier.
    int32_t bitmapX = affine.CurX - geometry.firstLine * affine.PB;
    int32_t bitmapY = affine.CurY - geometry.firstLine * affine.PD;
    for (int32_t i = 0; i < geometry.width; ++i) {
        int32_t bx = bitmapX >> 8;
        int32_t by = bitmapY >> 8;
        bitmapX += affine.PA;
        bitmapY += affine.PC;
        // C++ remainders truncate towards zero, so a coordinate just left of
        // (or above) the bitmap rounds up to 0 and is drawn.
        if constexpr (Mosaic) {
            bx -= bx % mosaicWidth;
            by -= by % mosaicHeight;
        }
        if (uint32_t(bx) >= uint32_t(geometry.width) || uint32_t(by) >= uint32_t(geometry.height)) continue;
        const uint32_t pixel = uint32_t(by * geometry.width + bx);
        uint16_t colour;
        if constexpr (Mode == 4)
            colour = PaletteColour(palette, pixels[pixel]);
        else
            colour = HalfAt(pixels + 2 * pixel);
        out[i] = FinishPixel<Variant>(colour, partners[i], factors);
        if constexpr (SecondTarget) partners[i] = colour;
    }
}

}  // namespace

template <uint32_t Mode, EffectVariant Variant>
void BitmapBgRenderer(uint32_t line, uint32_t frame) {
    const bool mosaic = ReadIoHalf(Io::BG0CNT + 4) & 0x40;
    const bool secondTarget = ReadIoHalf(Io::BLDCNT) & BLDCNT_BG2_SECOND;
    // Mode 3 has a single frame at the start of VRAM.
    if constexpr (Mode == 3) frame = VramBusBase;
    if (mosaic)
        secondTarget ? DrawBitmapLine<Mode, Variant, true, true>(line, frame)
                     : DrawBitmapLine<Mode, Variant, true, false>(line, frame);
    else
        secondTarget ? DrawBitmapLine<Mode, Variant, false, true>(line, frame)
                     : DrawBitmapLine<Mode, Variant, false, false>(line, frame);
}

template void BitmapBgRenderer<3, EffectVariant::None>(uint32_t, uint32_t);
template void BitmapBgRenderer<3, EffectVariant::Brighten>(uint32_t, uint32_t);
template void BitmapBgRenderer<3, EffectVariant::Darken>(uint32_t, uint32_t);
template void BitmapBgRenderer<4, EffectVariant::None>(uint32_t, uint32_t);
template void BitmapBgRenderer<4, EffectVariant::Brighten>(uint32_t, uint32_t);
template void BitmapBgRenderer<4, EffectVariant::Darken>(uint32_t, uint32_t);
template void BitmapBgRenderer<5, EffectVariant::None>(uint32_t, uint32_t);
template void BitmapBgRenderer<5, EffectVariant::Brighten>(uint32_t, uint32_t);
template void BitmapBgRenderer<5, EffectVariant::Darken>(uint32_t, uint32_t);
