#include "video/windows.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "machine/io_registers.h"
#include "video/line_buffers.h"
#include "video/sprites.h"

namespace {

constexpr uint16_t DISPCNT_OBJ_WINDOW = 0x8000;

constexpr uint32_t WinHOffset(uint32_t window) { return Io::WIN0H + 2 * window; }
constexpr uint32_t WinVOffset(uint32_t window) { return Io::WIN0V + 2 * window; }

// Horizontal extent of a window on one line, both edges at most 240:
// [left, right), or when it wraps round the line edge [left, 240) and
// [0, right).
struct WindowSpan {
    uint32_t left = 0;
    uint32_t right = 0;
    bool wraps = false;
};

// Whether position lies in the window's range from first (included) to
// last (excluded) along one direction, wrapping when first > last.
bool InRange(uint32_t position, uint32_t first, uint32_t last) {
    return first <= last ? position >= first && position < last : position >= first || position < last;
}

// The span of window 0 or 1 on a line: empty when the window is off in
// dispcnt (bits 13, 14) or the line lies outside it. Both directions wrap
// as the hardware's edge comparisons do: a top below the bottom covers the
// lines from the top to the end of the screen and from line 0 to the
// bottom, and likewise a left edge right of the right edge. Edges beyond
// the screen (right = 241, say) never match and so reach the screen edge.
WindowSpan WindowSpanOnLine(const Machine& m, uint32_t window, uint32_t line, uint16_t dispcnt) {
    if (!(dispcnt & (0x2000u << window))) return {};
    const uint16_t vertical = ReadIoHalf(m, WinVOffset(window));
    if (!InRange(line, vertical >> 8, vertical & 0xFF)) return {};
    const uint16_t horizontal = ReadIoHalf(m, WinHOffset(window));
    const uint32_t left = horizontal >> 8;
    const uint32_t right = horizontal & 0xFF;
    return {std::min<uint32_t>(left, ScreenWidth), std::min<uint32_t>(right, ScreenWidth), left > right};
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

// Appends the run of value up to end, or lengthens the last run when it
// holds the same value.
void AppendRun(LineBuffers& lines, uint32_t& count, int32_t end, uint8_t value) {
    if (count > 0 && lines.WindowRuns[count - 1].layers == value)
        lines.WindowRuns[count - 1].end = end;
    else
        lines.WindowRuns[count++] = {end, value};
}

// Ends the runs: the first reaches into the left guard and the last into
// the right one, so a layer drawing past the screen edges stays inside a
// run.
void FinishRuns(LineBuffers& lines, uint32_t count) {
    lines.WindowRuns[count - 1].end = LineEnd;
    lines.WindowRunCount = count;
}

// Cuts the visible window line into runs of equal bytes, eight bytes at a
// time: the OBJ window can change it anywhere.
void ScanIntoRuns(LineBuffers& lines, const uint8_t* windows) {
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
        AppendRun(lines, count, end, value);
        x = end;
    }
    FinishRuns(lines, count);
}

// Cuts the window line into runs where only the edges of windows 0 and 1
// can change it.
void CutAtEdges(LineBuffers& lines, const uint8_t* windows, std::array<int32_t, 5>& edges, uint32_t edgeCount) {
    edges[edgeCount++] = ScreenWidth;
    std::sort(edges.begin(), edges.begin() + edgeCount);
    uint32_t count = 0;
    int32_t begin = 0;
    for (uint32_t i = 0; i < edgeCount; ++i) {
        if (edges[i] <= begin) continue;
        AppendRun(lines, count, edges[i], windows[begin]);
        begin = edges[i];
    }
    FinishRuns(lines, count);
}

}  // namespace

void BuildWindowLine(Machine& m, uint32_t line, uint16_t dispcnt) {
    uint8_t* windows = WindowLine(m);
    if (!(dispcnt & 0xE000)) {
        std::memset(windows, 0xFF, ScreenWidth);
        uint32_t count = 0;
        AppendRun(m.Lines, count, ScreenWidth, 0xFF);
        FinishRuns(m.Lines, count);
        return;
    }
    // From the bottom of the window priorities up, each overwriting what
    // lies beneath it.
    std::memset(windows, ReadIoHalf(m, Io::WINOUT) & 0xFF, ScreenWidth);
    if (dispcnt & DISPCNT_OBJ_WINDOW) ObjWindowOverlay(m, line);
    const uint16_t inside = ReadIoHalf(m, Io::WININ);
    std::array<int32_t, 5> edges;
    uint32_t edgeCount = 0;
    for (uint32_t window : {1u, 0u}) {
        const WindowSpan span = WindowSpanOnLine(m, window, line, dispcnt);
        FillSpan(windows, span, uint8_t(inside >> (8 * window)));
        edges[edgeCount++] = int32_t(span.left);
        edges[edgeCount++] = int32_t(span.right);
    }
    if (dispcnt & DISPCNT_OBJ_WINDOW)
        ScanIntoRuns(m.Lines, windows);
    else
        CutAtEdges(m.Lines, windows, edges, edgeCount);
}
