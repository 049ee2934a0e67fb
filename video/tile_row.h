#pragma once
// Tiled backgrounds and straight sprites are drawn a tile row (eight
// pixels) at a time: the row's pixels are fetched in one load, its colours
// looked up once, and the eight finished pixels laid on the line as two
// masked stores of four 16-bit pixels each, with no test per pixel.

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "video/colour_cache.h"
#include "video/line_buffers.h"

// The colour indices of one tile row, pixel k in bits 4k to 4k + 3 (16
// colours) or 8k to 8k + 7 (256 colours): the row as it lies in VRAM.
template <bool Colour256>
using RowBits = std::conditional_t<Colour256, uint64_t, uint32_t>;

template <bool Colour256>
inline uint32_t RowIndex(RowBits<Colour256> bits, uint32_t k) {
    return uint32_t(bits >> (k * (Colour256 ? 8 : 4))) & (Colour256 ? 0xFF : 0xF);
}

// Whether any pixel of the row has colour index 0 (a zero nibble or byte:
// subtracting one from each borrows into the top bit only from a zero).
template <bool Colour256>
inline bool HasTransparentPixel(RowBits<Colour256> bits) {
    using Bits = RowBits<Colour256>;
    constexpr Bits ones = Colour256 ? Bits(0x0101010101010101u) : Bits(0x11111111u);
    constexpr Bits tops = Colour256 ? Bits(0x8080808080808080u) : Bits(0x88888888u);
    return ((bits - ones) & ~bits & tops) != 0;
}

// The row seen through a horizontal flip: its last pixel first.
template <bool Colour256>
inline RowBits<Colour256> MirroredRow(RowBits<Colour256> bits) {
    using Bits = RowBits<Colour256>;
    constexpr Bits bytes = Bits(0x00FF00FF00FF00FFu);
    constexpr Bits pairs = Bits(0x0000FFFF0000FFFFu);
    if constexpr (!Colour256) bits = Bits((bits >> 4) & 0x0F0F0F0Fu) | Bits((bits & 0x0F0F0F0Fu) << 4);
    bits = ((bits >> 8) & bytes) | ((bits & bytes) << 8);
    bits = ((bits >> 16) & pairs) | ((bits & pairs) << 16);
    if constexpr (Colour256) bits = (bits >> 32) | (bits << 32);
    return bits;
}

// The row as a map entry with horizontal flip or not shows it, chosen
// without a branch: map entries flip in no order a predictor could learn.
template <bool Colour256>
inline RowBits<Colour256> RowSeenAs(RowBits<Colour256> bits, bool flip) {
    const RowBits<Colour256> flipMask = RowBits<Colour256>(0) - RowBits<Colour256>(flip);
    return (MirroredRow<Colour256>(bits) & flipMask) | (bits & ~flipMask);
}

// Whether the finishing of a layer drawn with Variant reads the blend
// partner beneath each pixel; if not, a row's finished pixels can be
// worked out once and laid wherever the row repeats.
template <EffectVariant Variant>
inline constexpr bool FinishReadsPartner = Variant == EffectVariant::Blend;

// Looks the row's colours up in a palette half of colours (bit 15 clear)
// and in the same palette finished, both from the row's bank on; finished
// is null when the finishing reads the partner.
template <bool Colour256>
inline void DecodeRow(TileRowPixels& row, RowBits<Colour256> bits, const uint16_t* colours, const uint16_t* finished) {
    for (uint32_t k = 0; k < 8; ++k) {
        const uint32_t index = RowIndex<Colour256>(bits, k);
        row.colours[k] = colours[index];
        row.opaque[k] = uint16_t(0u - (index != 0));
        if (finished) row.finished[k] = finished[index];
    }
}

// Forgets the cache's rows when the palette half they were looked up in,
// or the brightness coefficient they were finished with, has changed since
// the cache was last checked; at most once per line.
inline void CheckColourCache(ColourCache& cache, const uint8_t* palette, const LineBuffers& lines,
                             const EffectFactors& factors) {
    if (cache.checkedStamp == lines.LineStamp) return;
    cache.checkedStamp = lines.LineStamp;
    // Looking up pays below about one new row in three.
    if (cache.lookups >= 8)
        cache.rowsPay = cache.misses * 3 < cache.lookups;
    else if (!cache.rowsPay && (lines.LineStamp & 7) == 0)
        cache.rowsPay = true;
    cache.lookups = cache.misses = 0;
    if (cache.evy == factors.evy && std::memcmp(cache.palette.data(), palette, cache.palette.size()) == 0) return;
    std::memcpy(cache.palette.data(), palette, cache.palette.size());
    for (uint32_t n = 0; n < 256; ++n) cache.colours[n] = PaletteColour(palette, n) & 0x7FFF;
    cache.evy = factors.evy;
    ++cache.generation;
}

// The cache's palette half finished with Variant (not Blend, whose
// finishing reads the partner), where effects says so.
template <EffectVariant Variant>
[[gnu::noinline]] void FinishPalette(ColourCache& cache, uint32_t way, bool effects, const EffectFactors& factors) {
    for (uint32_t n = 0; n < 256; ++n)
        cache.finished[way][n] =
            FinishPixel<Variant>(PaletteColour(cache.palette.data(), n), NoPartner, effects, factors);
    cache.finishedGeneration[way] = cache.generation;
}

template <EffectVariant Variant>
inline const uint16_t* FinishedPalette(ColourCache& cache, bool effects, const EffectFactors& factors) {
    static_assert(!FinishReadsPartner<Variant>);
    const uint32_t way = uint32_t(Variant) * 2 + (effects ? 1 : 0);
    if (cache.finishedGeneration[way] != cache.generation) FinishPalette<Variant>(cache, way, effects, factors);
    return cache.finished[way].data();
}

// Decodes a row into the cache's slot for it.
template <bool Colour256, EffectVariant Variant>
[[gnu::noinline]] void DecodeIntoCache(CachedTileRow& row, ColourCache& cache, RowBits<Colour256> bits, uint32_t look,
                                       bool flip, uint32_t bank, bool effects, const EffectFactors& factors) {
    row.bits = bits;
    row.look = look;
    row.generation = cache.generation;
    const uint16_t* finished = nullptr;
    if constexpr (!FinishReadsPartner<Variant>) finished = FinishedPalette<Variant>(cache, effects, factors) + bank;
    DecodeRow<Colour256>(row.pixels, RowSeenAs<Colour256>(bits, flip), cache.colours.data() + bank, finished);
    row.allOpaque = !HasTransparentPixel<Colour256>(bits);
}

// The row with these bits under look (the palette bank and flip bits of
// its map entry or sprite, which the cache does not interpret), decoded
// from the checked palette half from entry bank on, and finished with
// Variant where effects says so unless the finishing reads the partner.
template <bool Colour256, EffectVariant Variant>
inline const CachedTileRow& FindRow(ColourCache& cache, RowBits<Colour256> bits, uint32_t look, bool flip,
                                    uint32_t bank, bool effects, const EffectFactors& factors) {
    // The finishing is part of what identifies a row.
    if constexpr (!FinishReadsPartner<Variant>) look |= (uint32_t(Variant) << 1 | (effects ? 1 : 0)) << 24 | 1u << 27;
    const uint32_t mixed = (uint32_t(bits) ^ uint32_t(uint64_t(bits) >> 32) ^ look) * 0x9E3779B1u;
    CachedTileRow& row = cache.rows[mixed >> (32 - ColourCache::IndexBits)];
    ++cache.lookups;
    if (row.bits != bits || row.look != look || row.generation != cache.generation) [[unlikely]] {
        ++cache.misses;
        DecodeIntoCache<Colour256, Variant>(row, cache, bits, look, flip, bank, effects, factors);
    }
    return row;
}

// Stores the lanes of value where mask is set, keeping the rest of
// at[0..7].
inline void StoreMasked(uint16_t* at, const std::array<uint16_t, 8>& value, const std::array<uint16_t, 8>& mask) {
    for (uint32_t half = 0; half < 2; ++half) {
        uint64_t old, lanes, keep;
        std::memcpy(&old, at + 4 * half, 8);
        std::memcpy(&lanes, value.data() + 4 * half, 8);
        std::memcpy(&keep, mask.data() + 4 * half, 8);
        old = (old & ~keep) | (lanes & keep);
        std::memcpy(at + 4 * half, &old, 8);
    }
}

// Lays a row at x to x + 7, all inside one window run where the layer
// draws: finish(colour, partner) gives each pixel when the finishing reads
// the partner, else the row's finished pixels are laid as they are. Then
// the partner line is kept as the layer's PartnerWrite says.
template <bool ReadsPartner, PartnerWrite Partners, typename Finish>
inline void LayRow(uint16_t* out, uint16_t* partners, int32_t x, const TileRowPixels& row, Finish&& finish) {
    if constexpr (ReadsPartner) {
        std::array<uint16_t, 8> finished;
        for (int32_t k = 0; k < 8; ++k) finished[k] = finish(row.colours[k], partners[x + k]);
        StoreMasked(out + x, finished, row.opaque);
    } else {
        StoreMasked(out + x, row.finished, row.opaque);
    }
    if constexpr (Partners == PartnerWrite::Colour) StoreMasked(partners + x, row.colours, row.opaque);
    if constexpr (Partners == PartnerWrite::Clear) {
        constexpr std::array<uint16_t, 8> none{NoPartner, NoPartner, NoPartner, NoPartner,
                                               NoPartner, NoPartner, NoPartner, NoPartner};
        StoreMasked(partners + x, none, row.opaque);
    }
}

// Lays a row at x to x + 7 straight from its bits (in screen order),
// without decoding it first, for pictures whose rows seldom repeat: the
// same pixels as LayRow gives for the decoded row. colours and finished
// (null when the finishing reads the partner) start at the row's bank.
template <bool Colour256, bool ReadsPartner, PartnerWrite Partners, typename Finish>
inline void LayRowDirect(uint16_t* out, uint16_t* partners, int32_t x, RowBits<Colour256> bits, const uint16_t* colours,
                         const uint16_t* finished, Finish&& finish) {
    uint16_t* const pixels = out + x;
    uint16_t* const under = partners + x;
    for (uint32_t k = 0; k < 8; ++k) {
        const uint32_t index = RowIndex<Colour256>(bits, k);
        const uint16_t colour = colours[index];
        uint16_t pixel;
        if constexpr (ReadsPartner)
            pixel = finish(colour, under[k]);
        else
            pixel = finished[index];
        pixels[k] = index ? pixel : pixels[k];
        if constexpr (Partners == PartnerWrite::Colour) under[k] = index ? colour : under[k];
        if constexpr (Partners == PartnerWrite::Clear) under[k] = index ? NoPartner : under[k];
    }
}
