#include "video/windows.h"

#include <algorithm>
#include <cstring>

#include "machine/io_registers.h"
#include "video/line_buffers.h"

namespace {

constexpr uint32_t WinHOffset(uint32_t window) { return Io::WIN0H + 2 * window; }
constexpr uint32_t WinVOffset(uint32_t window) { return Io::WIN0H + 4 + 2 * window; }
constexpr uint32_t WININ = 0x048;
constexpr uint32_t WINOUT = 0x04A;

}  // namespace

WindowSpan WindowSpanOnLine(uint32_t window, uint32_t line, uint16_t dispcnt) {
    if (!(dispcnt & (0x2000u << window))) return {};
    const uint16_t vertical = ReadIoHalf(WinVOffset(window));
    const uint32_t top = vertical >> 8;
    const uint32_t bottom = vertical & 0xFF;
    if (line < top || line >= bottom) return {};
    const uint16_t horizontal = ReadIoHalf(WinHOffset(window));
    const uint32_t left = std::min<uint32_t>(horizontal >> 8, ScreenWidth);
    const uint32_t right = std::min<uint32_t>(horizontal & 0xFF, ScreenWidth);
    if (left >= right) return {};
    return {left, right};
}

void BuildWindowLine(uint32_t line, uint16_t dispcnt) {
    uint8_t* windows = WindowLine();
    if (!(dispcnt & 0xE000)) {
        std::memset(windows, 0xFF, ScreenWidth);
        return;
    }
    const uint16_t inside = ReadIoHalf(WININ);
    std::memset(windows, ReadIoHalf(WINOUT) & 0xFF, ScreenWidth);
    // Window 1 first, so that window 0 overwrites it where the two overlap.
    const WindowSpan window1 = WindowSpanOnLine(1, line, dispcnt);
    std::memset(windows + window1.left, inside >> 8, window1.right - window1.left);
    const WindowSpan window0 = WindowSpanOnLine(0, line, dispcnt);
    std::memset(windows + window0.left, inside & 0xFF, window0.right - window0.left);
}
