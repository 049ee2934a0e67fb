#include "video/text_background.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "video/line_buffers.h"
#include "video/tile_row.h"

namespace {

// Where one line of a tiled background comes from: its map row, the tile
// row within the tiles, and the first map column, fine-scrolled.
struct TextLine {
    const uint8_t* vram;
    const uint8_t* palette;
    uint8_t layerBit;
    uint32_t charBase;
    uint32_t mapRow;
    uint32_t tileRow;
    uint32_t columnMask;
    uint32_t column;
    int32_t fine;
    MosaicSize mosaic;

    // The tile row of a map entry's tile on this line, flipped vertically
    // when the entry says so.
    template <bool Colour256>
    RowBits<Colour256> RowOf(uint32_t mapEntry) const {
        constexpr uint32_t bytesPerRow = Colour256 ? 8 : 4;
        const uint32_t rowInTile = (mapEntry & 0x800) ? 7 - tileRow : tileRow;
        return LoadLittle<RowBits<Colour256>>(
            vram + MirrorVramOffset(charBase + (mapEntry & 0x3FF) * bytesPerRow * 8 + rowInTile * bytesPerRow));
    }
};

TextLine TextLineOf(Machine& m, uint32_t line, uint32_t entry, bool mosaicOn) {
    const uint32_t control = entry & 0xFFFF;
    const uint32_t background = BgEntryNumber(entry);
    const uint32_t hofs = ReadIoHalf(m, Io::BG0HOFS + 4 * background);
    const uint32_t vofs = ReadIoHalf(m, Io::BG0HOFS + 2 + 4 * background);
    const MosaicSize mosaic = MosaicOf(ReadIoHalf(m, Io::MOSAIC), 0);
    const bool wide = control & 0x4000;
    const bool tall = control & 0x8000;

    // Vertical mosaic repeats the first screen line of each block.
    const uint32_t shownLine = mosaicOn ? line - line % uint32_t(mosaic.height) : line;
    const uint32_t y = (vofs + shownLine) & (tall ? 511 : 255);
    // The lower half of a tall map is the next screen block, or the one
    // after the right-hand pair when the map is also wide.
    uint32_t mapRow = ((control >> 8) & 31) * 0x800 + (y & 0xF8) * 8;
    if (y > 255) mapRow += wide ? 0x1000 : 0x800;
    const uint32_t columnMask = wide ? 63 : 31;
    return {m.Vram.data(),
            m.Palette.data(),
            uint8_t(1u << background),
            ((control >> 2) & 3) * 0x4000,
            mapRow,
            y & 7,
            columnMask,
            (hofs >> 3) & columnMask,
            int32_t(hofs & 7),
            mosaic};
}

// The map entries of a line from its first column on, as many as a line
// shows, without the wrap: a copy of the map row, twice over.
struct MapRowCopy {
    std::array<uint16_t, 128> entries;
    const uint16_t* first;
};

void CopyMapRow(MapRowCopy& copy, const TextLine& text) {
    // A 512-pixel-wide map row is two screen blocks' rows side by side.
    const uint32_t blocks = text.columnMask == 63 ? 2 : 1;
    for (uint32_t repeat = 0; repeat < 2; ++repeat)
        for (uint32_t block = 0; block < blocks; ++block)
            std::memcpy(copy.entries.data() + 32 * (blocks * repeat + block), text.vram + text.mapRow + 0x800 * block,
                        64);
    copy.first = copy.entries.data() + text.column;
}

// The tile rows of one line of a background without mosaic, found in the
// cache of decoded rows.
template <EffectVariant Variant, bool Colour256, PartnerWrite Partners>
struct TileRowDrawer {
    static constexpr bool ReadsPartner = FinishReadsPartner<Variant>;
    static constexpr uint32_t BytesPerRow = Colour256 ? 8 : 4;
    using Bits = RowBits<Colour256>;

    const uint8_t* vram;
    // The tile row at the line's height in a tile, and in a vertically
    // flipped one, as offsets from VRAM.
    std::array<uint32_t, 2> rowOffset;
    LayerPixels<Variant, Partners> pixels;
    ColourCache& cache;

    Bits RowOf(uint32_t mapEntry) const {
        uint32_t offset = rowOffset[(mapEntry >> 11) & 1] + (mapEntry & 0x3FF) * BytesPerRow * 8;
        // Only 256-colour tiles can reach past the end of VRAM.
        if constexpr (Colour256) offset = MirrorVramOffset(offset);
        return LoadLittle<Bits>(vram + offset);
    }

    const CachedTileRow& Find(Bits bits, uint32_t mapEntry, bool effects) const {
        return FindRow<Colour256, Variant>(cache, bits, mapEntry & (Colour256 ? 0x0400 : 0xF400), mapEntry & 0x400,
                                           Colour256 ? 0 : (mapEntry >> 12) * 16, effects, pixels.factors);
    }

    Bits RowAt(const uint8_t* const rows[2], uint32_t mapEntry) const {
        if constexpr (Colour256) return RowOf(mapEntry);
        return LoadLittle<Bits>(rows[(mapEntry >> 11) & 1] + (mapEntry & 0x3FF) * 32);
    }

    // The tile rows at x, x + 8, ... up to last, from the map entries at
    // map on, all inside one window run where the layer draws, looked up in
    // the row cache. A row that repeats the one before it in bits, bank and
    // flip (a sky, a wall) is not even looked for.
    [[gnu::noinline]] void DrawCachedRows(int32_t x, int32_t last, const uint16_t* map, bool effects) const {
        constexpr uint32_t lookBits = Colour256 ? 0x0400 : 0xF400;
        constexpr bool plainStores = !ReadsPartner && Partners == PartnerWrite::Untracked;
        const CachedTileRow* held = nullptr;
        // Nothing held yet: no map entry has all look bits set.
        Bits heldBits = 0;
        uint32_t heldLook = ~0u;
        bool heldOpaque = false;
        std::array<uint16_t, 8> heldFinished{};
        const uint8_t* const rows[2] = {vram + rowOffset[0], vram + rowOffset[1]};
        for (; x <= last; x += 8) {
            const uint32_t mapEntry = *map++;
            const Bits bits = RowAt(rows, mapEntry);
            if (bits != heldBits || (mapEntry & lookBits) != heldLook) [[unlikely]] {
                if (bits == 0) continue;
                held = &Find(bits, mapEntry, effects);
                heldBits = bits;
                heldLook = mapEntry & lookBits;
                heldOpaque = held->allOpaque;
                heldFinished = held->pixels.finished;
            }
            if (plainStores && heldOpaque) {
                std::memcpy(pixels.out + x, heldFinished.data(), sizeof heldFinished);
                continue;
            }
            LayRow<ReadsPartner, Partners>(pixels.out, pixels.partners, x, held->pixels,
                                           [&](uint16_t colour, uint16_t partner) {
                                               return FinishPixel<Variant>(colour, partner, effects, pixels.factors);
                                           });
        }
    }

    // The same rows laid straight from VRAM, on lines where looking them up
    // does not pay.
    [[gnu::noinline]] void DrawDirectRows(int32_t x, int32_t last, const uint16_t* map, bool effects) const {
        const uint8_t* const rows[2] = {vram + rowOffset[0], vram + rowOffset[1]};
        const uint16_t* finished = nullptr;
        if constexpr (!ReadsPartner) finished = FinishedPalette<Variant>(cache, effects, pixels.factors);
        for (; x <= last; x += 8) {
            const uint32_t mapEntry = *map++;
            const Bits bits = RowAt(rows, mapEntry);
            if (bits == 0) continue;
            const uint32_t bank = Colour256 ? 0 : (mapEntry >> 12) * 16;
            LayRowDirect<Colour256, ReadsPartner, Partners>(
                pixels.out, pixels.partners, x, RowSeenAs<Colour256>(bits, mapEntry & 0x400),
                cache.colours.data() + bank, ReadsPartner ? nullptr : finished + bank,
                [&](uint16_t colour, uint16_t partner) {
                    return FinishPixel<Variant>(colour, partner, effects, pixels.factors);
                });
        }
    }

    void DrawInRun(int32_t x, int32_t last, const uint16_t* map, bool effects) const {
        if (cache.rowsPay)
            DrawCachedRows(x, last, map, effects);
        else
            DrawDirectRows(x, last, map, effects);
    }

    // The tile row at x, across a window run's end, pixel by pixel.
    void DrawAcrossRuns(int32_t x, uint32_t mapEntry, uint8_t layerBit) const {
        const Bits bits = RowOf(mapEntry);
        if (bits == 0) return;
        const TileRowPixels& row = Find(bits, mapEntry, false).pixels;
        for (int32_t k = 0; k < 8; ++k)
            pixels.Put(x + k, row.colours[k], row.opaque[k] && (pixels.windows[x + k] & layerBit));
    }
};

// The line without mosaic, a tile row at a time, window run by window run:
// the tile rows inside a run where the layer draws are laid with two
// masked stores each, a row across a run's end pixel by pixel.
template <EffectVariant Variant, bool Colour256, PartnerWrite Partners>
void DrawTileRows(Machine& m, uint32_t line, uint32_t entry) {
    const TextLine text = TextLineOf(m, line, entry, false);
    MapRowCopy map;
    CopyMapRow(map, text);
    constexpr uint32_t bytesPerRow = Colour256 ? 8 : 4;
    const TileRowDrawer<Variant, Colour256, Partners> drawer{
        text.vram,
        {text.charBase + text.tileRow * bytesPerRow, text.charBase + (7 - text.tileRow) * bytesPerRow},
        LinePixels<Variant, Partners>(m, line),
        m.Lines.BackgroundColours};
    CheckColourCache(drawer.cache, text.palette, m.Lines, drawer.pixels.factors);

    int32_t x = -text.fine;
    const uint16_t* mapEntries = map.first;
    const WindowRun* run = m.Lines.WindowRuns.data();
    while (x < ScreenWidth) {
        while (run->end <= x) ++run;
        // The tile rows wholly inside the run.
        const int32_t last = std::min(run->end - 8, ScreenWidth - 1);
        if (x <= last) {
            const int32_t tiles = (last - x) / 8 + 1;
            if (run->layers & text.layerBit) drawer.DrawInRun(x, last, mapEntries, run->layers & WindowEffectBit);
            x += 8 * tiles;
            mapEntries += tiles;
        }
        if (x >= ScreenWidth) break;
        drawer.DrawAcrossRuns(x, *mapEntries++, text.layerBit);
        x += 8;
    }
}

// The line under mosaic, pixel by pixel: a horizontal block holds one
// colour index across tile edges, in the palette bank of the tile under
// each pixel.
template <EffectVariant Variant, bool Colour256, PartnerWrite Partners>
void DrawMosaicLine(Machine& m, uint32_t line, uint32_t entry) {
    const TextLine text = TextLineOf(m, line, entry, true);
    MapRowCopy map;
    CopyMapRow(map, text);
    LayerPixels<Variant, Partners> pixels = LinePixels<Variant, Partners>(m, line);
    pixels.out -= text.fine;
    pixels.partners -= text.fine;
    pixels.windows -= text.fine;

    // The first block boundary at or after x = -fine is screen x 0 less a
    // multiple of the block width, at loop position fine mod width.
    const uint32_t holdLength = uint32_t(text.mosaic.width - 1);
    uint32_t hold = uint32_t(text.fine % text.mosaic.width);
    uint32_t index = 0;
    for (int32_t tileX = 0; tileX < 248; tileX += 8) {
        const uint32_t mapEntry = map.first[tileX / 8];
        const RowBits<Colour256> bits = text.RowOf<Colour256>(mapEntry);
        const uint32_t flip = (mapEntry & 0x400) ? 7 : 0;
        const uint32_t bank = Colour256 ? 0 : (mapEntry >> 12) * 16;
        for (int32_t k = 0; k < 8; ++k) {
            if (hold == 0) {
                index = RowIndex<Colour256>(bits, uint32_t(k) ^ flip);
                hold = holdLength;
            } else {
                --hold;
            }
            const int32_t x = tileX + k;
            pixels.Put(x, PaletteColour(text.palette, index + bank), index != 0 && (pixels.windows[x] & text.layerBit));
        }
    }
}

}  // namespace

template <EffectVariant Variant>
void TextBgRenderer(Machine& m, uint32_t line, uint32_t entry) {
    const PartnerWrite partners = PartnerWriteFor(m, entry & (1u << 27));
    WithFlag(entry & 0x80, [&](auto colour256) {
        WithPartnerWrite(partners, [&](auto write) {
            if (entry & 0x40)
                DrawMosaicLine<Variant, colour256(), write()>(m, line, entry);
            else
                DrawTileRows<Variant, colour256(), write()>(m, line, entry);
        });
    });
}

template void TextBgRenderer<EffectVariant::None>(Machine&, uint32_t, uint32_t);
template void TextBgRenderer<EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
template void TextBgRenderer<EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
template void TextBgRenderer<EffectVariant::Darken>(Machine&, uint32_t, uint32_t);
