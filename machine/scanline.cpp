#include "machine/scanline.h"

#include "game/game.h"
#include "machine/host.h"

// Each display line is two slices: 960 cycles of drawing and 272 of
// horizontal blank; 228 lines make a frame.
static constexpr uint32_t DrawCycles = 960;
static constexpr uint32_t HblankCycles = 272;
static constexpr uint32_t SlicesPerFrame = 228 * 2;

static uint32_t SliceInFrame = 0;
uint32_t FrameCount = 0;

void ResetScanline() {
    SliceInFrame = 0;
    FrameCount = 0;
}

uint32_t ScanlineTick(CpuState& cpu) {
    ++SliceInFrame;
    cpu.SliceLength = (SliceInFrame & 1) ? HblankCycles : DrawCycles;
    if (SliceInFrame == SlicesPerFrame) {
        SliceInFrame = 0;
        ++FrameCount;
        Host.PollInput();
        if (StopRequested) return StopRunLoop;
    }
    return 0;
}
