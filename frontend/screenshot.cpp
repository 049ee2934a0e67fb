#include "frontend/screenshot.h"

#include <png.h>

#include <array>
#include <cstdio>

#include "video/render_line.h"

namespace {

constexpr uint32_t Width = 240;
constexpr uint32_t Height = 160;

uint8_t Widen(uint32_t component) { return uint8_t(component << 3 | component >> 2); }

}  // namespace

bool WriteScreenshot(const std::string& path, const uint16_t* surface) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return false;
    }
    // libpng reports errors by jumping back here.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, Width, Height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::array<uint8_t, Width * 3> row;
    for (uint32_t y = 0; y < Height; ++y) {
        const uint16_t* line = surface + y * SurfaceWidth + LineGuard;
        for (uint32_t x = 0; x < Width; ++x) {
            // Surface pixels are 5-5-5 with red in the high field.
            row[3 * x] = Widen((line[x] >> 10) & 31);
            row[3 * x + 1] = Widen((line[x] >> 5) & 31);
            row[3 * x + 2] = Widen(line[x] & 31);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}
