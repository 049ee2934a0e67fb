#include "machine/page_table.h"

PageMaps PageTable{};
uint8_t* DummyRam = nullptr;

void MapRegion(uint8_t* block, uint32_t blockSize, uint32_t busBase, uint32_t span, bool writable) {
    const uint32_t blockPages = blockSize / PageSize;
    const uint32_t spanPages = span / PageSize;
    if (blockPages == 0) return;
    const uint32_t firstPage = busBase >> PageShift;
    for (uint32_t i = 0; i < spanPages && firstPage + i < PageCount; ++i) {
        uint8_t* host = block + (i % blockPages) * PageSize;
        PageTable.Read[firstPage + i] = host;
        PageTable.Write[firstPage + i] = writable ? host : DummyRam;
    }
}

void ClearPageTable() {
    PageTable.Read.fill(nullptr);
    PageTable.Write.fill(nullptr);
}

void FillPageHoles() {
    for (uint32_t page = 0; page < PageCount; ++page) {
        if (!PageTable.Read[page]) PageTable.Read[page] = DummyRam;
        if (!PageTable.Write[page]) PageTable.Write[page] = DummyRam;
    }
}
