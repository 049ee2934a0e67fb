#include "video/sprites.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "machine/io_registers.h"
#include "video/line_buffers.h"
#include "video/tile_row.h"

namespace {

constexpr uint32_t BLDCNT_OBJ_SECOND = 1u << 12;
constexpr uint32_t SpritePaletteBase = 256;
constexpr uint32_t SpriteTileArea = 0x10000;
constexpr uint32_t SpriteTileMask = 0x7FFF;

SpriteContext MakeContext(const Machine& m) {
    return {m.Vram.data(), m.Oam.data(), &m.Lines, bool(ReadIoHalf(m, Io::DISPCNT) & 0x40), ReadIoHalf(m, Io::MOSAIC)};
}

// Pixel writers: what a sprite pixel at x with palette index colourIndex
// (0-255, within the sprite palette) does when it is opaque, one at a time
// (Put) or as a tile row of eight (PutRow, from the row's bits as they lie
// in VRAM). Like the background renderers they select rather than branch
// on transparency and the window.

// A tile row across a window run's end, pixel by pixel.
template <bool Colour256, typename Pixels>
void PutPixels(const Pixels& pixels, int32_t x, RowBits<Colour256> bits, uint32_t bank) {
    for (uint32_t k = 0; k < 8; ++k) {
        const uint32_t index = RowIndex<Colour256>(bits, k);
        pixels.Put(x + int32_t(k), bank + index, index != 0);
    }
}

// A sprite tile row is laid from its bits (in screen order): inside one
// window run that shows sprites, eight pixels at a time, looked up in the
// row cache when that pays or else straight from VRAM; across a run's end
// pixel by pixel.
//
// Semi-transparent sprites blend with the second target directly beneath
// them, whatever the effect BLDCNT selects for OBJ, wherever the window
// allows effects. Over anything else they are drawn as normal sprites,
// brightened or darkened when BLDCNT says so.
template <EffectVariant Variant, PartnerWrite Partners, bool SemiTransparent>
struct ColourPixels {
    // Whether a pixel's finishing reads the partner beneath it; if so, only
    // the colours of a row are looked up.
    static constexpr bool ReadsPartner = SemiTransparent || FinishReadsPartner<Variant>;
    static constexpr EffectVariant RowVariant = ReadsPartner ? EffectVariant::Blend : Variant;

    const uint8_t* palette;
    LayerPixels<Variant, Partners> layer;
    ColourCache* colours;
    // The sprite palette finished where effects do not and do apply (null
    // when the finishing reads the partner).
    std::array<const uint16_t*, 2> finished;

    uint16_t Finish(uint16_t colour, uint16_t partner, bool effects) const {
        const uint16_t normal = FinishPixel<Variant>(colour, partner, effects, layer.factors);
        if constexpr (!SemiTransparent) return normal;
        const uint16_t blended = BlendPixel(colour, partner, layer.factors);
        return effects && !(partner & NoPartner) ? blended : normal;
    }

    void Put(int32_t x, uint32_t colourIndex, bool opaque) const {
        const bool drawn = opaque && (layer.windows[x] & WindowObjBit);
        const uint16_t colour = PaletteColour(palette, SpritePaletteBase + colourIndex);
        layer.Store(x, Finish(colour, layer.partners[x], layer.windows[x] & WindowEffectBit), colour, drawn);
    }

    template <bool Colour256>
    void PutRow(const WindowRun& run, int32_t x, RowBits<Colour256> bits, uint32_t bank) const {
        if (x + 8 > run.end) return PutPixels<Colour256>(*this, x, bits, bank);
        if (!(run.layers & WindowObjBit)) return;
        const bool effects = run.layers & WindowEffectBit;
        const auto finish = [&](uint16_t colour, uint16_t partner) { return Finish(colour, partner, effects); };
        if (colours->rowsPay) {
            const CachedTileRow& row =
                FindRow<Colour256, RowVariant>(*colours, bits, bank, false, bank, effects, layer.factors);
            LayRow<ReadsPartner, Partners>(layer.out, layer.partners, x, row.pixels, finish);
            return;
        }
        LayRowDirect<Colour256, ReadsPartner, Partners>(layer.out, layer.partners, x, bits,
                                                        colours->colours.data() + bank,
                                                        ReadsPartner ? nullptr : finished[effects] + bank, finish);
    }
};

struct WindowPixels {
    uint8_t* windows;
    uint8_t value;

    void Put(int32_t x, uint32_t, bool opaque) const { windows[x] = opaque ? value : windows[x]; }

    template <bool Colour256>
    void PutRow(const WindowRun&, int32_t x, RowBits<Colour256> bits, uint32_t) const {
        for (uint32_t k = 0; k < 8; ++k) Put(x + int32_t(k), 0, RowIndex<Colour256>(bits, k) != 0);
    }
};

// The colour index of texture pixel (tx, ty) of a sprite, both inside the
// texture: 8 x 8 tiles, their rows tileRowShift apart (as a shift of the
// tile-row number).
template <bool Colour256>
[[gnu::always_inline]] inline uint32_t SpriteTexel(const SpriteContext& context, const Sprite& sprite, int32_t tx,
                                                   int32_t ty, uint32_t tileRowShift) {
    const uint8_t* area = context.vram + SpriteTileArea;
    const uint32_t rowOffset = sprite.tileOffset + (uint32_t(ty & ~7) << tileRowShift);
    const uint32_t at = Colour256 ? (rowOffset + uint32_t(ty & 7) * 8 + uint32_t(tx & ~7) * 8 + uint32_t(tx & 7))
                                  : (rowOffset + uint32_t(ty & 7) * 4 + uint32_t(tx & ~7) * 4 + uint32_t(tx & 7) / 2);
    const uint32_t byte = area[at & SpriteTileMask];
    if constexpr (Colour256) return byte;
    return (tx & 1) ? byte >> 4 : byte & 15;
}

template <bool Colour256>
uint32_t TileRowShift(const SpriteContext& context, const Sprite& sprite) {
    return context.oneDimensional ? sprite.widthShift + (Colour256 ? 3 : 2) : 7;
}

// Sprite mosaic, like the backgrounds', is laid on the screen: a sprite
// pixel in a mosaic block repeats the one at the block's left edge, and
// every line of a block shows the block's first line. A block edge left of
// the sprite leaves the columns up to the next edge empty.
int32_t MosaicBlockStart(int32_t position, int32_t size) {
    const int32_t offset = position % size;
    return position - (offset < 0 ? offset + size : offset);
}

// A straight sprite row: whole tile rows of 8 pixels, left to right on the
// screen. With the horizontal flip the tiles are taken from the last one
// back, and the pixels of each from its end.
template <bool Colour256, bool FlipX, typename Pixels>
void DrawStraightRow(const Pixels& pixels, const SpriteContext& context, const Sprite& sprite, uint32_t line) {
    constexpr uint32_t bytesPerRow = Colour256 ? 8 : 4;
    constexpr uint32_t bytesPerTile = bytesPerRow * 8;
    int32_t row = int32_t(line) - sprite.y;
    if (sprite.attr1 & 0x2000) row = sprite.textureHeight - 1 - row;
    const int32_t tiles = sprite.textureWidth / 8;

    uint32_t offset = sprite.tileOffset + (uint32_t(row & ~7) << TileRowShift<Colour256>(context, sprite)) +
                      uint32_t(row & 7) * bytesPerRow;
    uint32_t step = bytesPerTile;
    if constexpr (FlipX) {
        offset += uint32_t(tiles - 1) * bytesPerTile;
        step = 0u - bytesPerTile;
    }
    const uint8_t* area = context.vram + SpriteTileArea;
    const uint32_t bank = Colour256 ? 0 : (sprite.attr2 >> 12) * 16;
    RunCursor runs(*context.lines);
    int32_t x = sprite.x;
    for (int32_t tile = 0; tile < tiles; ++tile, offset += step, x += 8) {
        // Sprites are mostly cut out of empty tiles: skip a blank row whole.
        const RowBits<Colour256> bits = LoadLittle<RowBits<Colour256>>(area + (offset & SpriteTileMask));
        if (bits == 0) continue;
        pixels.template PutRow<Colour256>(runs.At(x), x, FlipX ? MirroredRow<Colour256>(bits) : bits, bank);
    }
}

// A straight sprite row under mosaic, pixel by pixel (mosaic is rare, and
// fades rather than moves).
template <bool Colour256, typename Pixels>
void DrawMosaicStraightRow(const Pixels& pixels, const SpriteContext& context, const Sprite& sprite, uint32_t line) {
    const MosaicSize mosaic = MosaicOf(uint16_t(context.mosaic), 8);
    int32_t row = std::max(MosaicBlockStart(int32_t(line), mosaic.height) - sprite.y, 0);
    if (sprite.attr1 & 0x2000) row = sprite.textureHeight - 1 - row;
    const bool flipX = sprite.attr1 & 0x1000;
    const uint32_t tileRowShift = TileRowShift<Colour256>(context, sprite);
    const uint32_t bank = Colour256 ? 0 : (sprite.attr2 >> 12) * 16;
    for (int32_t column = 0; column < sprite.textureWidth; ++column) {
        int32_t tx = MosaicBlockStart(sprite.x + column, mosaic.width) - sprite.x;
        if (tx < 0) continue;
        if (flipX) tx = sprite.textureWidth - 1 - tx;
        const uint32_t index = SpriteTexel<Colour256>(context, sprite, tx, row, tileRowShift);
        pixels.Put(sprite.x + column, bank | index, index != 0);
    }
}

// A rotation-scaling sprite row: every column of the bounding box is mapped
// back into the texture through the matrix of its parameter group, centred
// on the middle of the box.
template <bool Colour256, bool Mosaic, typename Pixels>
void DrawAffineRow(const Pixels& pixels, const SpriteContext& context, const Sprite& sprite, uint32_t line) {
    const uint8_t* group = context.oam + 32 * ((sprite.attr1 >> 9) & 31);
    const int32_t pa = int16_t(HalfAt(group + 6));
    const int32_t pb = int16_t(HalfAt(group + 14));
    const int32_t pc = int16_t(HalfAt(group + 22));
    const int32_t pd = int16_t(HalfAt(group + 30));
    const MosaicSize mosaic = MosaicOf(uint16_t(context.mosaic), 8);

    const int32_t shownLine = Mosaic ? MosaicBlockStart(int32_t(line), mosaic.height) : int32_t(line);
    const int32_t d = (shownLine - sprite.y) - sprite.boxHeight / 2;
    const int32_t startX = pb * d - (pa * sprite.boxWidth) / 2;
    const int32_t startY = pd * d - (pc * sprite.boxWidth) / 2;
    const int32_t halfWidth = sprite.textureWidth / 2;
    const int32_t halfHeight = sprite.textureHeight / 2;
    const uint32_t tileRowShift = TileRowShift<Colour256>(context, sprite);
    const uint32_t bank = Colour256 ? 0 : (sprite.attr2 >> 12) * 16;

    int32_t textureX = startX;
    int32_t textureY = startY;
    for (int32_t column = 0; column < sprite.boxWidth; ++column, textureX += pa, textureY += pc) {
        int32_t tx = textureX >> 8;
        int32_t ty = textureY >> 8;
        if constexpr (Mosaic) {
            const int32_t sampled = MosaicBlockStart(sprite.x + column, mosaic.width) - sprite.x;
            if (sampled < 0) continue;
            tx = (startX + pa * sampled) >> 8;
            ty = (startY + pc * sampled) >> 8;
        }
        tx += halfWidth;
        ty += halfHeight;
        if (uint32_t(tx) >= uint32_t(sprite.textureWidth) || uint32_t(ty) >= uint32_t(sprite.textureHeight)) continue;
        const uint32_t index = SpriteTexel<Colour256>(context, sprite, tx, ty, tileRowShift);
        if (index) pixels.Put(sprite.x + column, bank | index, true);
    }
}

// Picks the row path for one sprite; everything per pixel is fixed from here.
template <typename Pixels>
void DrawSpriteRow(const Pixels& pixels, const SpriteContext& context, const Sprite& sprite, uint32_t line) {
    const bool mosaic = (sprite.attr0 & 0x1000) && (context.mosaic & 0xFF00);
    WithFlag(sprite.colour256, [&](auto colour256) {
        if (sprite.attr0 & 0x100) {
            WithFlag(mosaic,
                     [&](auto withMosaic) { DrawAffineRow<colour256(), withMosaic()>(pixels, context, sprite, line); });
        } else if (mosaic) {
            DrawMosaicStraightRow<colour256()>(pixels, context, sprite, line);
        } else {
            WithFlag(sprite.attr1 & 0x1000,
                     [&](auto flipX) { DrawStraightRow<colour256(), flipX()>(pixels, context, sprite, line); });
        }
    });
}

template <EffectVariant Variant, PartnerWrite Partners>
void DrawSprites(Machine& m, uint32_t line, uint32_t priority) {
    const uint8_t* palette = m.Palette.data();
    const LayerPixels<Variant, Partners> layer = LinePixels<Variant, Partners>(m, line);
    ColourCache& colours = m.Lines.SpriteColours;
    CheckColourCache(colours, palette + 2 * SpritePaletteBase, m.Lines, layer.factors);
    std::array<const uint16_t*, 2> finished{};
    if constexpr (!FinishReadsPartner<Variant>)
        finished = {FinishedPalette<Variant>(colours, false, layer.factors),
                    FinishedPalette<Variant>(colours, true, layer.factors)};
    const ColourPixels<Variant, Partners, false> normal{palette, layer, &colours, finished};
    const ColourPixels<Variant, Partners, true> semiTransparent{palette, layer, &colours, {}};
    const SpriteContext context = MakeContext(m);
    const LineSpriteList sprites = SpritesOnLine(m, line);
    for (uint32_t i = 0; i < sprites.count; ++i) {
        const Sprite& sprite = sprites.decoded[sprites.indices[i]];
        if (sprite.priority != priority) continue;
        if (sprite.mode == ModeNormal) DrawSpriteRow(normal, context, sprite, line);
        if (sprite.mode == ModeSemiTransparent) DrawSpriteRow(semiTransparent, context, sprite, line);
    }
}

}  // namespace

template <EffectVariant Variant>
void SpriteRenderer(Machine& m, uint32_t line, uint32_t priority) {
    const uint16_t bldcnt = ReadIoHalf(m, Io::BLDCNT);
    WithPartnerWrite(PartnerWriteFor(m, bldcnt & BLDCNT_OBJ_SECOND),
                     [&](auto write) { DrawSprites<Variant, write()>(m, line, priority & 3); });
}

template void SpriteRenderer<EffectVariant::None>(Machine&, uint32_t, uint32_t);
template void SpriteRenderer<EffectVariant::Blend>(Machine&, uint32_t, uint32_t);
template void SpriteRenderer<EffectVariant::Brighten>(Machine&, uint32_t, uint32_t);
template void SpriteRenderer<EffectVariant::Darken>(Machine&, uint32_t, uint32_t);

void ObjWindowOverlay(Machine& m, uint32_t line) {
    const WindowPixels marks{WindowLine(m), uint8_t(ReadIoHalf(m, Io::WINOUT) >> 8)};
    const SpriteContext context = MakeContext(m);
    const LineSpriteList sprites = SpritesOnLine(m, line);
    for (uint32_t i = 0; i < sprites.count; ++i) {
        const Sprite& sprite = sprites.decoded[sprites.indices[i]];
        if (sprite.mode == ModeObjWindow) DrawSpriteRow(marks, context, sprite, line);
    }
}
