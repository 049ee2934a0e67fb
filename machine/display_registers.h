#pragma once
// Display state derived from the video registers as they are written, kept
// in the form the line renderer wants it: the backgrounds in drawing order,
// the rotation-scaling parameters with their running positions, and the
// colour-effect coefficients.

#include <array>
#include <cstdint>

// BgOrderList: one entry per background, kept in descending order of the whole entry so
// that list order is back-to-front drawing order: the larger priority number
// first, and among equal priorities the higher background number first.
//   bits 30-31 priority (BGxCNT bits 0-1), 28-29 background number,
//   bit 27 second-target flag (the renderer's own; 0 when the entry is
//   written here), bits 0-15 the BGxCNT value.
struct Machine;

inline constexpr uint32_t BgEntryNumber(uint32_t entry) { return (entry >> 28) & 3; }
inline constexpr uint32_t BgEntryPriority(uint32_t entry) { return entry >> 30; }

// Rewrites the machine's BgOrderList for a store of value to BGnCNT.
void UpdateBgOrder(Machine& m, uint32_t background, uint16_t value);

// BG2 or BG3 in a rotation-scaling mode. The reference point is the value
// of the BGxX/BGxY registers (28-bit, 8 fraction bits); the current point is
// where the line being drawn starts. The hardware latches the reference at
// the top of the frame and after every register write, and steps the
// current point by (PB, PD) after each line. The field order is the one the
// snapshot file stores.
struct AffineBackground {
    int32_t RefX, RefY;
    int32_t CurX, CurY;
    int32_t PA, PB, PC, PD;  // 8.8 fixed point, sign-extended from 16 bits
};

// The machine's AffineState: index 0 is BG2, index 1 BG3.

// Colour-effect coefficients in sixteenths, 0 to 16: EVA and EVB weigh the
// two layers of an alpha blend (BLDALPHA), EVY the brightness change (BLDY):
// the machine's BlendCoefficients.
struct BlendFactors {
    int32_t EVA, EVB, EVY;
};
