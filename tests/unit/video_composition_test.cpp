// Line composition: the colour effects and their saturation, the drawing
// order of backgrounds and sprite levels, the blend partner, the backdrop,
// the windows and the layer hide mask. What the picture cartridges show
// (plain colours, an alpha blend, darkening, window 0 beside the outside,
// the OBJ window) is left to their golden pictures.

#include <random>
#include <utility>
#include <vector>

#include "machine/display_registers.h"
#include "video/colour_tables.h"
#include "video/line_buffers.h"
#include "video_fixture.h"

namespace {

constexpr uint32_t BLDCNT = 0x050, BLDALPHA = 0x052, BLDY = 0x054;
constexpr uint32_t WIN0H = 0x040, WIN1H = 0x042, WIN0V = 0x044, WIN1V = 0x046, WININ = 0x048, WINOUT = 0x04A;

struct EffectCase {
    const char* name;
    uint16_t colour, partner;
    uint32_t eva, evb, evy;
    bool brighten;      // else blend
    uint16_t expected;  // surface pixel, worked out by hand
};

// Components in sixteenths. The sum saturates on bit 9 alone: 16 x 16 +
// 16 x 16 = 512 is the first sum with it set and clips to 31.
const EffectCase EffectCases[] = {
    {"SixteenPlusSixteenClips", 0x0010, 0x0010, 16, 16, 0, false, 0x7C00},
    {"FifteenPlusSixteenDoesNotClip", 0x000F, 0x0010, 16, 16, 0, false, 0x7C00},  // 496 -> 31
    {"GreenClipsAloneBlueStays", 0x0280 | 0x2800, 0x0280, 16, 16, 0, false, 0x03E0 | 0x000A},
    {"BlackPartnerAddsNothing", HandheldWhite, 0, 4, 16, 0, false, 0x1CE7},  // 31 x 4 = 124 -> 7
    {"NoPartnerLeavesTheColour", HandheldWhite, NoPartner, 4, 16, 0, false, SurfaceWhite},
    {"BrightenBlackFully", 0x0000, 0, 0, 0, 16, true, SurfaceWhite},
    {"BrightenHalfway", 0x000A, 0, 0, 0, 8, true, 0x51EF},  // red 10 -> 20, others 15
};

uint16_t Finish(const EffectCase& c) {
    const EffectFactors factors{c.eva, c.evb, c.evy};
    return c.brighten ? FinishPixel<EffectVariant::Brighten>(c.colour, c.partner, true, factors)
                      : FinishPixel<EffectVariant::Blend>(c.colour, c.partner, true, factors);
}

TEST(ColourEffects, WorkedExamples) {
    for (const EffectCase& c : EffectCases) {
        EXPECT_EQ(Finish(c), c.expected) << c.name;
        // Bit 15 of a handheld colour is not part of the colour.
        EffectCase high = c;
        high.colour |= 0x8000;
        EXPECT_EQ(Finish(high), c.expected) << c.name << " with bit 15";
    }
}

// Four backgrounds that cover the whole screen, each in one solid colour:
// BG b shows tile b + 1 from its own screen block, filled with colour index
// b + 1 (16-colour tiles, bank 0).
class CompositionTest : public VideoTest {
protected:
    CompositionTest() {
        HideAllSprites();
        for (uint32_t b = 0; b < 4; ++b) {
            FillVram(32 * (b + 1), 32, uint8_t(0x11 * (b + 1)));
            for (uint32_t i = 0; i < 1024; ++i) SetVram16((28 + b) * 0x800 + 2 * i, uint16_t(b + 1));
        }
        // A sprite tile (tile 0 of sprite memory) of colour index 1.
        FillVram(0x10000, 32, 0x11);
    }
    void Background(uint32_t b, uint32_t priority, uint16_t colour) {
        SetPalette(b + 1, colour);
        SetIo(Io::BG0CNT + 2 * b, uint16_t(priority | (28 + b) << 8));
    }
    // An 8x8 sprite of sprite palette colour 1 at (x, 0).
    void Sprite(uint32_t n, int32_t x, uint32_t priority, uint32_t mode = 0) {
        SetOam(n, uint16_t(mode << 10), uint16_t(x & 0x1FF), uint16_t(priority << 10));
    }
};

TEST_F(CompositionTest, EqualPrioritiesPutTheLowerBackgroundAndThenSpritesInFront) {
    Background(0, 1, HandheldRed);
    Background(1, 1, HandheldGreen);
    Background(2, 2, HandheldBlue);
    SetPalette(257, HandheldWhite);
    Sprite(0, 0, 1);   // same priority as BG0 and BG1: in front of both
    Sprite(1, 16, 2);  // behind BG0 and BG1, in front of BG2
    SetIo(Io::DISPCNT, 0x1700);
    Render(3);
    EXPECT_EQ(Pixel(0, 3), SurfaceWhite);
    EXPECT_EQ(Pixel(8, 3), SurfaceRed);
    EXPECT_EQ(Pixel(16, 3), SurfaceRed);

    // Without BG0 and BG1 the priority-2 sprite beats BG2 of equal priority.
    SetIo(Io::DISPCNT, 0x1400);
    Render(3);
    EXPECT_EQ(Pixel(16, 3), SurfaceWhite);
    EXPECT_EQ(Pixel(8, 3), SurfaceBlue);
}

// What lies between a first target and a second one shows in the effects
// picture; here, a layer that is both.
TEST_F(CompositionTest, BlendPartnerIsThePixelDirectlyBeneath) {
    Background(3, 3, HandheldRed);
    Background(2, 2, HandheldGreen);
    Background(0, 0, HandheldBlue);
    SetIo(Io::DISPCNT, 0x0D00);
    SetIo(BLDALPHA, 0x0808);

    SetIo(BLDCNT, 0x0C00 | 0x0040 | 0x0001);
    Render(0);
    EXPECT_EQ(Pixel(100, 0), 0x01EF);  // green 15, blue 15

    // BG2 both a first and a second target: drawn as red 15 + green 15, yet
    // BG0 blends with BG2's own colour.
    SetIo(BLDCNT, 0x0C00 | 0x0040 | 0x0005);
    Render(0);
    EXPECT_EQ(Pixel(100, 0), 0x01EF);
    SetIo(Io::DISPCNT, 0x0C00);
    Render(0);
    EXPECT_EQ(Pixel(100, 0), 0x3DE0);
}

TEST_F(CompositionTest, BackdropAndItsEffects) {
    SetPalette(0, HandheldWhite);
    Background(0, 0, HandheldRed);
    SetIo(BLDY, 8);
    SetIo(BLDALPHA, 0x0008);

    SetIo(Io::DISPCNT, 0x0106);  // mode 6 draws nothing but the backdrop
    Render(0);
    EXPECT_EQ(Pixel(0, 0), SurfaceWhite);
    EXPECT_EQ(Pixel(239, 0), SurfaceWhite);

    SetIo(Io::DISPCNT, 0x0180);  // forced blank: white, whatever is enabled
    SetPalette(0, HandheldBlue);
    Render(1);
    EXPECT_EQ(Pixel(10, 1), SurfaceWhite);

    SetIo(Io::DISPCNT, 0x0000);
    SetIo(BLDCNT, 0x00E0);  // darken the backdrop by half
    Render(1);
    EXPECT_EQ(Pixel(10, 1), 0x000F);
    SetPalette(0, HandheldWhite);

    SetIo(BLDCNT, 0x0060);  // alpha leaves the backdrop alone, even without a partner
    Render(3);
    EXPECT_EQ(Pixel(10, 3), SurfaceWhite);
}

struct WindowCase {
    const char* name;
    uint16_t dispcnt, win0h, win0v, win1h, win1v;
    uint32_t line;
    std::vector<std::pair<uint32_t, uint8_t>> runs;  // from x on (to the next run), the mask byte
};

// WININ = 0x2A15 (window 0: 0x15, window 1: 0x2A), WINOUT bits 0-7 = 0x03.
// clang-format off
const WindowCase WindowCases[] = {
    {"Window0WinsOverlapWindow1ToTheEdge", 0x6000, 50 << 8 | 120, 0x00A0, 100 << 8 | 240, 0x00A0, 5,
     {{0, 0x03}, {50, 0x15}, {120, 0x2A}}},
    {"RightEdgeClampsTo240", 0x2000, 200 << 8 | 255, 0x00A0, 0, 0, 5, {{0, 0x03}, {200, 0x15}}},
    {"LeftBeyondRightWrapsRound", 0x2000, 200 << 8 | 20, 0x00A0, 0, 0, 5, {{0, 0x15}, {20, 0x03}, {200, 0x15}}},
    {"BothEdgesOffTheScreenWrapRoundTheWholeLine", 0x2000, 250 << 8 | 245, 0x00A0, 0, 0, 5, {{0, 0x15}}},
    {"EqualEdgesAreEmpty", 0x2000, 100 << 8 | 100, 0x00A0, 0, 0, 5, {{0, 0x03}}},
    {"TopBelowBottomWrapsRound", 0x2000, 0x00F0, 80 << 8 | 40, 0, 0, 30, {{0, 0x15}}},
    {"BetweenBottomAndTopIsOutside", 0x2000, 0x00F0, 80 << 8 | 40, 0, 0, 60, {{0, 0x03}}},
    {"BottomLineIsOutside", 0x2000, 0x00F0, 10 << 8 | 60, 0, 0, 60, {{0, 0x03}}},
    {"TopLineIsInside", 0x2000, 0x00F0, 60 << 8 | 61, 0, 0, 60, {{0, 0x15}}},
    {"ObjWindowAloneMakesTheOutside", 0x8000, 0x00F0, 0x00A0, 0, 0, 5, {{0, 0x03}}},
};
// clang-format on

TEST_F(CompositionTest, WindowLine) {
    SetIo(WININ, 0x2A15);
    SetIo(WINOUT, 0x0003);
    for (const WindowCase& c : WindowCases) {
        SetIo(Io::DISPCNT, c.dispcnt);
        SetIo(WIN0H, c.win0h);
        SetIo(WIN0V, c.win0v);
        SetIo(WIN1H, c.win1h);
        SetIo(WIN1V, c.win1v);
        PrepareLine(c.line);
        for (size_t r = 0; r < c.runs.size(); ++r) {
            const uint32_t end = r + 1 < c.runs.size() ? c.runs[r + 1].first : 240;
            for (uint32_t x = c.runs[r].first; x < end; ++x)
                ASSERT_EQ(WindowMaskLine[LineGuard + x], c.runs[r].second) << c.name << " at x " << x;
        }
    }
}

// Whatever the registers, OAM and VRAM hold, every renderer must stay
// inside VRAM, palette RAM, OAM and the frame surface. Most telling under
// the sanitizer build, which turns any stray access into a failure.
TEST_F(VideoTest, AnyRegisterContentsStayInsideTheMemories) {
    std::mt19937 random(7);
    for (uint32_t round = 0; round < 48; ++round) {
        for (uint32_t offset = 0; offset < 0x18000; offset += 4) machine.Write32(0x06000000 + offset, random());
        for (uint32_t offset = 0; offset < 0x400; offset += 4) {
            machine.Write32(0x05000000 + offset, random());
            machine.Write32(0x07000000 + offset, random());
        }
        for (uint32_t offset = 0x008; offset < 0x056; offset += 2) SetIo(offset, uint16_t(random()));
        SetIo(Io::DISPCNT, uint16_t(random() & ~7u) | uint16_t(round % 8));
        LayerHideMask = uint8_t(random());
        for (uint32_t line = 0; line < 160; ++line) {
            // The scanline driver's affine walk: 28-bit reference points
            // stepped by up to 160 lines.
            for (AffineBackground& bg : AffineState) {
                bg.CurX = bg.RefX + int32_t(line) * bg.PB;
                bg.CurY = bg.RefY + int32_t(line) * bg.PD;
            }
            Render(line);
        }
    }
    Render(200);  // not a screen line: nothing happens
    SUCCEED();
}

}  // namespace
