#pragma once
// A machine for unit tests: every memory allocated and mapped as a game run
// has it, a zero-filled 64 KB cartridge, the hardware reset done, but the
// run loop not entered. Tests place code and data, then step instructions.

#include <cstdint>
#include <initializer_list>

#include "cpu/cpu_state.h"

class TestMachine {
public:
    TestMachine();
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // Writes ARM (32-bit) or THUMB (16-bit) opcodes from address on, through
    // the host memory behind the read map (so the cartridge can be written
    // too), and points R15 at the first one in the matching state.
    void LoadArm(uint32_t address, std::initializer_list<uint32_t> opcodes);
    void LoadThumb(uint32_t address, std::initializer_list<uint16_t> opcodes);

    // Runs exactly one instruction in the current state and returns the
    // cycles it cost (fetch included). Clears any early slice end it caused,
    // noting it in endedSliceEarly.
    int32_t Step();

    // Raw access to host memory behind the read map (no cycles, no effects).
    uint32_t Read32(uint32_t address) const;
    uint16_t Read16(uint32_t address) const;
    uint8_t Read8(uint32_t address) const;
    void Write32(uint32_t address, uint32_t value);
    void Write16(uint32_t address, uint16_t value);
    void Write8(uint32_t address, uint8_t value);

    CpuState& cpu;
    bool endedSliceEarly = false;
};
