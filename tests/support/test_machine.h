#pragma once
// A machine for unit tests: every memory mapped as a game run has it, a
// zero-filled 64 KB cartridge, the hardware reset done, but no frame run.
// Tests place code and data through the raw accessors, then call the core
// with m.

#include <cstdint>
#include <memory>

#include "machine/machine.h"

class TestMachine {
public:
    TestMachine();
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // Raw access to host memory behind the read map (no cycles, no effects;
    // the cartridge can be written too).
    uint32_t Read32(uint32_t address) const;
    uint16_t Read16(uint32_t address) const;
    uint8_t Read8(uint32_t address) const;
    void Write32(uint32_t address, uint32_t value);
    void Write16(uint32_t address, uint16_t value);
    void Write8(uint32_t address, uint8_t value);

private:
    std::unique_ptr<Machine> owned_;

public:
    Machine& m;
    CpuState& cpu;
};
