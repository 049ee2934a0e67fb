// The generated THUMB handler table and the THUMB slice loop.

#include "cpu/thumb.h"

#include <cstdio>
#include <utility>

#include "cpu/core.h"
#include "cpu/run_loop.h"
#include "cpu/thumb_data_processing.h"
#include "cpu/thumb_load_store.h"

void ThumbUndefined(Core& core, uint32_t opcode) {
    if (core.cpu.TraceUndefined) std::printf("THUMB: Unrecognized opcode 0x%04X at 0x%08X\n", opcode, core.pc - 2);
}

namespace thumb {

// Chooses the handler for one value of the top eight opcode bits, following
// the ARMv4T THUMB formats. Register numbers that sit in the top byte
// (bits 10-8) become template constants.
template <uint32_t Top>
constexpr ThumbHandler SelectHandler() {
    constexpr uint32_t low3 = Top & 7;

    if constexpr (Top < 0x18) {
        return &ShiftImmediate<(Top >> 3)>;
    } else if constexpr (Top < 0x20) {
        return &AddSubtract<bool(Top & 2), bool(Top & 4)>;
    } else if constexpr (Top < 0x40) {
        return &ImmediateOperation<(Top >> 3) & 3, low3>;
    } else if constexpr (Top < 0x44) {
        return &AluGroup<Top & 3>;
    } else if constexpr (Top < 0x48) {
        return &HiRegisterOperation<Top & 3>;
    } else if constexpr (Top < 0x50) {
        return &LoadPcRelative<low3>;
    } else if constexpr (Top < 0x60) {
        // Bits 11-9 choose the width and direction of a register-offset transfer.
        constexpr uint32_t kind = (Top >> 1) & 7;
        if constexpr (kind == 0)
            return &RegisterOffsetTransfer<Width::Word, false>;
        else if constexpr (kind == 1)
            return &RegisterOffsetTransfer<Width::Half, false>;
        else if constexpr (kind == 2)
            return &RegisterOffsetTransfer<Width::Byte, false>;
        else if constexpr (kind == 3)
            return &RegisterOffsetTransfer<Width::SignedByte, true>;
        else if constexpr (kind == 4)
            return &RegisterOffsetTransfer<Width::Word, true>;
        else if constexpr (kind == 5)
            return &RegisterOffsetTransfer<Width::Half, true>;
        else if constexpr (kind == 6)
            return &RegisterOffsetTransfer<Width::Byte, true>;
        else
            return &RegisterOffsetTransfer<Width::SignedHalf, true>;
    } else if constexpr (Top < 0x70) {
        return &ImmediateOffsetTransfer<Width::Word, bool(Top & 8)>;
    } else if constexpr (Top < 0x80) {
        return &ImmediateOffsetTransfer<Width::Byte, bool(Top & 8)>;
    } else if constexpr (Top < 0x90) {
        return &ImmediateOffsetTransfer<Width::Half, bool(Top & 8)>;
    } else if constexpr (Top < 0xA0) {
        return &StackRelativeTransfer<bool(Top & 8), low3>;
    } else if constexpr (Top < 0xB0) {
        return &AddressGenerate<bool(Top & 8), low3>;
    } else if constexpr (Top == 0xB0) {
        return &AdjustStack;
    } else if constexpr (Top == 0xB4 || Top == 0xB5) {
        return &Push<Top == 0xB5>;
    } else if constexpr (Top == 0xBC || Top == 0xBD) {
        return &Pop<Top == 0xBD>;
    } else if constexpr (Top < 0xC0) {
        return &ThumbUndefined;
    } else if constexpr (Top < 0xD0) {
        return &MultipleTransfer<bool(Top & 8), low3>;
    } else if constexpr (Top < 0xDE) {
        return &ConditionalBranch<Top & 15>;
    } else if constexpr (Top == 0xDF) {
        return &SoftwareInterrupt;
    } else if constexpr (Top >= 0xE0 && Top < 0xE8) {
        return &Branch;
    } else if constexpr (Top >= 0xF0 && Top < 0xF8) {
        return &LongBranchFirst;
    } else if constexpr (Top >= 0xF8) {
        return &LongBranchSecond;
    } else {
        return &ThumbUndefined;  // condition 14 (0xDE) and 0xE8-0xEF
    }
}

template <size_t... Top>
constexpr std::array<ThumbHandler, 256> BuildTable(std::index_sequence<Top...>) {
    return {SelectHandler<Top>()...};
}

}  // namespace thumb

inline constexpr std::array<ThumbHandler, 256> ThumbHandlerTable = thumb::BuildTable(std::make_index_sequence<256>{});

// Spot checks of the decoding against assembler output.
static_assert(ThumbHandlerTable[ThumbTableIndex(0x0848)] == &thumb::ShiftImmediate<ShiftLSR>);  // lsrs r0, r1, #1
static_assert(ThumbHandlerTable[ThumbTableIndex(0x1A88)] == &thumb::AddSubtract<true, false>);  // subs r0, r1, r2
static_assert(ThumbHandlerTable[ThumbTableIndex(0x1C48)] == &thumb::AddSubtract<false, true>);  // adds r0, r1, #1
static_assert(ThumbHandlerTable[ThumbTableIndex(0x2D10)] ==
              &thumb::ImmediateOperation<thumb::ImmCMP, 5>);                                            // cmp r5, #16
static_assert(ThumbHandlerTable[ThumbTableIndex(0x41C8)] == &thumb::AluGroup<1>);                       // rors r0, r1
static_assert(ThumbHandlerTable[ThumbTableIndex(0x4770)] == &thumb::HiRegisterOperation<thumb::HiBX>);  // bx lr
static_assert(ThumbHandlerTable[ThumbTableIndex(0x4B01)] == &thumb::LoadPcRelative<3>);  // ldr r3, [pc, #4]
static_assert(ThumbHandlerTable[ThumbTableIndex(0x5E88)] ==
              &thumb::RegisterOffsetTransfer<thumb::Width::SignedHalf, true>);  // ldrsh r0, [r1, r2]
static_assert(ThumbHandlerTable[ThumbTableIndex(0x8848)] ==
              &thumb::ImmediateOffsetTransfer<thumb::Width::Half, true>);                        // ldrh r0, [r1, #2]
static_assert(ThumbHandlerTable[ThumbTableIndex(0xA901)] == &thumb::AddressGenerate<true, 1>);   // add r1, sp, #4
static_assert(ThumbHandlerTable[ThumbTableIndex(0xB500)] == &thumb::Push<true>);                 // push {lr}
static_assert(ThumbHandlerTable[ThumbTableIndex(0xC903)] == &thumb::MultipleTransfer<true, 1>);  // ldmia r1!, {r0, r1}
static_assert(ThumbHandlerTable[ThumbTableIndex(0xD1FE)] == &thumb::ConditionalBranch<1>);       // bne .
static_assert(ThumbHandlerTable[ThumbTableIndex(0xDE00)] == &ThumbUndefined);
static_assert(ThumbHandlerTable[ThumbTableIndex(0xE800)] == &ThumbUndefined);
static_assert(ThumbHandlerTable[ThumbTableIndex(0xB100)] == &ThumbUndefined);

namespace thumb {

template <uint32_t Top>
[[gnu::always_inline]] inline void Execute(Core& core, uint32_t opcode) {
    constexpr ThumbHandler handler = ThumbHandlerTable[Top];
    handler(core, opcode);
}

// A chain of comparisons against every top byte, which the compiler turns
// into one jump table: the 256-way switch of the decoder.
template <size_t... Top>
[[gnu::always_inline]] inline void Dispatch(Core& core, uint32_t opcode, std::index_sequence<Top...>) {
    const uint32_t top = ThumbTableIndex(opcode);
    const bool handled = ((top == Top && (Execute<Top>(core, opcode), true)) || ...);
    if (!handled) Unreachable();
}

}  // namespace thumb

// The loop keeps R15, the cycle count, the flags and the fetch window in
// host registers (cpu/core.h). Its speed swung by 15% with where the linker
// happened to place it (the same machine code, 16 bytes apart): a 64-byte
// start keeps it steady.
[[gnu::flatten, gnu::aligned(64)]] void RunThumbSlice(Machine& m) {
    Core core(m);
    while (core.cycles >= 1) {
        core.OpenFetchWindow(m.AccessCost16);
        do {
            core.cycles -= core.fetchCost;
            const uint32_t opcode = LoadLittle<uint16_t>(core.fetchPage + (core.pc & 0x3FFE));
            core.pc += 2;
            thumb::Dispatch(core, opcode, std::make_index_sequence<256>{});
        } while (core.cycles >= 1 && !core.refetch && (core.pc & 0x3FFE) != 0);
    }
    core.WriteBack();
}
