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

#include <array>
#include <cstdint>

#include "machine/page_table.h"
#include "video/render_line.h"

inline constexpr int32_t ScreenWidth = 240;
inline constexpr int32_t ScreenHeight = 160;

// Bits of a window line byte: bit b for BG b, bit 4 for OBJ.
inline constexpr uint8_t WindowObjBit = 0x10;

extern std::array<uint8_t, SurfaceWidth> WindowMaskLine;
extern std::array<uint16_t, SurfaceWidth> SecondTargetLine;

inline uint16_t* SurfaceLine(uint32_t line) { return FrameSurface.data() + line * SurfaceWidth + LineGuard; }
inline uint8_t* WindowLine() { return WindowMaskLine.data() + LineGuard; }
inline uint16_t* SecondTargets() { return SecondTargetLine.data() + LineGuard; }

// The video memories. Each is one host block behind its bus base: VRAM is
// 96 KB, palette RAM and OAM lie at the start of their blocks.
inline constexpr uint32_t VramBusBase = 0x06000000;
inline constexpr uint32_t VramSize = 0x18000;
inline const uint8_t* Vram() { return PageTable.Read[VramBusBase >> PageShift]; }
inline const uint8_t* PaletteRam() { return PageTable.Read[0x05000000 >> PageShift]; }
inline const uint8_t* Oam() { return PageTable.Read[0x07000000 >> PageShift]; }

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
