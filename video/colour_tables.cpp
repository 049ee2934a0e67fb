#include "video/colour_tables.h"

namespace {

constexpr std::array<uint16_t, 65536> BuildDisplayTable() {
    std::array<uint16_t, 65536> table{};
    for (uint32_t c = 0; c < table.size(); ++c)
        table[c] = uint16_t((c & 0x001F) << 10 | (c & 0x03E0) | (c & 0x7C00) >> 10);
    return table;
}

constexpr std::array<uint32_t, 65536> BuildSpreadTable() {
    std::array<uint32_t, 65536> table{};
    for (uint32_t c = 0; c < table.size(); ++c) table[c] = (c & 0x001F) | (c & 0x03E0) << 5 | (c & 0x7C00) << 10;
    return table;
}

}  // namespace

// Both tables are fixed, so they are built by the compiler and live in
// read-only memory; nothing has to run before the first line is drawn.
constinit const std::array<uint16_t, 65536> DisplayColourTable = BuildDisplayTable();
constinit const std::array<uint32_t, 65536> SpreadColourTable = BuildSpreadTable();
