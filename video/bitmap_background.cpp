#include "video/bitmap_background.h"

#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "video/line_buffers.h"
#include "video/tile_row.h"

namespace {

struct BitmapSize {
    int32_t width, height;
};

constexpr BitmapSize SizeOf(uint32_t mode) { return mode == 5 ? BitmapSize{160, 128} : BitmapSize{240, 160}; }

// One line of the bitmap of display mode Mode: its pixels, and the walk
// over them from the line's start point with the step (PA, PC).
template <uint32_t Mode>
struct BitmapLine {
    static constexpr BitmapSize Size = SizeOf(Mode);

    const uint8_t* pixels;
    const uint8_t* palette;
    int32_t pa, pc;
    AffinePoint start;

    // The colour at bitmap pixel (bx, by), inside the bitmap.
    uint16_t Colour(int32_t bx, int32_t by) const {
        const uint32_t pixel = uint32_t(by * Size.width + bx);
        return Mode == 4 ? PaletteColour(palette, pixels[pixel]) : HalfAt(pixels + 2 * pixel);
    }
};

template <uint32_t Mode>
BitmapLine<Mode> BitmapLineOf(Machine& m, uint32_t line, uint32_t frame, int32_t mosaicHeight) {
    const AffineBackground& affine = m.AffineState[0];
    return {m.Vram.data() + ((frame - VramBusBase) & 0xA000), m.Palette.data(), affine.PA, affine.PC,
            AffineLineStart(affine, line, mosaicHeight)};
}

// The columns from begin to end inside one window run where BG2 draws. The
// walk is cut to the columns over the bitmap (bitmaps never wrap); those
// need no test, and an unscaled, unrotated line is a plain row of the
// bitmap. finished is the finished background palette (mode 4, when the
// finishing does not read the partner).
template <uint32_t Mode, EffectVariant Variant, PartnerWrite Partners>
[[gnu::noinline]] void DrawColumns(const BitmapLine<Mode>& bitmap, const LayerPixels<Variant, Partners> out,
                                   ColumnRange columns, bool effects, const uint16_t* finished) {
    constexpr BitmapSize size = BitmapLine<Mode>::Size;
    columns = InsideColumns(bitmap.start.x, bitmap.pa, size.width, columns);
    columns = InsideColumns(bitmap.start.y, bitmap.pc, size.height, columns);
    if (columns.begin >= columns.end) return;
    const auto put = [&](int32_t x, int32_t bx, int32_t by) {
        if constexpr (Mode == 4 && !FinishReadsPartner<Variant>) {
            const uint32_t index = bitmap.pixels[by * size.width + bx];
            out.StoreInRun(x, finished[index],
                           Partners == PartnerWrite::Colour ? PaletteColour(bitmap.palette, index) : 0);
        } else {
            out.PutInRun(x, bitmap.Colour(bx, by), effects);
        }
    };
    // The walk wraps round in 32 bits as the hardware's adders do.
    uint32_t bitmapX = uint32_t(bitmap.start.x) + uint32_t(bitmap.pa) * uint32_t(columns.begin);
    uint32_t bitmapY = uint32_t(bitmap.start.y) + uint32_t(bitmap.pc) * uint32_t(columns.begin);
    if (bitmap.pa == 256 && bitmap.pc == 0) {
        // Whole bitmap pixels, one per screen column, along one row.
        const int32_t by = int32_t(bitmapY) >> 8;
        const int32_t shift = (int32_t(bitmapX) >> 8) - columns.begin;
        for (int32_t x = columns.begin; x < columns.end; ++x) put(x, x + shift, by);
        return;
    }
    for (int32_t x = columns.begin; x < columns.end; ++x) {
        put(x, int32_t(bitmapX) >> 8, int32_t(bitmapY) >> 8);
        bitmapX += uint32_t(bitmap.pa);
        bitmapY += uint32_t(bitmap.pc);
    }
}

// A line under mosaic, pixel by pixel: horizontal mosaic samples the walk
// at the first pixel of each block.
template <uint32_t Mode, EffectVariant Variant, PartnerWrite Partners>
void DrawMosaicLine(Machine& m, uint32_t line, uint32_t frame) {
    constexpr BitmapSize size = BitmapLine<Mode>::Size;
    constexpr uint8_t layerBit = 1u << 2;  // always BG2
    const MosaicSize mosaic = MosaicOf(ReadIoHalf(m, Io::MOSAIC), 0);
    const BitmapLine<Mode> bitmap = BitmapLineOf<Mode>(m, line, frame, mosaic.height);
    const LayerPixels<Variant, Partners> out = LinePixels<Variant, Partners>(m, line);
    DrawMosaicWalk(out, bitmap.start, bitmap.pa, bitmap.pc, mosaic.width, layerBit,
                   [&](int32_t bx, int32_t by, uint16_t& colour) {
                       if (uint32_t(bx) >= uint32_t(size.width) || uint32_t(by) >= uint32_t(size.height)) return false;
                       colour = bitmap.Colour(bx, by);
                       return true;
                   });
}

template <uint32_t Mode, EffectVariant Variant, PartnerWrite Partners>
void DrawBitmapLine(Machine& m, uint32_t line, uint32_t frame) {
    if (ReadIoHalf(m, Io::BG2CNT) & 0x40) return DrawMosaicLine<Mode, Variant, Partners>(m, line, frame);
    const BitmapLine<Mode> bitmap = BitmapLineOf<Mode>(m, line, frame, 1);
    const LayerPixels<Variant, Partners> out = LinePixels<Variant, Partners>(m, line);
    ColourCache& colours = m.Lines.BackgroundColours;
    if constexpr (Mode == 4) CheckColourCache(colours, bitmap.palette, m.Lines, out.factors);
    ForEachDrawnRun(m.Lines, 1u << 2, [&](int32_t begin, int32_t end, bool effects) {
        const uint16_t* finished = nullptr;
        if constexpr (Mode == 4 && !FinishReadsPartner<Variant>)
            finished = FinishedPalette<Variant>(colours, effects, out.factors);
        DrawColumns<Mode>(bitmap, out, {begin, end}, effects, finished);
    });
}

}  // namespace

template <uint32_t Mode, EffectVariant Variant>
void BitmapBgRenderer(Machine& m, uint32_t line, uint32_t frame) {
    const PartnerWrite partners = PartnerWriteFor(m, ReadIoHalf(m, Io::BLDCNT) & (1u << 10));
    // Mode 3 has a single frame at the start of VRAM.
    if constexpr (Mode == 3) frame = VramBusBase;
    WithPartnerWrite(partners, [&](auto write) { DrawBitmapLine<Mode, Variant, write()>(m, line, frame); });
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
