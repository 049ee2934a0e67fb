#pragma once
// Windows 0 and 1: rectangles that choose, per pixel, which layers may draw
// and whether colour effects apply (WININ for the inside of each, WINOUT
// bits 0-7 for everything outside). The OBJ window, shaped by sprites
// (ObjWindowOverlay in video/sprites.h), lies beneath both: window 0 wins
// over window 1, window 1 over the OBJ window, and that over the outside.

#include <cstdint>

struct Machine;

// Writes the 240 visible bytes of WindowMaskLine for the line, and the same
// as WindowRuns. Without any window enabled every layer may draw everywhere
// and effects apply (0xFF): one run.
void BuildWindowLine(Machine& m, uint32_t line, uint16_t dispcnt);
