#pragma once
// Windows 0 and 1: rectangles that choose, per pixel, which layers may draw
// and whether colour effects apply (WININ for the inside of each, WINOUT
// bits 0-7 for everything outside). The OBJ window, shaped by sprites
// (ObjWindowOverlay in video/sprites.h), lies beneath both: window 0 wins
// over window 1, window 1 over the OBJ window, and that over the outside.

#include <cstdint>

struct Machine;

// Horizontal extent of a window on one line, both edges at most 240:
// [left, right), or when it wraps round the line edge [left, 240) and
// [0, right).
struct WindowSpan {
    uint32_t left = 0;
    uint32_t right = 0;
    bool wraps = false;
};

// The span of window 0 or 1 on a line: empty when the window is off in
// dispcnt (bits 13, 14) or the line lies outside it. Both directions wrap
// as the hardware's edge comparisons do: a top below the bottom covers the
// lines from the top to the end of the screen and from line 0 to the
// bottom, and likewise a left edge right of the right edge. Edges beyond
// the screen (right = 241, say) never match and so reach the screen edge.
WindowSpan WindowSpanOnLine(const Machine& m, uint32_t window, uint32_t line, uint16_t dispcnt);

// Writes the 240 visible bytes of WindowMaskLine for the line, and the same
// as WindowRuns. Without any window enabled every layer may draw everywhere
// and effects apply (0xFF): one run.
void BuildWindowLine(Machine& m, uint32_t line, uint16_t dispcnt);
