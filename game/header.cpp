#include "game/header.h"

#include <cstdio>

#include "game/settings.h"

uint8_t HeaderComplement(const uint8_t* header) {
    uint8_t check = 0xE7;
    for (uint32_t offset = 0xA0; offset <= 0xBC; ++offset) check = uint8_t(check - header[offset]);
    return check;
}

void PrintHeaderSummary(const uint8_t* header) {
    if (!Verbose) return;
    std::printf("  CMP:      %02Xh (computed %02Xh)\n", header[HeaderComplementOffset], HeaderComplement(header));
}
