// Compares a picture with its golden PNG, pixel by pixel.
//
//   koru_png_compare GOLDEN ACTUAL
//
// Exit 0 when both hold the same RGB pixels. Otherwise, beside the golden
// file, writes NAME.actual.png (a copy of what was drawn) and NAME.diff.png
// (the golden picture dimmed, with every differing pixel in bright magenta)
// and exits 1. A missing golden file also writes NAME.actual.png, so that a
// new picture can be reviewed and then adopted.

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Picture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

bool ReadPng(const std::string& path, Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    picture.width = image.width;
    picture.height = image.height;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
}

bool WritePng(const std::string& path, const Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = picture.width;
    image.height = picture.height;
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.rgb.data(), 0, nullptr) != 0;
}

std::string Beside(const std::string& golden, const char* suffix) {
    const size_t dot = golden.rfind(".png");
    return (dot == std::string::npos ? golden : golden.substr(0, dot)) + suffix;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: koru_png_compare GOLDEN ACTUAL\n");
        return 2;
    }
    const std::string goldenPath = argv[1];
    Picture golden, actual;
    if (!ReadPng(argv[2], actual)) {
        std::fprintf(stderr, "cannot read the picture %s\n", argv[2]);
        return 2;
    }
    const std::string actualCopy = Beside(goldenPath, ".actual.png");
    if (!ReadPng(goldenPath, golden)) {
        WritePng(actualCopy, actual);
        std::fprintf(stderr, "no golden picture %s; the picture drawn is in %s: review it and adopt it\n",
                     goldenPath.c_str(), actualCopy.c_str());
        return 1;
    }
    if (golden.width != actual.width || golden.height != actual.height) {
        WritePng(actualCopy, actual);
        std::fprintf(stderr, "size %ux%u differs from the golden %ux%u; picture in %s\n", actual.width, actual.height,
                     golden.width, golden.height, actualCopy.c_str());
        return 1;
    }
    Picture diff = golden;
    uint32_t differing = 0;
    for (size_t i = 0; i < golden.rgb.size(); i += 3) {
        const bool same = golden.rgb[i] == actual.rgb[i] && golden.rgb[i + 1] == actual.rgb[i + 1] &&
                          golden.rgb[i + 2] == actual.rgb[i + 2];
        if (same) {
            for (size_t c = 0; c < 3; ++c) diff.rgb[i + c] = uint8_t(golden.rgb[i + c] / 4);
        } else {
            ++differing;
            diff.rgb[i] = 255;
            diff.rgb[i + 1] = 0;
            diff.rgb[i + 2] = 255;
        }
    }
    if (differing == 0) return 0;
    const std::string diffPath = Beside(goldenPath, ".diff.png");
    WritePng(actualCopy, actual);
    WritePng(diffPath, diff);
    std::fprintf(stderr, "%u pixels differ from %s; see %s and %s\n", differing, goldenPath.c_str(), actualCopy.c_str(),
                 diffPath.c_str());
    return 1;
}
