#pragma once
// What is worked out from one half of palette RAM and kept from line to
// line and frame to frame: the palette finished for each colour effect,
// and decoded tile rows. Most of a picture is made of the same few tile
// rows (a font, a sky, a wall), and looking a row's eight colours up and
// finishing them costs far more than finding it again. A row is found by
// its contents and how it is drawn (the row bits, palette bank, flip and
// colour finishing), so VRAM and the map may change freely; the palette and
// the brightness coefficient are compared once per line, and a change
// forgets everything.

#include <array>
#include <cstdint>

// Eight pixels of a tile row as a layer lays them: raw colours (bit 15
// clear, as the partner line keeps them), 0xFFFF where the pixel is opaque,
// and the finished pixels when the finishing does not depend on what lies
// beneath.
struct TileRowPixels {
    alignas(16) std::array<uint16_t, 8> colours;
    alignas(16) std::array<uint16_t, 8> opaque;
    alignas(16) std::array<uint16_t, 8> finished;
};

struct CachedTileRow {
    uint64_t bits;
    uint32_t look;        // bank, flip and finishing
    uint32_t generation;  // the cache's generation it was decoded in
    TileRowPixels pixels;
    bool allOpaque;
};

// For the background or the sprite half of palette RAM.
struct ColourCache {
    static constexpr uint32_t IndexBits = 9;

    // What the rows were decoded from: the palette half and EVY.
    std::array<uint8_t, 512> palette{};
    // The palette half's colours with bit 15 clear.
    std::array<uint16_t, 256> colours{};
    uint32_t evy = ~0u;
    // Rows of an older generation are forgotten; 0 is never current.
    uint32_t generation = 0;
    // The line the cache was last checked on (LineBuffers' LineStamp).
    uint32_t checkedStamp = ~0u;
    // Whether looking rows up pays on the current line: not when most rows
    // looked up on the line before were new (a picture of few repeats
    // draws faster straight from VRAM). The counts are since the last
    // check; a line that does not look rows up tries again now and then.
    bool rowsPay = true;
    uint32_t lookups = 0;
    uint32_t misses = 0;
    std::array<CachedTileRow, 1u << IndexBits> rows{};
    // The palette finished in each way (EffectVariant times 2, plus 1 where
    // effects apply), made when first asked for in a generation.
    std::array<std::array<uint16_t, 256>, 8> finished{};
    std::array<uint32_t, 8> finishedGeneration{};
};
