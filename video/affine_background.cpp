#include "video/affine_background.h"

#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "video/line_buffers.h"

namespace {

template <EffectVariant Variant, bool Mosaic, PartnerWrite Partners>
void DrawAffineLine(Machine& m, uint32_t line, uint32_t entry) {
    const uint8_t* vram = m.Vram.data();
    const uint8_t* palette = m.Palette.data();

    const uint32_t control = entry & 0xFFFF;
    const uint32_t background = BgEntryNumber(entry);
    const AffineBackground& affine = m.AffineState[background & 1];
    const uint8_t layerBit = uint8_t(1u << background);
    const uint32_t charBase = ((control >> 2) & 3) * 0x4000;
    const uint32_t screenBase = ((control >> 8) & 31) * 0x800;
    const uint32_t sizeShift = (control >> 14) & 3;
    const uint32_t size = 128u << sizeShift;
    // Without wrap-around the integer part keeps all its bits, so anything
    // off the map fails the range test below; with it, the map repeats.
    const int32_t wrapMask = (control & 0x2000) ? int32_t(size - 1) : -1;
    const MosaicSize mosaic = MosaicOf(ReadIoHalf(m, Io::MOSAIC), 0);

    // The colour index at texture pixel (tx, ty), 0 (transparent) off the map.
    const auto sample = [&](int32_t tx, int32_t ty) -> uint32_t {
        if (uint32_t(tx) >= size || uint32_t(ty) >= size) return 0;
        const uint32_t tile = vram[screenBase + (uint32_t(ty & ~7) << (sizeShift + 1)) + (uint32_t(tx) >> 3)];
        return vram[charBase + tile * 64 + uint32_t(ty & 7) * 8 + uint32_t(tx & 7)];
    };

    const LayerPixels<Variant, Partners> pixels = LinePixels<Variant, Partners>(m, line);
    const AffinePoint start = AffineLineStart(affine, line, Mosaic ? mosaic.height : 1);
    int32_t textureX = start.x;
    int32_t textureY = start.y;
    uint32_t index = 0;
    for (int32_t x = 0; x < ScreenWidth; ++x) {
        const int32_t tx = (textureX >> 8) & wrapMask;
        const int32_t ty = (textureY >> 8) & wrapMask;
        textureX += affine.PA;
        textureY += affine.PC;
        if constexpr (Mosaic) {
            // Horizontal mosaic samples at the first pixel of each block.
            if (x % mosaic.width == 0) index = sample(tx, ty);
            if (index == 0 || !(pixels.windows[x] & layerBit)) continue;
        } else {
            if (!(pixels.windows[x] & layerBit)) continue;
            index = sample(tx, ty);
            if (index == 0) continue;
        }
        pixels.Put(x, PaletteColour(palette, index), true);
    }
}

}  // namespace

template <EffectVariant Variant>
void AffineBgRenderer(Machine& m, uint32_t line, uint32_t entry) {
    const PartnerWrite partners = PartnerWriteFor(m, entry & (1u << 27));
    WithFlag(entry & 0x40, [&](auto mosaic) {
        WithPartnerWrite(partners, [&](auto write) { DrawAffineLine<Variant, mosaic(), write()>(m, line, entry); });
    });
}

template void AffineBgRenderer<EffectVariant::None>(Machine&, uint32_t, uint32_t);
template void AffineBgRenderer<EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
template void AffineBgRenderer<EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
template void AffineBgRenderer<EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
