#pragma once
// A machine for the picture tests: memories mapped and reset, with helpers
// to set display registers (through the real register write path), palette
// entries, VRAM and OAM, and to read surface pixels back.

#include <gtest/gtest.h>

#include <cstdint>

#include "machine/io_registers.h"
#include "tests/support/test_machine.h"
#include "video/render_line.h"

// Surface pixels of a few handheld colours (handheld red is the low field,
// the surface's red the high one).
inline constexpr uint16_t HandheldRed = 0x001F, SurfaceRed = 0x7C00;
inline constexpr uint16_t HandheldGreen = 0x03E0, SurfaceGreen = 0x03E0;
inline constexpr uint16_t HandheldBlue = 0x7C00, SurfaceBlue = 0x001F;
inline constexpr uint16_t HandheldWhite = 0x7FFF, SurfaceWhite = 0x7FFF;

class VideoTest : public ::testing::Test {
protected:
    VideoTest() {
        // Mode 0, nothing enabled, no forced-blank question: tests switch on
        // what they need.
        SetIo(Io::DISPCNT, 0);
        LayerHideMask = 0;
    }

    void SetIo(uint32_t offset, uint16_t value) { WriteIoRegister(0x04000000 + offset, value); }
    uint16_t Io16(uint32_t offset) const { return ReadIoHalf(offset); }
    void SetPalette(uint32_t entry, uint16_t colour) { machine.Write16(0x05000000 + 2 * entry, colour); }
    void SetVram8(uint32_t offset, uint8_t value) { machine.Write8(0x06000000 + offset, value); }
    void SetVram16(uint32_t offset, uint16_t value) { machine.Write16(0x06000000 + offset, value); }
    void FillVram(uint32_t offset, uint32_t length, uint8_t value) {
        for (uint32_t i = 0; i < length; ++i) SetVram8(offset + i, value);
    }
    void SetOam(uint32_t sprite, uint16_t attr0, uint16_t attr1, uint16_t attr2) {
        machine.Write16(0x07000000 + 8 * sprite, attr0);
        machine.Write16(0x07000000 + 8 * sprite + 2, attr1);
        machine.Write16(0x07000000 + 8 * sprite + 4, attr2);
    }
    // Moves every sprite off the screen (y = 160 is below the last line).
    void HideAllSprites() {
        for (uint32_t n = 0; n < 128; ++n) SetOam(n, 160, 0, 0);
    }

    void Render(uint32_t line) {
        StoreIoHalf(Io::VCOUNT, uint16_t(line));
        RenderLine();
    }
    uint16_t Pixel(int32_t x, uint32_t line) const { return FrameSurface[line * SurfaceWidth + LineGuard + x]; }

    TestMachine machine;
};
