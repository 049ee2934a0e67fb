#include "video/render_line.h"

#include <algorithm>

#include "machine/display_registers.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "video/affine_background.h"
#include "video/bitmap_background.h"
#include "video/colour_tables.h"
#include "video/line_buffers.h"
#include "video/sprites.h"
#include "video/text_background.h"
#include "video/windows.h"

using enum EffectVariant;

// One row per layer kind, one column per effect variant.
// clang-format off
const std::array<LineRenderer, 24> LineRendererTable = {
    &TextBgRenderer<None>,       &TextBgRenderer<Blend>,      &TextBgRenderer<Brighten>,       &TextBgRenderer<Darken>,
    &AffineBgRenderer<None>,     &AffineBgRenderer<Blend>,    &AffineBgRenderer<Brighten>,     &AffineBgRenderer<Darken>,
    &BitmapBgRenderer<3, None>,  &BitmapBgRenderer<3, Blend>, &BitmapBgRenderer<3, Brighten>,  &BitmapBgRenderer<3, Darken>,
    &BitmapBgRenderer<4, None>,  &BitmapBgRenderer<4, Blend>, &BitmapBgRenderer<4, Brighten>,  &BitmapBgRenderer<4, Darken>,
    &BitmapBgRenderer<5, None>,  &BitmapBgRenderer<5, Blend>, &BitmapBgRenderer<5, Brighten>,  &BitmapBgRenderer<5, Darken>,
    &SpriteRenderer<None>,       &SpriteRenderer<Blend>,      &SpriteRenderer<Brighten>,       &SpriteRenderer<Darken>,
};
// clang-format on

namespace {

constexpr uint16_t DISPCNT_FRAME_SELECT = 0x0010;
constexpr uint16_t DISPCNT_FORCED_BLANK = 0x0080;
constexpr uint16_t DISPCNT_OBJ_ON = 0x1000;
constexpr uint16_t DISPCNT_OBJ_WINDOW = 0x8000;
constexpr uint32_t SecondFrameOffset = 0xA000;

// The effect a layer is drawn with: BLDCNT's effect when the layer's
// first-target bit (0-3 BG0-BG3, 4 OBJ, 5 backdrop) is set.
uint32_t VariantOf(uint16_t bldcnt, uint32_t layer) { return (bldcnt >> layer) & 1 ? (bldcnt >> 6) & 3 : 0; }

// Which renderer family draws background b in a tiled display mode, if any.
bool TiledKindOf(uint32_t mode, uint32_t background, LayerKind& kind) {
    switch (mode) {
    case 0: kind = LayerKind::TextBg; return true;
    case 1:
        if (background == 3) return false;
        kind = background == 2 ? LayerKind::AffineBg : LayerKind::TextBg;
        return true;
    case 2: kind = LayerKind::AffineBg; return background >= 2;
    default: return false;
    }
}

// Sprite priority levels are drawn from the back (3) to the front (0), each
// once per line, right after the last background of the same priority.
struct SpriteLevels {
    // The levels (bits 0-3) that sprites on this line are drawn at; none
    // while OBJ is off.
    uint32_t shown;
    LineRenderer renderer;

    // Draws levels from down to to, both included; nothing when to > from.
    void Draw(Machine& m, uint32_t line, int32_t from, int32_t to) const {
        if (!shown) return;
        for (int32_t level = from; level >= to; --level)
            if ((shown >> level) & 1) renderer(m, line, uint32_t(level));
    }
};

}  // namespace

void PrepareLine(Machine& m, uint32_t line) {
    ++m.Lines.LineStamp;
    const uint16_t dispcnt = ReadIoHalf(m, Io::DISPCNT);
    const uint16_t bldcnt = ReadIoHalf(m, Io::BLDCNT);

    bool semiTransparentSprites = false;
    if (dispcnt & (DISPCNT_OBJ_ON | DISPCNT_OBJ_WINDOW)) {
        const LineSpriteList sprites = UpdateLineSprites(m, line);
        semiTransparentSprites = (dispcnt & DISPCNT_OBJ_ON) && sprites.semiTransparent;
    }
    // The OBJ window follows the game's DISPCNT: hiding the sprites from
    // view leaves the window they shape in place.
    BuildWindowLine(m, line, dispcnt);

    // The backdrop may be brightened or darkened, where the window allows
    // effects, but it is the bottom layer and so never blends itself.
    const uint16_t backdrop = PaletteColour(m.Palette.data(), 0);
    const EffectFactors factors = CurrentEffectFactors(m.BlendCoefficients);
    const uint16_t plain = PlainPixel(backdrop);
    uint16_t finished = plain;
    const uint32_t variant = VariantOf(bldcnt, 5);
    if (variant == uint32_t(EffectVariant::Brighten)) finished = BrightenPixel(backdrop, factors);
    if (variant == uint32_t(EffectVariant::Darken)) finished = DarkenPixel(backdrop, factors);
    uint16_t* out = SurfaceLine(m, line);
    if (finished == plain) {
        FillPixels(out, ScreenWidth, plain);
    } else {
        int32_t begin = 0;
        for (uint32_t i = 0; begin < ScreenWidth; ++i) {
            const WindowRun& run = m.Lines.WindowRuns[i];
            const int32_t end = std::min(run.end, ScreenWidth);
            FillPixels(out + begin, end - begin, (run.layers & WindowEffectBit) ? finished : plain);
            begin = end;
        }
    }

    // The partner line is read by alpha-blended first targets and by
    // semi-transparent sprites; on a line without either nobody keeps it.
    const bool alphaBlends = (bldcnt & 0xC0) == 0x40 && (bldcnt & 0x1F);
    m.Lines.PartnersRead = alphaBlends || semiTransparentSprites;
    if (m.Lines.PartnersRead) {
        uint16_t* partners = SecondTargets(m);
        FillPixels(partners, ScreenWidth, (bldcnt & 0x2000) ? uint16_t(backdrop & 0x7FFF) : NoPartner);
    }
}

void RenderLine(Machine& m) {
    const uint32_t line = ReadIoHalf(m, Io::VCOUNT);
    // Only lines 0-159 exist on the screen; anything else would write past
    // the surface.
    if (line >= SurfaceHeight) return;
    const uint16_t gameDispcnt = ReadIoHalf(m, Io::DISPCNT);
    const uint16_t bldcnt = ReadIoHalf(m, Io::BLDCNT);
    const uint16_t dispcnt = uint16_t(gameDispcnt & ~((m.LayerHideMask & 0x1F) << 8));

    // Forced blank: the display is cut off from VRAM and shows white.
    if (gameDispcnt & DISPCNT_FORCED_BLANK) {
        uint16_t* out = SurfaceLine(m, line);
        FillPixels(out, ScreenWidth, PlainPixel(0x7FFF));
        return;
    }

    PrepareLine(m, line);

    const uint32_t mode = dispcnt & 7;
    const SpriteLevels sprites{(dispcnt & DISPCNT_OBJ_ON) ? SpritesOnLine(m, line).levels : 0u,
                               LayerRenderer(LayerKind::Sprites, VariantOf(bldcnt, 4))};

    if (mode <= 2) {
        sprites.Draw(m, line, 3, int32_t(BgEntryPriority(m.BgOrderList[0])) + 1);
        for (uint32_t i = 0; i < 4; ++i) {
            uint32_t entry = m.BgOrderList[i];
            const uint32_t background = BgEntryNumber(entry);
            LayerKind kind;
            if (TiledKindOf(mode, background, kind) && (dispcnt & (0x100u << background))) {
                entry = (entry & ~(1u << 27)) | uint32_t((bldcnt >> (8 + background)) & 1) << 27;
                m.BgOrderList[i] = entry;
                LayerRenderer(kind, VariantOf(bldcnt, background))(m, line, entry);
            }
            const int32_t nextPriority = i < 3 ? int32_t(BgEntryPriority(m.BgOrderList[i + 1])) : -1;
            sprites.Draw(m, line, int32_t(BgEntryPriority(entry)), nextPriority + 1);
        }
    } else if (mode <= 5) {
        const int32_t priority = ReadIoHalf(m, Io::BG0CNT + 4) & 3;
        sprites.Draw(m, line, 3, priority + 1);
        if (dispcnt & 0x400) {
            const LayerKind kind = mode == 3   ? LayerKind::Mode3Bitmap
                                   : mode == 4 ? LayerKind::Mode4Bitmap
                                               : LayerKind::Mode5Bitmap;
            const uint32_t frame =
                VramBusBase + (mode != 3 && (gameDispcnt & DISPCNT_FRAME_SELECT) ? SecondFrameOffset : 0);
            LayerRenderer(kind, VariantOf(bldcnt, 2))(m, line, frame);
        }
        sprites.Draw(m, line, priority, 0);
    }
    // Modes 6 and 7 show the backdrop alone.
}
