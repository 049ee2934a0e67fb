#pragma once
// Driving the scanline driver from tests without the CPU: each call ends a
// slice as the run loop does after running it exactly to its end.

#include <cstdint>

#include "cpu/cpu_state.h"
#include "machine/io_registers.h"
#include "machine/scanline.h"

// Ends the current slice with the given overshoot (cycles run past its end).
inline uint32_t EndSlice(int32_t overshoot = 0) {
    Cpu.Cycles = -overshoot;
    return ScanlineTick(Cpu);
}

inline uint32_t CurrentLine() { return ReadIoHalf(Io::VCOUNT); }
inline bool InHblank() { return ReadIoHalf(Io::DISPSTAT) & StatusHblank; }

// Ends slices until the display is in the given line, in its drawing part
// or its horizontal blank. Returns the last tick's result.
inline uint32_t AdvanceTo(uint32_t line, bool hblank) {
    uint32_t result;
    do {
        result = EndSlice();
    } while (!(CurrentLine() == line && InHblank() == hblank) && result != StopRunLoop);
    return result;
}
