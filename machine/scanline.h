#pragma once
// The scanline driver: called by the run loop at the end of every slice,
// it advances the machine's time in half-lines and frames.

#include <cstdint>

#include "cpu/cpu_state.h"

inline constexpr uint32_t StopRunLoop = 0xFFFFFFFF;

// Ends one slice: sets the next slice's length and returns the pending
// interrupt mask, or StopRunLoop when the front-end asked the game to stop.
uint32_t ScanlineTick(CpuState& cpu);

// Restarts the line and frame counters (hardware reset).
void ResetScanline();

// Frames completed since the last reset.
extern uint32_t FrameCount;
