#include "tests/support/test_machine.h"

#include <cstdlib>
#include <utility>

#include "cpu/run_loop.h"
#include "game/game.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"

TestMachine::TestMachine() : cpu(Cpu) {
    AllocateMachine();
    constexpr int32_t romSize = 64 * 1024;
    MapCartridge(static_cast<uint8_t*>(std::calloc(romSize, 1)), romSize);
    ResetHardware();
    FillPageHoles();
}

TestMachine::~TestMachine() { EndGame(); }

void TestMachine::LoadArm(uint32_t address, std::initializer_list<uint32_t> opcodes) {
    for (uint32_t at = address; uint32_t opcode : opcodes) Write32(std::exchange(at, at + 4), opcode);
    cpu.R[15] = address;
    cpu.CPSR &= ~FlagT;
}

void TestMachine::LoadThumb(uint32_t address, std::initializer_list<uint16_t> opcodes) {
    for (uint32_t at = address; uint16_t opcode : opcodes) Write16(std::exchange(at, at + 2), opcode);
    cpu.R[15] = address;
    cpu.CPSR |= FlagT;
}

int32_t TestMachine::Step() {
    // A budget of one cycle runs exactly one instruction: every instruction
    // costs at least its fetch.
    cpu.Cycles = 1;
    cpu.SliceBreak = 0;
    if (cpu.CPSR & FlagT)
        RunThumbSlice(cpu);
    else
        RunArmSlice(cpu);
    // After an early end the run loop adds the set-aside cycles to what is
    // left, which also keeps any cycles charged after the break.
    endedSliceEarly = cpu.SliceBreak;
    if (cpu.SliceBreak) {
        cpu.SliceBreak = 0;
        cpu.Cycles += cpu.SavedCycles;
    }
    return 1 - cpu.Cycles;
}

uint32_t TestMachine::Read32(uint32_t address) const { return LoadLittle<uint32_t>(ReadHostAddress(address)); }
uint16_t TestMachine::Read16(uint32_t address) const { return LoadLittle<uint16_t>(ReadHostAddress(address)); }
uint8_t TestMachine::Read8(uint32_t address) const { return *ReadHostAddress(address); }
void TestMachine::Write32(uint32_t address, uint32_t value) { StoreLittle<uint32_t>(ReadHostAddress(address), value); }
void TestMachine::Write16(uint32_t address, uint16_t value) { StoreLittle<uint16_t>(ReadHostAddress(address), value); }
void TestMachine::Write8(uint32_t address, uint8_t value) { *ReadHostAddress(address) = value; }
