#include "tests/support/test_machine.h"

#include "game/game.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"

TestMachine::TestMachine() : owned_(CreateMachine()), m(*owned_), cpu(m.Cpu) {
    PowerOnMachine(m);
    constexpr int32_t romSize = 64 * 1024;
    MapCartridge(m, std::unique_ptr<uint8_t[]>(new uint8_t[romSize]()), romSize);
    ResetHardware(m);
    FillPageHoles(m.PageTable, m.ZeroPage.data(), m.DummyRam.data());
}

TestMachine::~TestMachine() { EndGame(m); }

uint32_t TestMachine::Read32(uint32_t address) const {
    return LoadLittle<uint32_t>(ReadHostAddress(m.PageTable, address));
}
uint16_t TestMachine::Read16(uint32_t address) const {
    return LoadLittle<uint16_t>(ReadHostAddress(m.PageTable, address));
}
uint8_t TestMachine::Read8(uint32_t address) const { return *ReadHostAddress(m.PageTable, address); }
void TestMachine::Write32(uint32_t address, uint32_t value) {
    StoreLittle<uint32_t>(ReadHostAddress(m.PageTable, address), value);
}
void TestMachine::Write16(uint32_t address, uint16_t value) {
    StoreLittle<uint16_t>(ReadHostAddress(m.PageTable, address), value);
}
void TestMachine::Write8(uint32_t address, uint8_t value) { *ReadHostAddress(m.PageTable, address) = value; }
