#include "video/windows.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "machine/io_registers.h"
#include "video/line_buffers.h"
#include "video/sprites.h"

namespace {

constexpr uint16_t DISPCNT_OBJ_WINDOW = 0x8000;

constexpr uint32_t WinHOffset(uint32_t window) { return Io::WIN0H + 2 * window; }
constexpr uint32_t WinVOffset(uint32_t window) { return Io::WIN0V + 2 * window; }

// Whether position lies in the window's range from first (included) to
// last (excluded) along one direction, wrapping when first > last.
bool InRange(uint32_t position, uint32_t first, uint32_t last) {
    return first <= last ? position >= first && position < last : position >= first || position < last;
}

void FillSpan(uint8_t* windows, const WindowSpan& span, uint8_t value) {
    if (!span.wraps) {
        std::memset(windows + span.left, value, span.right - span.left);
    } else {
        std::memset(windows, value, span.right);
        std::memset(windows + span.left, value, ScreenWidth - span.left);
    }
}

// The right end of the line guard, where the last run ends.
constexpr int32_t LineEnd = int32_t(SurfaceWidth - LineGuard);

// Cuts the visible window line into runs of equal bytes, eight bytes at a
// time. The first run reaches into the left guard and the last into the
// right one, so a layer drawing past the screen edges stays inside a run.
void CutIntoRuns(LineBuffers& lines, const uint8_t* windows) {
    uint32_t count = 0;
    int32_t x = 0;
    while (x < ScreenWidth) {
        const uint8_t value = windows[x];
        const uint64_t repeated = value * 0x0101010101010101u;
        int32_t end = x + 1;
        while (end < ScreenWidth) {
            // Bytes past the screen edge may be anything: the run is cut
            // at the edge below in any case.
            const uint64_t differing = LoadLittle<uint64_t>(windows + end) ^ repeated;
            if (differing) {
                end += std::countr_zero(differing) / 8;
                break;
            }
            end += 8;
        }
        end = std::min(end, ScreenWidth);
        lines.WindowRuns[count++] = {end, value};
        x = end;
    }
    lines.WindowRuns[count - 1].end = LineEnd;
    lines.WindowRunCount = count;
}

}  // namespace

WindowSpan WindowSpanOnLine(const Machine& m, uint32_t window, uint32_t line, uint16_t dispcnt) {
    if (!(dispcnt & (0x2000u << window))) return {};
    const uint16_t vertical = ReadIoHalf(m, WinVOffset(window));
    if (!InRange(line, vertical >> 8, vertical & 0xFF)) return {};
    const uint16_t horizontal = ReadIoHalf(m, WinHOffset(window));
    const uint32_t left = horizontal >> 8;
    const uint32_t right = horizontal & 0xFF;
    return {std::min<uint32_t>(left, ScreenWidth), std::min<uint32_t>(right, ScreenWidth), left > right};
}

void BuildWindowLine(Machine& m, uint32_t line, uint16_t dispcnt) {
    uint8_t* windows = WindowLine(m);
    if (!(dispcnt & 0xE000)) {
        std::memset(windows, 0xFF, ScreenWidth);
        m.Lines.WindowRuns[0] = {LineEnd, 0xFF};
        m.Lines.WindowRunCount = 1;
        return;
    }
    // From the bottom of the window priorities up, each overwriting what
    // lies beneath it.
    std::memset(windows, ReadIoHalf(m, Io::WINOUT) & 0xFF, ScreenWidth);
    if (dispcnt & DISPCNT_OBJ_WINDOW) ObjWindowOverlay(m, line);
    const uint16_t inside = ReadIoHalf(m, Io::WININ);
    FillSpan(windows, WindowSpanOnLine(m, 1, line, dispcnt), uint8_t(inside >> 8));
    FillSpan(windows, WindowSpanOnLine(m, 0, line, dispcnt), uint8_t(inside));
    CutIntoRuns(m.Lines, windows);
}
