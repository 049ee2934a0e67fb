#pragma once
// The scanline driver: called by the run loop at the end of every slice, it
// advances the display in half-lines. Each display line is two halves, 960
// cycles of drawing and 272 of horizontal blank; a frame is 228 lines, 160
// drawn and 68 of vertical blank. A slice lasts to the end of the current
// half, or ends earlier at a timer's interrupt (machine/timers.h). Blanking
// flags, line rendering, the blanking DMAs, presentation, input and the
// sound frame tick happen here, at the half-line boundaries.

#include <cstdint>

struct Machine;

inline constexpr uint32_t StopRunLoop = 0xFFFFFFFF;

inline constexpr uint32_t DrawCycles = 960;
inline constexpr uint32_t HblankCycles = 272;
inline constexpr uint32_t VisibleLines = 160;
inline constexpr uint32_t LinesPerFrame = 228;

// DISPSTAT bits the hardware drives.
inline constexpr uint16_t StatusVblank = 1u << 0;
inline constexpr uint16_t StatusHblank = 1u << 1;
inline constexpr uint16_t StatusLineMatch = 1u << 2;

// Ends one slice: sets the next slice's length and returns the pending
// interrupt mask (IE AND IF under IME), or StopRunLoop when the front-end
// asked the game run to stop.
uint32_t ScanlineTick(Machine& m);
