#pragma once
// Windows 0 and 1: rectangles that choose, per pixel, which layers may draw
// (WININ for the inside of each, WINOUT bits 0-7 for everything outside).
// The OBJ window, shaped by sprites, is laid over the result by the sprite
// unit (ObjWindowOverlay in video/sprites.h).

#include <cstdint>

// Horizontal extent [left, right) of a window on one line; empty when
// left >= right.
struct WindowSpan {
    uint32_t left = 0;
    uint32_t right = 0;
};

// The span of window 0 or 1 on a line: empty when the window is off in
// dispcnt (bits 13, 14) or the line lies outside top <= line < bottom.
// Neither direction wraps: a window whose top is not above its bottom, or
// whose left edge lies right of its right edge, is empty.
WindowSpan WindowSpanOnLine(uint32_t window, uint32_t line, uint16_t dispcnt);

// Writes the 240 visible bytes of WindowMaskLine for the line. Without any
// window enabled every layer may draw everywhere (0xFF).
void BuildWindowLine(uint32_t line, uint16_t dispcnt);
