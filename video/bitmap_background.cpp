#include "video/bitmap_background.h"

#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "video/line_buffers.h"

namespace {

struct BitmapSize {
    int32_t width, height;
};

constexpr BitmapSize SizeOf(uint32_t mode) { return mode == 5 ? BitmapSize{160, 128} : BitmapSize{240, 160}; }

template <uint32_t Mode, EffectVariant Variant, bool Mosaic, PartnerWrite Partners>
void DrawBitmapLine(Machine& m, uint32_t line, uint32_t frame) {
    constexpr BitmapSize size = SizeOf(Mode);
    constexpr uint8_t layerBit = 1u << 2;  // always BG2
    const uint8_t* pixels = m.Vram.data() + ((frame - VramBusBase) & 0xA000);
    const uint8_t* palette = m.Palette.data();
    const AffineBackground& affine = m.AffineState[0];
    const MosaicSize mosaic = MosaicOf(ReadIoHalf(m, Io::MOSAIC), 0);

    // The colour at bitmap pixel (bx, by); false off the bitmap.
    const auto sample = [&](int32_t bx, int32_t by, uint16_t& colour) {
        if (uint32_t(bx) >= uint32_t(size.width) || uint32_t(by) >= uint32_t(size.height)) return false;
        const uint32_t pixel = uint32_t(by * size.width + bx);
        colour = Mode == 4 ? PaletteColour(palette, pixels[pixel]) : HalfAt(pixels + 2 * pixel);
        return true;
    };

    const LayerPixels<Variant, Partners> out = LinePixels<Variant, Partners>(m, line);
    const AffinePoint start = AffineLineStart(affine, line, Mosaic ? mosaic.height : 1);
    int32_t bitmapX = start.x;
    int32_t bitmapY = start.y;
    uint16_t colour = 0;
    bool inside = false;
    for (int32_t x = 0; x < ScreenWidth; ++x) {
        const int32_t bx = bitmapX >> 8;
        const int32_t by = bitmapY >> 8;
        bitmapX += affine.PA;
        bitmapY += affine.PC;
        // Horizontal mosaic samples at the first pixel of each block.
        if (!Mosaic || x % mosaic.width == 0) inside = sample(bx, by, colour);
        if (!inside || !(out.windows[x] & layerBit)) continue;
        out.Put(x, colour, true);
    }
}

}  // namespace

template <uint32_t Mode, EffectVariant Variant>
void BitmapBgRenderer(Machine& m, uint32_t line, uint32_t frame) {
    const uint16_t bldcnt = ReadIoHalf(m, Io::BLDCNT);
    const PartnerWrite partners = PartnerWriteFor(m, bldcnt & (1u << 10));
    // Mode 3 has a single frame at the start of VRAM.
    if constexpr (Mode == 3) frame = VramBusBase;
    WithFlag(ReadIoHalf(m, Io::BG2CNT) & 0x40, [&](auto mosaic) {
        WithPartnerWrite(partners,
                         [&](auto write) { DrawBitmapLine<Mode, Variant, mosaic(), write()>(m, line, frame); });
    });
}

template void BitmapBgRenderer<3, EffectVariant::None>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<3, EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<3, EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<3, EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<4, EffectVariant::None>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<4, EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<4, EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<4, EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<5, EffectVariant::None>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<5, EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<5, EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
template void BitmapBgRenderer<5, EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
