#include "video/windows.h"

#include <algorithm>
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
        return;
    }
    // From the bottom of the window priorities up, each overwriting what
    // lies beneath it.
    std::memset(windows, ReadIoHalf(m, Io::WINOUT) & 0xFF, ScreenWidth);
    if (dispcnt & DISPCNT_OBJ_WINDOW) ObjWindowOverlay(m, line);
    const uint16_t inside = ReadIoHalf(m, Io::WININ);
    FillSpan(windows, WindowSpanOnLine(m, 1, line, dispcnt), uint8_t(inside >> 8));
    FillSpan(windows, WindowSpanOnLine(m, 0, line, dispcnt), uint8_t(inside));
}
