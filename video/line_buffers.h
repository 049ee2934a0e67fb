#pragma once
// What every layer renderer works on: the line of the frame surface being
// drawn, the window line that says which layers may draw at each x, the
// second-target line that remembers the blend partner at each x, and the
// video memories (VRAM, palette RAM, OAM) as host memory.
//
// All three lines are SurfaceWidth elements long with LineGuard elements on
// either side of the 240 visible ones, so renderers never clip: a tiled
// background may run from x = -7 to 247, a sprite from -63 to 366. The
// pointers below point at visible x = 0 and may be indexed with negative x.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "machine/io_registers.h"
#include "machine/machine.h"
#include "video/colour_tables.h"
#include "video/render_line.h"

// Bits of a window line byte: bit b for BG b, bit 4 for OBJ, bit 5 for the
// colour effects (blending, brightening and darkening apply only where it
// is set).
inline constexpr uint8_t WindowObjBit = 0x10;
inline constexpr uint8_t WindowEffectBit = 0x20;

inline uint16_t* SurfaceLine(Machine& m, uint32_t line) {
    return m.FrameSurface.data() + line * SurfaceWidth + LineGuard;
}
inline uint8_t* WindowLine(Machine& m) { return m.Lines.WindowMaskLine.data() + LineGuard; }
inline uint16_t* SecondTargets(Machine& m) { return m.Lines.SecondTargetLine.data() + LineGuard; }

// Sets count pixels from out on to value, 32 at a time as far as they go.
inline void FillPixels(uint16_t* out, int32_t count, uint16_t value) {
    const uint64_t four = value * 0x0001000100010001u;
    const uint64_t eight[2] = {four, four};
    int32_t i = 0;
    for (; i + 32 <= count; i += 32)
        for (int32_t j = 0; j < 32; j += 8) std::memcpy(out + i + j, eight, sizeof eight);
    for (; i + 8 <= count; i += 8) std::memcpy(out + i, eight, sizeof eight);
    for (; i < count; ++i) out[i] = value;
}

// The video memories are the machine's Vram (96 KB), Palette and Oam.
inline constexpr uint32_t VramBusBase = 0x06000000;
inline constexpr uint32_t VramSize = 0x18000;

inline uint16_t HalfAt(const uint8_t* host) { return LoadLittle<uint16_t>(host); }

// Palette entry n (0-255 backgrounds, 256-511 sprites).
inline uint16_t PaletteColour(const uint8_t* palette, uint32_t n) { return HalfAt(palette + 2 * n); }

// A VRAM offset computed from register fields can point past the 96 KB.
// The bus mirrors the last 32 KB into 0x18000-0x1FFFF, and so does this,
// which keeps every such read inside VRAM.
inline uint32_t MirrorVramOffset(uint32_t offset) {
    offset &= 0x1FFFF;
    return offset >= VramSize ? offset - 0x8000 : offset;
}

// What a layer leaves in SecondTargetLine where it draws: its own colour
// when it is a second target of the blend, NoPartner when it is not (it
// now hides whatever partner lay beneath). When BLDCNT names no second
// target at all, the line holds NoPartner throughout and nobody writes it;
// on a line where no layer reads it, nobody keeps it.
enum class PartnerWrite { Untracked, Clear, Colour };

inline PartnerWrite PartnerWriteFor(const Machine& m, bool secondTarget) {
    if (!m.Lines.PartnersRead || !(ReadIoHalf(m, Io::BLDCNT) & 0x3F00)) return PartnerWrite::Untracked;
    return secondTarget ? PartnerWrite::Colour : PartnerWrite::Clear;
}

// Calls draw(begin, end, effects) for every window run, cut to the visible
// line, in which the layer of layerBit may draw; effects says whether the
// colour effects apply there.
template <typename Draw>
void ForEachDrawnRun(const LineBuffers& lines, uint8_t layerBit, Draw&& draw) {
    int32_t begin = 0;
    for (uint32_t i = 0; i < lines.WindowRunCount; ++i) {
        const WindowRun& run = lines.WindowRuns[i];
        const int32_t end = std::min(run.end, ScreenWidth);
        if (begin < end && (run.layers & layerBit)) draw(begin, end, bool(run.layers & WindowEffectBit));
        begin = std::max(begin, end);
    }
}

// Follows the window runs along a layer drawn from left to right.
struct RunCursor {
    const WindowRun* run;

    explicit RunCursor(const LineBuffers& lines) : run(lines.WindowRuns.data()) {}

    // The run that holds x; x may not move left from one call to the next.
    const WindowRun& At(int32_t x) {
        while (run->end <= x) ++run;
        return *run;
    }
};

// The pixel store of every layer renderer: finishes the colour with the
// layer's effect where the window allows effects, and keeps the partner
// line. The renderers decide by selection rather than by branching
// whether a pixel is drawn: real pictures mix transparent and opaque
// pixels in no order a branch predictor could learn.
template <EffectVariant Variant, PartnerWrite Partners>
struct LayerPixels {
    uint16_t* out;
    uint16_t* partners;
    const uint8_t* windows;
    EffectFactors factors;

    // Writes colour at x when drawn is true.
    void Put(int32_t x, uint16_t colour, bool drawn) const {
        const uint16_t finished = FinishPixel<Variant>(colour, partners[x], windows[x] & WindowEffectBit, factors);
        Store(x, finished, colour, drawn);
    }

    // Writes colour at x, inside a window run where the layer draws and
    // effects says whether colour effects apply.
    void PutInRun(int32_t x, uint16_t colour, bool effects) const {
        out[x] = FinishPixel<Variant>(colour, partners[x], effects, factors);
        if constexpr (Partners == PartnerWrite::Colour) partners[x] = uint16_t(colour & 0x7FFF);
        if constexpr (Partners == PartnerWrite::Clear) partners[x] = NoPartner;
    }

    // Writes the finished pixel of colour at x, inside a window run where
    // the layer draws.
    void StoreInRun(int32_t x, uint16_t finished, uint16_t colour) const {
        out[x] = finished;
        if constexpr (Partners == PartnerWrite::Colour) partners[x] = uint16_t(colour & 0x7FFF);
        if constexpr (Partners == PartnerWrite::Clear) partners[x] = NoPartner;
    }

    // Writes an already finished pixel whose raw colour is colour.
    void Store(int32_t x, uint16_t finished, uint16_t colour, bool drawn) const {
        out[x] = drawn ? finished : out[x];
        if constexpr (Partners == PartnerWrite::Colour) partners[x] = drawn ? uint16_t(colour & 0x7FFF) : partners[x];
        if constexpr (Partners == PartnerWrite::Clear) partners[x] = drawn ? NoPartner : partners[x];
    }
};

// The pixel store for one visible line, its pointers at x = 0.
template <EffectVariant Variant, PartnerWrite Partners>
LayerPixels<Variant, Partners> LinePixels(Machine& m, uint32_t line) {
    return {SurfaceLine(m, line), SecondTargets(m), WindowLine(m), CurrentEffectFactors(m.BlendCoefficients)};
}

// Turn run-time choices into template arguments: draw is a generic lambda
// that is called with a std::integral_constant of the value.
template <typename Draw>
void WithPartnerWrite(PartnerWrite partners, Draw&& draw) {
    using enum PartnerWrite;
    switch (partners) {
    case Untracked: draw(std::integral_constant<PartnerWrite, Untracked>{}); break;
    case Clear: draw(std::integral_constant<PartnerWrite, Clear>{}); break;
    case Colour: draw(std::integral_constant<PartnerWrite, Colour>{}); break;
    }
}

template <typename Draw>
void WithFlag(bool flag, Draw&& draw) {
    if (flag)
        draw(std::true_type{});
    else
        draw(std::false_type{});
}

// The mosaic block sizes of MOSAIC (0x04C): backgrounds in bits 0-7,
// sprites in bits 8-15, each a width and a height minus one. Mosaic blocks
// are laid on the screen: a block repeats the pixel at its top-left corner,
// and blocks start at screen x 0 and line 0.
struct MosaicSize {
    int32_t width, height;
};

inline MosaicSize MosaicOf(uint16_t mosaic, uint32_t shift) {
    return {int32_t((mosaic >> shift) & 15) + 1, int32_t((mosaic >> (shift + 4)) & 15) + 1};
}

// Where the rotation-scaling walk of BG2 or BG3 (tiled or bitmap) starts on
// a line. Vertical mosaic (a block height above 1) draws every line of a
// block from the block's first screen line: the walk starts where it
// started that many lines ago.
struct AffinePoint {
    int32_t x, y;
};

inline AffinePoint AffineLineStart(const AffineBackground& affine, uint32_t line, int32_t mosaicHeight) {
    const int32_t linesBack = int32_t(line % uint32_t(mosaicHeight));
    return {affine.CurX - linesBack * affine.PB, affine.CurY - linesBack * affine.PD};
}

// A rotation-scaling line (tiled or bitmap) under horizontal mosaic, pixel
// by pixel: the walk from start by (pa, pc) is sampled at the first pixel
// of each block, and the block repeats that sample. sample(tx, ty, colour)
// gets the integer texture position and says whether it shows a colour
// there (and which).
template <typename Pixels, typename Sample>
void DrawMosaicWalk(const Pixels& pixels, AffinePoint start, int32_t pa, int32_t pc, int32_t mosaicWidth,
                    uint8_t layerBit, Sample&& sample) {
    int32_t textureX = start.x;
    int32_t textureY = start.y;
    uint16_t colour = 0;
    bool shown = false;
    for (int32_t x = 0; x < ScreenWidth; ++x) {
        const int32_t tx = textureX >> 8;
        const int32_t ty = textureY >> 8;
        textureX += pa;
        textureY += pc;
        if (x % mosaicWidth == 0) shown = sample(tx, ty, colour);
        if (!shown || !(pixels.windows[x] & layerBit)) continue;
        pixels.Put(x, colour, true);
    }
}

// The screen columns from begin to end (excluded) at which a walk of
// start + step * x (8 fraction bits) has its integer part inside [0, size):
// where a rotation-scaling walk lies over its bitmap or map. Worked out in
// 64 bits, so the bounds are exact wherever the walk goes.
struct ColumnRange {
    int32_t begin, end;
};

inline ColumnRange InsideColumns(int32_t start, int32_t step, int32_t size, ColumnRange columns) {
    const int64_t low = -int64_t(start);                   // step * x >= low
    const int64_t high = int64_t(size) * 256 - 1 - start;  // step * x <= high
    int64_t first = columns.begin, last = int64_t(columns.end) - 1;
    if (step == 0) {
        if (low > 0 || high < 0) return {columns.begin, columns.begin};
    } else if (step > 0) {
        first = std::max(first, low <= 0 ? -((-low) / step) : (low + step - 1) / step);
        last = std::min(last, high >= 0 ? high / step : -((-high + step - 1) / step));
    } else {
        const int64_t down = -int64_t(step);  // down * x <= -low, down * x >= -high
        first = std::max(first, -high <= 0 ? -(high / down) : (-high + down - 1) / down);
        last = std::min(last, -low >= 0 ? (-low) / down : -((low + down - 1) / down));
    }
    if (first > last) return {columns.begin, columns.begin};
    return {int32_t(first), int32_t(last + 1)};
}
