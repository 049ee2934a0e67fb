#include "video/text_background.h"

#include <type_traits>

#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "video/line_buffers.h"

namespace {

// The map is read once per tile; the tile row's pixels are then unrolled.
// Colour depth, mosaic and how the layer leaves the blend partner for later
// layers are fixed for the line, so each combination is its own loop.
template <EffectVariant Variant, bool Colour256, bool Mosaic, PartnerWrite Partners>
void DrawTextLine(Machine& m, uint32_t line, uint32_t entry) {
    const uint8_t* vram = m.Vram.data();
    const uint8_t* palette = m.Palette.data();

    const uint32_t control = entry & 0xFFFF;
    const uint32_t background = BgEntryNumber(entry);
    const uint8_t layerBit = uint8_t(1u << background);
    const uint32_t charBase = ((control >> 2) & 3) * 0x4000;
    const uint32_t screenBase = ((control >> 8) & 31) * 0x800;
    const bool wide = control & 0x4000;
    const bool tall = control & 0x8000;
    const uint32_t hofs = ReadIoHalf(m, Io::BG0HOFS + 4 * background);
    const uint32_t vofs = ReadIoHalf(m, Io::BG0HOFS + 2 + 4 * background);
    const MosaicSize mosaic = MosaicOf(ReadIoHalf(m, Io::MOSAIC), 0);

    // Vertical mosaic repeats the first screen line of each block.
    const uint32_t shownLine = Mosaic ? line - line % uint32_t(mosaic.height) : line;
    const uint32_t y = (vofs + shownLine) & (tall ? 511 : 255);
    // The lower half of a tall map is the next screen block, or the one
    // after the right-hand pair when the map is also wide.
    uint32_t mapRow = screenBase + (y & 0xF8) * 8;
    if (y > 255) mapRow += wide ? 0x1000 : 0x800;
    const uint32_t tileRow = y & 7;

    const uint32_t columnMask = wide ? 63 : 31;
    uint32_t column = (hofs >> 3) & columnMask;
    const int32_t fine = int32_t(hofs & 7);

    // Everything is indexed from x = -fine, the first pixel drawn.
    LayerPixels<Variant, Partners> pixels = LinePixels<Variant, Partners>(m, line);
    pixels.out -= fine;
    pixels.partners -= fine;
    pixels.windows -= fine;

    constexpr uint32_t bytesPerRow = Colour256 ? 8 : 4;
    // Horizontal mosaic holds a pixel for the rest of its block; the first
    // block boundary at or after x = -fine is screen x 0 less a multiple of
    // the block width, at loop position fine mod width.
    const uint32_t holdLength = Mosaic ? uint32_t(mosaic.width - 1) : 0;
    uint32_t hold = Mosaic ? uint32_t(fine % mosaic.width) : 0;
    uint32_t index = 0;

    for (int32_t tileX = 0; tileX < 248; tileX += 8) {
        const uint32_t mapEntry = HalfAt(vram + mapRow + 2 * ((column & 32 ? 1024 : 0) + (column & 31)));
        column = (column + 1) & columnMask;
        const uint32_t rowInTile = (mapEntry & 0x800) ? 7 - tileRow : tileRow;
        // The whole tile row in one register: pixel p is bits 4p-4p+3
        // (16 colours) or 8p-8p+7 (256 colours).
        using RowBits = std::conditional_t<Colour256, uint64_t, uint32_t>;
        const RowBits rowBits = LoadLittle<RowBits>(
            vram + MirrorVramOffset(charBase + (mapEntry & 0x3FF) * bytesPerRow * 8 + rowInTile * bytesPerRow));
        // A blank tile row draws nothing, unless mosaic carries a pixel of
        // the previous tile into it.
        if (!Mosaic && rowBits == 0) continue;
        const uint32_t flip = (mapEntry & 0x400) ? 7 : 0;
        const uint32_t bank = Colour256 ? 0 : (mapEntry >> 12) * 16;

        for (int32_t k = 0; k < 8; ++k) {
            if (!Mosaic || hold == 0) {
                const uint32_t pixel = uint32_t(k) ^ flip;
                index = uint32_t(rowBits >> (pixel * (Colour256 ? 8 : 4))) & (Colour256 ? 0xFF : 0xF);
                hold = holdLength;
            } else {
                --hold;
            }
            const int32_t x = tileX + k;
            pixels.Put(x, PaletteColour(palette, index + bank), index != 0 && (pixels.windows[x] & layerBit));
        }
    }
}

}  // namespace

template <EffectVariant Variant>
void TextBgRenderer(Machine& m, uint32_t line, uint32_t entry) {
    const PartnerWrite partners = PartnerWriteFor(ReadIoHalf(m, Io::BLDCNT), entry & (1u << 27));
    WithFlag(entry & 0x80, [&](auto colour256) {
        WithFlag(entry & 0x40, [&](auto mosaic) {
            WithPartnerWrite(
                partners, [&](auto write) { DrawTextLine<Variant, colour256(), mosaic(), write()>(m, line, entry); });
        });
    });
}

template void TextBgRenderer<EffectVariant::None>(Machine&, uint32_t, uint32_t);
template void TextBgRenderer<EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
template void TextBgRenderer<EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
template void TextBgRenderer<EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
