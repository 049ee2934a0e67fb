#pragma once
// The bus as a page table: one host pointer for reading and one for writing
// per 16 KB page of the 4 GB address space. The CPU reads straight through
// the read map; pages with nothing behind them read the machine's ZeroPage,
// and writes to them or to read-only memory land in its scratch page
// DummyRam, so no access ever needs a null test once a game run has started.

#include <array>
#include <cstdint>
#include <cstring>

inline constexpr uint32_t PageShift = 14;
inline constexpr uint32_t PageSize = 1u << PageShift;  // 16 KB
inline constexpr uint32_t PageOffsetMask = PageSize - 1;
inline constexpr uint32_t PageCount = 1u << (32 - PageShift);  // 262144

struct PageMaps {
    std::array<uint8_t*, PageCount> Read;
    std::array<uint8_t*, PageCount> Write;
};

struct Machine;

// Enters a host block of the machine at a bus base. The span may exceed the
// block, which then repeats (mirrors); a span below one page maps nothing.
// Read-only regions get DummyRam in the write map.
void MapRegion(Machine& m, uint8_t* block, uint32_t blockSize, uint32_t busBase, uint32_t span, bool writable);

// Sets every entry of both maps to null (between game runs).
void ClearPageTable(PageMaps& pages);

// Points every still-null entry of the read map at readHole and of the
// write map at writeHole.
void FillPageHoles(PageMaps& pages, uint8_t* readHole, uint8_t* writeHole);

// Host address of a bus address through the read map / write map.
inline uint8_t* ReadHostAddress(const PageMaps& pages, uint32_t address) {
    return pages.Read[address >> PageShift] + (address & PageOffsetMask);
}
inline uint8_t* WriteHostAddress(const PageMaps& pages, uint32_t address) {
    return pages.Write[address >> PageShift] + (address & PageOffsetMask);
}

// Emulated memory is little-endian like the host; these are single host
// loads and stores of the access width (memcpy keeps them free of aliasing
// trouble and compiles to one move).
template <typename T>
inline T LoadLittle(const uint8_t* host) {
    T value;
    std::memcpy(&value, host, sizeof value);
    return value;
}
template <typename T>
inline void StoreLittle(uint8_t* host, T value) {
    std::memcpy(host, &value, sizeof value);
}

// Raw aligned reads through the read map, without any cycle charge.
inline uint32_t PeekWord(const PageMaps& pages, uint32_t address) {
    return LoadLittle<uint32_t>(pages.Read[address >> PageShift] + (address & 0x3FFC));
}
inline uint16_t PeekHalf(const PageMaps& pages, uint32_t address) {
    return LoadLittle<uint16_t>(pages.Read[address >> PageShift] + (address & 0x3FFE));
}
inline uint8_t PeekByte(const PageMaps& pages, uint32_t address) {
    return pages.Read[address >> PageShift][address & PageOffsetMask];
}
