#include "machine/io_reads.h"

#include <utility>

namespace {

constexpr IoReadRule Open{0, IoReadKind::Open};

}  // namespace

constexpr std::array<IoReadRule, IoRegisterArea / 2> IoReadRules = [] {
    std::array<IoReadRule, IoRegisterArea / 2> rules{};
    rules.fill(Open);
    auto reads = [&](uint32_t offset, uint16_t mask) { rules[offset / 2] = {mask, IoReadKind::Stored}; };
    auto zero = [&](uint32_t offset) { reads(offset, 0); };
    reads(Io::DISPCNT, 0xFFF7);  // bit 3 (the older handheld's mode) only the BIOS sets
    reads(0x002, 0x0001);        // green swap
    reads(Io::DISPSTAT, 0xFF3F);
    reads(Io::VCOUNT, 0x00FF);
    reads(Io::BG0CNT, 0xDFFF);  // BG0 and BG1 have no wrap-around bit
    reads(Io::BG1CNT, 0xDFFF);
    reads(Io::BG2CNT, 0xFFFF);
    reads(Io::BG3CNT, 0xFFFF);
    reads(Io::WININ, 0x3F3F);
    reads(Io::WINOUT, 0x3F3F);
    reads(Io::BLDCNT, 0x3FFF);
    reads(Io::BLDALPHA, 0x1F1F);
    // The tone channels read back their settings but not their lengths and
    // frequencies; each 32-bit register's unused upper half reads 0.
    constexpr std::pair<uint32_t, uint16_t> sound[] = {
        {0x060, 0x007F}, {0x062, 0xFFC0}, {0x064, 0x4000}, {0x066, 0},      {0x068, 0xFFC0}, {0x06A, 0},
        {0x06C, 0x4000}, {0x06E, 0},      {0x070, 0x00E0}, {0x072, 0xE000}, {0x074, 0x4000}, {0x076, 0},
        {0x078, 0xFF00}, {0x07A, 0},      {0x07C, 0x40FF}, {0x07E, 0},      {0x080, 0xFF77}, {0x082, 0x770F},
        {0x084, 0x0080}, {0x086, 0},      {0x088, 0xC3FE}, {0x08A, 0}};
    for (const auto& [offset, mask] : sound) reads(offset, mask);
    for (uint32_t offset = Io::WAVE_RAM; offset < Io::FIFO_A; offset += 2) reads(offset, 0xFFFF);
    // Of each DMA channel only the control bits read back; the count reads 0.
    for (uint32_t channel = 0; channel < 4; ++channel) {
        zero(Io::DMA0CNT_H - 2 + 12 * channel);
        reads(Io::DMA0CNT_H + 12 * channel, channel == 3 ? 0xFFE0 : 0xF7E0);
    }
    for (uint32_t offset = Io::TM0CNT_L; offset < Io::TM0CNT_L + 16; offset += 2)
        rules[offset / 2] = {0xFFFF, IoReadKind::Timer};
    for (uint32_t offset = 0x120; offset < 0x12C; offset += 2) reads(offset, 0xFFFF);  // serial data, SIOCNT
    reads(Io::KEYINPUT, 0x03FF);
    reads(Io::KEYCNT, 0xC3FF);
    reads(Io::RCNT, 0xC1FF);
    zero(0x136);
    reads(0x140, 0x0047);  // JOYCNT
    zero(0x142);
    for (uint32_t offset = 0x150; offset < 0x158; offset += 2) reads(offset, 0xFFFF);  // JOY_RECV, JOY_TRANS
    reads(0x158, 0x003A);                                                              // JOYSTAT
    zero(0x15A);
    reads(Io::IE, 0x3FFF);
    reads(Io::IF, 0x3FFF);
    reads(Io::WAITCNT, 0x5FFF);  // bit 15 would mark the older handheld's cartridge
    zero(0x206);
    reads(Io::IME, 0x0001);
    zero(0x20A);
    reads(Io::POSTFLG, 0x0001);  // HALTCNT above it is write-only
    zero(0x302);
    return rules;
}();

constexpr std::array<uint16_t, IoRegisterArea / 2> PlainIoHalfMasks = [] {
    std::array<uint16_t, IoRegisterArea / 2> masks{};
    for (uint32_t half = 0; half < masks.size(); ++half)
        masks[half] = IoReadRules[half].Kind == IoReadKind::Stored ? IoReadRules[half].Mask : 0;
    return masks;
}();

constexpr std::array<uint32_t, IoRegisterArea / 4> PlainIoWordMasks = [] {
    std::array<uint32_t, IoRegisterArea / 4> masks{};
    for (uint32_t word = 0; word < masks.size(); ++word) {
        const IoReadRule low = IoReadRules[2 * word], high = IoReadRules[2 * word + 1];
        const bool plain =
            low.Kind == IoReadKind::Stored && high.Kind == IoReadKind::Stored && low.Mask != 0 && high.Mask != 0;
        masks[word] = plain ? uint32_t(low.Mask) | uint32_t(high.Mask) << 16 : 0;
    }
    return masks;
}();
static_assert(PlainIoWordMasks[Io::DISPSTAT / 4] == 0x00FFFF3F && PlainIoWordMasks[Io::KEYINPUT / 4] == 0xC3FF03FF);
static_assert(PlainIoWordMasks[Io::TM0CNT_L / 4] == 0 && PlainIoWordMasks[Io::BG0HOFS / 4] == 0);
