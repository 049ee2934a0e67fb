#pragma once
// Line rendering: the picture is composed one scanline at a time, straight
// into the frame surface, when the line's horizontal blank begins. Layers
// are drawn back to front in painter's order; each renderer finishes its
// pixels (colour effect included) as it writes them.

#include <array>
#include <cstdint>

#include "video/colour_cache.h"

// The frame surface: 500 x 160 host pixels (5-5-5, red in bits 10-14), top
// down, lines back to back. Visible pixel (x, y) is surface pixel
// (LineGuard + x, y); the 130 columns on each side let layer renderers run
// past the screen edges without clipping and are never shown.
inline constexpr uint32_t SurfaceWidth = 500;
inline constexpr uint32_t SurfaceHeight = 160;
inline constexpr uint32_t LineGuard = 130;
inline constexpr int32_t ScreenWidth = 240;
inline constexpr int32_t ScreenHeight = 160;

// It is the machine's FrameSurface. The machine's LayerHideMask: bits 0-4
// hide BG0-BG3 and the sprites from the picture without changing DISPCNT as
// the game reads it (a viewer's switch, set by the front-end).

// A stretch of the line over which the window line holds one value: from
// the end of the run before it (the left end of the line guard for the
// first) up to end, excluded.
struct WindowRun {
    int32_t end;
    uint8_t layers;
};

// What the layer renderers of one line share beside the surface line
// (video/line_buffers.h): the window line that says which layers may draw
// at each x, the same as runs of equal value (the first starting in the
// left guard, the last ending in the right one), and the second-target
// line that remembers the blend partner, kept only on lines where some
// layer reads it; and the tile rows decoded from either palette half.
struct LineBuffers {
    std::array<uint8_t, SurfaceWidth> WindowMaskLine{};
    std::array<uint16_t, SurfaceWidth> SecondTargetLine{};
    std::array<WindowRun, ScreenWidth + 1> WindowRuns{};
    uint32_t WindowRunCount = 0;
    bool PartnersRead = true;
    // Counts the lines prepared, so that a cache checks once per line.
    uint32_t LineStamp = 0;
    ColourCache BackgroundColours;
    ColourCache SpriteColours;
};

struct Machine;

// A layer renderer draws one line of one layer. The argument depends on the
// kind of layer: the BgOrderList entry for tiled and rotation-scaling
// backgrounds, the bus address of the displayed frame for bitmaps, the
// priority level for sprites.
using LineRenderer = void (*)(Machine& m, uint32_t line, uint32_t argument);

enum class LayerKind : uint32_t { TextBg, AffineBg, Mode3Bitmap, Mode4Bitmap, Mode5Bitmap, Sprites };

// Four renderers per kind, one per EffectVariant (none, alpha blend,
// brighten, darken), at index kind * 4 + variant.
extern const std::array<LineRenderer, 24> LineRendererTable;

inline LineRenderer LayerRenderer(LayerKind kind, uint32_t variant) {
    return LineRendererTable[uint32_t(kind) * 4 + (variant & 3)];
}

// Lays down what every line starts from: the window line (windows 0 and 1,
// the outside and the OBJ window), the backdrop with its colour effect, and
// the second-target line.
void PrepareLine(Machine& m, uint32_t line);

// Draws line VCOUNT (0-159) of the display into the frame surface.
void RenderLine(Machine& m);
