#pragma once
// How the slice loops decode: a handler table generated at compile time
// (cpu/arm_table.cpp, cpu/thumb.cpp) becomes one switch inside the loop with
// every handler inlined, so the handlers work on the loop's Core in host
// registers. Most handlers fill many table entries (a data-processing
// handler every column of its row with the same shift type, a THUMB branch
// the entries of eight top bytes), so the switch runs
// over the distinct handlers, numbered in order of first appearance, and a
// table of numbers gives each decode index its handler's number.

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "cpu/core.h"

template <typename Handler, size_t Size>
struct HandlerNumbering {
    std::array<Handler, Size> distinct{};
    size_t count = 0;
    std::array<uint16_t, Size> numbers{};
};

// A handler's repeats are mostly among the latest found (the other columns
// of a row, the row before), so the search runs backwards from there; the
// one handler scattered all over the table (the undefined instruction) is
// looked up directly. That keeps the compile-time work small.
template <typename Handler, size_t Size>
constexpr HandlerNumbering<Handler, Size> NumberHandlers(const std::array<Handler, Size>& table, Handler scattered) {
    HandlerNumbering<Handler, Size> result;
    size_t scatteredNumber = Size;
    for (size_t index = 0; index < Size; ++index) {
        const Handler handler = table[index];
        size_t number = result.count;
        if (handler == scattered && scatteredNumber < result.count) {
            number = scatteredNumber;
        } else {
            while (number > 0 && result.distinct[number - 1] != handler) --number;
            number = number == 0 ? result.count : number - 1;
        }
        if (number == result.count) {
            result.distinct[result.count++] = handler;
            if (handler == scattered) scatteredNumber = number;
        }
        result.numbers[index] = uint16_t(number);
    }
    return result;
}

template <const auto& Numbering, size_t Number>
[[gnu::always_inline]] inline void RunNumbered(Core& core, uint32_t opcode) {
    constexpr auto handler = Numbering.distinct[Number];
    handler(core, opcode);
}

// The switch: a chain of comparisons against every number, which the
// compiler turns into one jump table. (It tests the chain's first value on
// its own before the table; a first test for a number that never comes,
// leading nowhere, costs nothing.)
template <const auto& Numbering, size_t... Number>
[[gnu::always_inline]] inline void SwitchOnNumber(Core& core, uint32_t opcode, uint32_t number,
                                                  std::index_sequence<Number...>) {
    if (number == sizeof...(Number)) Unreachable();
    const bool handled = ((number == Number && (RunNumbered<Numbering, Number>(core, opcode), true)) || ...);
    if (!handled) Unreachable();
}

// Runs handler `number` of the numbering.
template <const auto& Numbering>
[[gnu::always_inline]] inline void RunHandler(Core& core, uint32_t opcode, uint32_t number) {
    SwitchOnNumber<Numbering>(core, opcode, number, std::make_index_sequence<Numbering.count>{});
}
