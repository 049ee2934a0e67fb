#pragma once
// The colour formats of the picture and the three colour effects.
//
// The handheld stores colours as 5-5-5 with red in the low bits; the frame
// surface wants the host's 5-5-5 with red in the high bits. Colour effects
// work on a "spread" form that gives each component ten bits of room, so a
// blend is two multiplies and an add on one 32-bit word, and saturation is a
// test of one bit per component.

#include <array>
#include <cstdint>

#include "machine/display_registers.h"

// Surface pixel of each handheld colour (red and blue exchanged). Bit 15 of
// the handheld value is ignored, so both halves of the table agree.
extern const std::array<uint16_t, 65536> DisplayColourTable;

// Spread form of each handheld colour: red in bits 0-4, green in 10-14, blue
// in 20-24. Two components scaled by up to 16 and summed stay below 1024,
// so nothing spills into the next component.
extern const std::array<uint32_t, 65536> SpreadColourTable;

// White in the spread form: every component at 31.
inline constexpr uint32_t SpreadWhite = 0x1F07C1F;

// The colour effect a layer is drawn with on this line (BLDCNT bits 6-7 when
// the layer is a first target, else None).
enum class EffectVariant : uint32_t { None = 0, Blend = 1, Brighten = 2, Darken = 3 };

// The coefficients in sixteenths, read once per line.
struct EffectFactors {
    uint32_t eva, evb, evy;
};

inline EffectFactors CurrentEffectFactors(const BlendFactors& blend) {
    return {uint32_t(blend.EVA), uint32_t(blend.EVB), uint32_t(blend.EVY)};
}

// Turns a spread sum (each component in sixteenths) back into a surface
// pixel, all three components at once: each is shifted down to whole
// steps, and one of 32 or more (bit 9 of its field set; sums never reach
// 1024) clips to 31. The surface pixel has red in bits 10-14, green in 5-9,
// blue in 0-4.
inline uint16_t NarrowSpread(uint32_t sum) {
    uint32_t components = (sum >> 4) & SpreadWhite;
    components |= ((sum >> 9) & 0x00100401u) * 31;
    return uint16_t((components & 0x1F) << 10 | ((components >> 5) & 0x3E0) | ((components >> 20) & 0x1F));
}

inline uint16_t PlainPixel(uint16_t colour) { return DisplayColourTable[colour]; }

// Alpha blend of colour (weight EVA) over partner (weight EVB).
inline uint16_t BlendPixel(uint16_t colour, uint16_t partner, const EffectFactors& factors) {
    return NarrowSpread(SpreadColourTable[colour] * factors.eva + SpreadColourTable[partner] * factors.evb);
}

// Moves each component EVY sixteenths of the way towards 31.
inline uint16_t BrightenPixel(uint16_t colour, const EffectFactors& factors) {
    const uint32_t spread = SpreadColourTable[colour];
    return NarrowSpread(spread * 16 + (SpreadWhite - spread) * factors.evy);
}

// Moves each component EVY sixteenths of the way towards 0.
inline uint16_t DarkenPixel(uint16_t colour, const EffectFactors& factors) {
    return NarrowSpread(SpreadColourTable[colour] * (16 - factors.evy));
}

// The blend partner of a pixel is the raw colour of the pixel directly
// beneath it when that pixel belongs to a second target of the blend;
// NoPartner (a value no stored colour has, since stored colours drop bit
// 15) when it does not. A first-target pixel without a partner is drawn
// unblended.
inline constexpr uint16_t NoPartner = 0x8000;

// The finishing step every layer renderer applies at a pixel, chosen at
// compile time so a renderer's inner loop holds no effect test. effects is
// the window's colour-effect bit at the pixel: where it is clear, no
// effect applies.
// Where brightening and darkening apply is decided by large areas (the
// windows), so those tests branch: a predicted branch costs less than
// computing both outcomes.
template <EffectVariant Variant>
inline uint16_t FinishPixel(uint16_t colour, uint16_t partner, bool effects, const EffectFactors& factors) {
    if constexpr (Variant == EffectVariant::Blend) {
        // Unblended is a blend of 16 sixteenths of the colour and none of
        // the partner: one formula either way, no second table look-up.
        const bool blend = effects && !(partner & NoPartner);
        const uint32_t eva = blend ? factors.eva : 16;
        const uint32_t evb = blend ? factors.evb : 0;
        return NarrowSpread(SpreadColourTable[colour] * eva + SpreadColourTable[partner] * evb);
    }
    if constexpr (Variant == EffectVariant::Brighten) {
        if (effects) [[likely]]
            return BrightenPixel(colour, factors);
    }
    if constexpr (Variant == EffectVariant::Darken) {
        if (effects) [[likely]]
            return DarkenPixel(colour, factors);
    }
    return PlainPixel(colour);
}
