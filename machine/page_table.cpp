#include "machine/page_table.h"

#include "machine/machine.h"

void MapRegion(Machine& m, uint8_t* block, uint32_t blockSize, uint32_t busBase, uint32_t span, bool writable) {
    const uint32_t blockPages = blockSize / PageSize;
    const uint32_t spanPages = span / PageSize;
    if (blockPages == 0) return;
    const uint32_t firstPage = busBase >> PageShift;
    for (uint32_t i = 0; i < spanPages && firstPage + i < PageCount; ++i) {
        uint8_t* host = block + (i % blockPages) * PageSize;
        m.PageTable.Read[firstPage + i] = host;
        m.PageTable.Write[firstPage + i] = writable ? host : m.DummyRam.data();
    }
}

void ClearPageTable(PageMaps& pages) {
    pages.Read.fill(nullptr);
    pages.Write.fill(nullptr);
}

void FillPageHoles(PageMaps& pages, uint8_t* readHole, uint8_t* writeHole) {
    for (uint32_t page = 0; page < PageCount; ++page) {
        if (!pages.Read[page]) pages.Read[page] = readHole;
        if (!pages.Write[page]) pages.Write[page] = writeHole;
    }
}
