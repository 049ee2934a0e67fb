#include "video/affine_background.h"

#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "video/line_buffers.h"
#include "video/tile_row.h"

namespace {

// One line of BG2 or BG3 as a rotation-scaling map: a square map of
// one-byte tile numbers over 256-colour tiles, walked from the line's
// start point with the step (PA, PC).
struct AffineMap {
    const uint8_t* screen;  // the map
    const uint8_t* tiles;   // the character base
    const uint8_t* palette;
    uint32_t sizeShift;  // the map is 128 << sizeShift pixels on a side
    int32_t size;
    int32_t pa, pc;
    AffinePoint start;

    // The colour index at texture pixel (tx, ty), both inside the map.
    uint32_t Index(int32_t tx, int32_t ty) const {
        const uint32_t tile = screen[(uint32_t(ty & ~7) << (sizeShift + 1)) + (uint32_t(tx) >> 3)];
        return tiles[tile * 64 + uint32_t(ty & 7) * 8 + uint32_t(tx & 7)];
    }
};

AffineMap AffineMapOf(Machine& m, uint32_t line, uint32_t entry, bool mosaicOn) {
    const uint32_t control = entry & 0xFFFF;
    const AffineBackground& affine = m.AffineState[BgEntryNumber(entry) & 1];
    const uint32_t sizeShift = (control >> 14) & 3;
    const int32_t mosaicHeight = mosaicOn ? MosaicOf(ReadIoHalf(m, Io::MOSAIC), 0).height : 1;
    return {m.Vram.data() + ((control >> 8) & 31) * 0x800,
            m.Vram.data() + ((control >> 2) & 3) * 0x4000,
            m.Palette.data(),
            sizeShift,
            int32_t(128u << sizeShift),
            affine.PA,
            affine.PC,
            AffineLineStart(affine, line, mosaicHeight)};
}

// The columns from begin to end of a line without mosaic, inside one window
// run where the layer draws. With wrap-around the map repeats in both
// directions; without it the walk is cut to the columns over the map, and
// those need no test.
template <EffectVariant Variant, bool Wrap, PartnerWrite Partners>
[[gnu::noinline]] void DrawColumns(const AffineMap& map, const LayerPixels<Variant, Partners> pixels,
                                   ColumnRange columns, bool effects, const uint16_t* finished) {
    if constexpr (!Wrap) {
        columns = InsideColumns(map.start.x, map.pa, map.size, columns);
        columns = InsideColumns(map.start.y, map.pc, map.size, columns);
    }
    // The walk wraps round in 32 bits as the hardware's adders do.
    uint32_t textureX = uint32_t(map.start.x) + uint32_t(map.pa) * uint32_t(columns.begin);
    uint32_t textureY = uint32_t(map.start.y) + uint32_t(map.pc) * uint32_t(columns.begin);
    // Everything the loops need in locals, so that it stays in registers.
    const int32_t wrap = map.size - 1;
    const int32_t rowMask = Wrap ? wrap & ~7 : ~7;
    const int32_t columnMask = Wrap ? wrap : -1;
    const uint8_t* const screen = map.screen;
    const uint8_t* const tiles = map.tiles;
    const uint8_t* const palette = map.palette;
    const int32_t rowShift = int32_t(map.sizeShift) + 1;
    const uint32_t pa = uint32_t(map.pa), pc = uint32_t(map.pc);
    // Lays the pixel at x from its tile's map entry and its place in the
    // tile, both inside the map (wrapped round, or cut to it).
    const auto put = [&](int32_t x, uint32_t mapAt, uint32_t texelAt) {
        const uint32_t index = tiles[size_t(screen[mapAt]) * 64 + texelAt];
        if (!index) return;
        if constexpr (FinishReadsPartner<Variant>)
            pixels.PutInRun(x, PaletteColour(palette, index), effects);
        else
            pixels.StoreInRun(x, finished[index], Partners == PartnerWrite::Colour ? PaletteColour(palette, index) : 0);
    };

    // Four columns at a time: the walk's positions and what they select in
    // the map are worked out in all four lanes of a vector at once (the
    // compiler's vector extension: one SSE2 register on x86-64, plain
    // scalar code where there is none), then the map and tiles are read.
    // The walk itself wraps round as unsigned lanes, as the hardware's
    // adders do; its integer parts are signed.
    using Walk = uint32_t __attribute__((vector_size(16)));
    using Lanes = int32_t __attribute__((vector_size(16)));
    Walk walkX = Walk{0, pa, 2 * pa, 3 * pa} + textureX;
    Walk walkY = Walk{0, pc, 2 * pc, 3 * pc} + textureY;
    int32_t x = columns.begin;
    for (; x + 4 <= columns.end; x += 4) {
        const Lanes tx = (Lanes)walkX >> 8;
        const Lanes ty = (Lanes)walkY >> 8;
        const Lanes mapAt = ((ty & rowMask) << rowShift) + ((tx & columnMask) >> 3);
        const Lanes texelAt = ((ty & 7) << 3) + (tx & 7);
        walkX += 4 * pa;
        walkY += 4 * pc;
        for (int32_t k = 0; k < 4; ++k) put(x + k, uint32_t(mapAt[k]), uint32_t(texelAt[k]));
    }
    textureX = uint32_t(walkX[0]);
    textureY = uint32_t(walkY[0]);
    for (; x < columns.end; ++x, textureX += pa, textureY += pc) {
        const int32_t tx = int32_t(textureX) >> 8;
        const int32_t ty = int32_t(textureY) >> 8;
        put(x, uint32_t(((ty & rowMask) << rowShift) + ((tx & columnMask) >> 3)), uint32_t(((ty & 7) << 3) + (tx & 7)));
    }
}

// A line under mosaic, pixel by pixel: horizontal mosaic samples the walk
// at the first pixel of each block, vertical mosaic starts the walk where
// the block's first line started it.
template <EffectVariant Variant, PartnerWrite Partners>
void DrawMosaicLine(Machine& m, uint32_t line, uint32_t entry) {
    const AffineMap map = AffineMapOf(m, line, entry, true);
    const uint8_t layerBit = uint8_t(1u << BgEntryNumber(entry));
    const int32_t wrapMask = (entry & 0x2000) ? map.size - 1 : -1;
    const int32_t mosaicWidth = MosaicOf(ReadIoHalf(m, Io::MOSAIC), 0).width;
    const LayerPixels<Variant, Partners> pixels = LinePixels<Variant, Partners>(m, line);
    DrawMosaicWalk(pixels, map.start, map.pa, map.pc, mosaicWidth, layerBit,
                   [&](int32_t tx, int32_t ty, uint16_t& colour) {
                       tx &= wrapMask;
                       ty &= wrapMask;
                       if (uint32_t(tx) >= uint32_t(map.size) || uint32_t(ty) >= uint32_t(map.size)) return false;
                       const uint32_t index = map.Index(tx, ty);
                       colour = PaletteColour(map.palette, index);
                       return index != 0;
                   });
}

template <EffectVariant Variant, PartnerWrite Partners>
void DrawAffineLine(Machine& m, uint32_t line, uint32_t entry) {
    if (entry & 0x40) return DrawMosaicLine<Variant, Partners>(m, line, entry);
    const AffineMap map = AffineMapOf(m, line, entry, false);
    const LayerPixels<Variant, Partners> pixels = LinePixels<Variant, Partners>(m, line);
    const bool wrap = entry & 0x2000;
    ColourCache& colours = m.Lines.BackgroundColours;
    CheckColourCache(colours, map.palette, m.Lines, pixels.factors);
    ForEachDrawnRun(m.Lines, uint8_t(1u << BgEntryNumber(entry)), [&](int32_t begin, int32_t end, bool effects) {
        const uint16_t* finished = nullptr;
        if constexpr (!FinishReadsPartner<Variant>)
            finished = FinishedPalette<Variant>(colours, effects, pixels.factors);
        if (wrap)
            DrawColumns<Variant, true>(map, pixels, {begin, end}, effects, finished);
        else
            DrawColumns<Variant, false>(map, pixels, {begin, end}, effects, finished);
    });
}

}  // namespace

template <EffectVariant Variant>
void AffineBgRenderer(Machine& m, uint32_t line, uint32_t entry) {
    WithPartnerWrite(PartnerWriteFor(m, entry & (1u << 27)),
                     [&](auto write) { DrawAffineLine<Variant, write()>(m, line, entry); });
}

template void AffineBgRenderer<EffectVariant::None>(Machine&, uint32_t, uint32_t);
template void AffineBgRenderer<EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
template void AffineBgRenderer<EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
template void AffineBgRenderer<EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
