#pragma once
// Pictures of the frame surface as PNG files: the desktop program's
// screenshots, and the headless runner's for tests and for looking at what
// a cartridge draws without a window.

#include <cstdint>
#include <string>

// Writes the visible 240 x 160 part of a 500 x 160 frame surface as an
// 8-bit RGB PNG. Each 5-bit component c becomes (c << 3) | (c >> 2), so 31
// is 255 and 0 is 0. False when the file cannot be written.
bool WriteScreenshot(const std::string& path, const uint16_t* surface);
