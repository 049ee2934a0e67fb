#include "video/sprite_lists.h"

#include <algorithm>
#include <cstring>

#include "machine/io_registers.h"
#include "video/line_buffers.h"

const SpriteShape SpriteShapeTable[4][4] = {
    {{1, 1, 0}, {2, 2, 1}, {4, 4, 2}, {8, 8, 3}},  // square
    {{2, 1, 1}, {4, 1, 2}, {4, 2, 2}, {8, 4, 3}},  // wide
    {{1, 2, 0}, {1, 4, 0}, {2, 4, 1}, {4, 8, 2}},  // tall
    {{1, 1, 0}, {2, 2, 1}, {4, 4, 2}, {8, 8, 3}},  // shape 3 draws as square
};

namespace {

// The DISPCNT bits decoding depends on: the display mode (in the bitmap
// modes 3-5 the bitmaps own the lower half of the sprite tiles) and bit 6,
// one-dimensional tile mapping.
uint32_t LayoutOf(uint16_t dispcnt) { return ((dispcnt & 7) >= 3 ? 1u : 0u) | (dispcnt & 0x40); }

// Decodes OAM entry n; false when it is switched off, never drawn, or lies
// wholly beside the screen. Nothing is clipped: a box that reaches past the
// screen edges runs into the line guard.
bool DecodeSprite(const uint8_t* oam, uint32_t layout, uint32_t n, Sprite& sprite) {
    const uint8_t* entry = oam + 8 * n;
    const uint32_t attr0 = HalfAt(entry);
    const uint32_t attr1 = HalfAt(entry + 2);
    // Bit 9 without bit 8 switches a straight sprite off.
    if ((attr0 & 0x300) == 0x200 || ((attr0 >> 10) & 3) == ModeHidden) return false;
    sprite.y = int32_t(attr0 & 0xFF);
    if (sprite.y > 192) sprite.y -= 256;
    const SpriteShape& shape = SpriteShapeTable[attr0 >> 14][attr1 >> 14];
    const int32_t boxScale = (attr0 & 0x300) == 0x300 ? 2 : 1;
    sprite.textureHeight = shape.heightTiles * 8;
    sprite.boxHeight = sprite.textureHeight * boxScale;
    sprite.textureWidth = shape.widthTiles * 8;
    sprite.boxWidth = sprite.textureWidth * boxScale;
    sprite.x = int32_t(attr1 & 0x1FF);
    if (sprite.x > 448) sprite.x -= 512;
    if (sprite.x >= ScreenWidth || sprite.x + sprite.boxWidth <= 0) return false;

    const uint32_t attr2 = HalfAt(entry + 4);
    sprite.attr0 = attr0;
    sprite.attr1 = attr1;
    sprite.attr2 = attr2;
    sprite.priority = (attr2 >> 10) & 3;
    sprite.mode = (attr0 >> 10) & 3;
    sprite.widthShift = shape.widthShift;
    sprite.colour256 = attr0 & 0x2000;
    uint32_t tile = attr2 & 0x3FF;
    // Sprite tiles live in the top 32 KB of VRAM. In the bitmap modes the
    // bitmaps own its lower 16 KB, which the sprite unit then cannot read:
    // a sprite whose first tile lies there (below tile 512) is transparent.
    if ((layout & 1) && tile < 512) return false;
    // In two-dimensional mapping a 256-colour tile takes two 32-byte tile
    // slots, so the number is counted in pairs.
    if (sprite.colour256 && !(layout & 0x40)) tile &= ~1u;
    sprite.tileOffset = tile * 32;
    return true;
}

// Decodes OAM as it is now and lists the sprites of the lines from first on.
void Rebuild(LineSprites& sprites, const uint8_t* oam, uint32_t layout, uint32_t first) {
    std::memcpy(sprites.oam.data(), oam, OamBytes);
    sprites.layout = layout;
    sprites.firstListed = first;
    std::fill(sprites.counts.begin() + first, sprites.counts.end(), uint8_t(0));
    std::fill(sprites.semiTransparent.begin() + first, sprites.semiTransparent.end(), false);
    std::fill(sprites.levels.begin() + first, sprites.levels.end(), uint8_t(0));
    uint32_t count = 0;
    for (int32_t n = OamEntries - 1; n >= 0; --n) {
        Sprite& sprite = sprites.decoded[count];
        if (!DecodeSprite(oam, layout, uint32_t(n), sprite)) continue;
        const int32_t top = std::max(sprite.y, int32_t(first));
        const int32_t bottom = std::min(sprite.y + sprite.boxHeight, int32_t(ListedLines));
        const uint8_t level = sprite.mode == ModeObjWindow ? 0 : uint8_t(1u << sprite.priority);
        for (int32_t line = top; line < bottom; ++line) {
            sprites.lists[line][sprites.counts[line]++] = uint8_t(count);
            if (sprite.mode == ModeSemiTransparent) sprites.semiTransparent[line] = true;
            sprites.levels[line] |= level;
        }
        ++count;
    }
}

}  // namespace

LineSpriteList SpritesOnLine(const Machine& m, uint32_t line) {
    const LineSprites& sprites = m.Sprites;
    return {sprites.decoded.data(), sprites.lists[line].data(), sprites.counts[line], sprites.semiTransparent[line],
            sprites.levels[line]};
}

LineSpriteList UpdateLineSprites(Machine& m, uint32_t line) {
    LineSprites& sprites = m.Sprites;
    const uint32_t layout = LayoutOf(ReadIoHalf(m, Io::DISPCNT));
    if (line < sprites.firstListed || layout != sprites.layout ||
        std::memcmp(sprites.oam.data(), m.Oam.data(), OamBytes) != 0)
        Rebuild(sprites, m.Oam.data(), layout, line);
    return SpritesOnLine(m, line);
}
