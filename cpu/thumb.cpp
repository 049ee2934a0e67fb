// The generated THUMB handler table and the THUMB slice loop.

#include "cpu/thumb.h"

#include <cstdio>
#include <utility>

#include "cpu/core.h"
#include "cpu/dispatch.h"
#include "cpu/run_loop.h"
#include "cpu/thumb_data_processing.h"
#include "cpu/thumb_load_store.h"

void ThumbUndefined(Core& core, uint32_t opcode) {
    if (core.cpu.TraceUndefined) std::printf("THUMB: Unrecognized opcode 0x%04X at 0x%08X\n", opcode, core.pc - 2);
}

namespace thumb {

// Chooses the handler for one table index (opcode bits 15-6), following
// the ARMv4T THUMB formats. Register numbers that sit in the top byte
// (bits 10-8) become template constants, and so do the two bits below it
// where they choose the operation (the ALU group) or the register bank (the
// hi-register operations).
template <uint32_t Index>
constexpr ThumbHandler SelectHandler() {
    constexpr uint32_t top = Index >> 2;
    constexpr uint32_t low3 = top & 7;
    constexpr uint32_t bits76 = Index & 3;

    if constexpr (top < 0x18) {
        return &ShiftImmediate<(top >> 3)>;
    } else if constexpr (top < 0x20) {
        return &AddSubtract<bool(top & 2), bool(top & 4)>;
    } else if constexpr (top < 0x40) {
        return &ImmediateOperation<(top >> 3) & 3, low3>;
    } else if constexpr (top < 0x44) {
        return &AluOperation<(top & 3) * 4 + bits76>;
    } else if constexpr (top < 0x47) {
        return &HiRegisterOperation<top & 3, bool(bits76 & 2), bool(bits76 & 1)>;
    } else if constexpr (top == 0x47) {
        return &HiRegisterOperation<HiBX, false, bool(bits76 & 1)>;  // H1 is ignored
    } else if constexpr (top < 0x50) {
        return &LoadPcRelative<low3>;
    } else if constexpr (top < 0x60) {
        // Bits 11-9 choose the width and direction of a register-offset transfer.
        constexpr uint32_t kind = (top >> 1) & 7;
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
    } else if constexpr (top < 0x70) {
        return &ImmediateOffsetTransfer<Width::Word, bool(top & 8)>;
    } else if constexpr (top < 0x80) {
        return &ImmediateOffsetTransfer<Width::Byte, bool(top & 8)>;
    } else if constexpr (top < 0x90) {
        return &ImmediateOffsetTransfer<Width::Half, bool(top & 8)>;
    } else if constexpr (top < 0xA0) {
        return &StackRelativeTransfer<bool(top & 8), low3>;
    } else if constexpr (top < 0xB0) {
        return &AddressGenerate<bool(top & 8), low3>;
    } else if constexpr (top == 0xB0) {
        return &AdjustStack;
    } else if constexpr (top == 0xB4 || top == 0xB5) {
        return &Push<top == 0xB5>;
    } else if constexpr (top == 0xBC || top == 0xBD) {
        return &Pop<top == 0xBD>;
    } else if constexpr (top < 0xC0) {
        return &ThumbUndefined;
    } else if constexpr (top < 0xD0) {
        return &MultipleTransfer<bool(top & 8), low3>;
    } else if constexpr (top < 0xDE) {
        return &ConditionalBranch<top & 15>;
    } else if constexpr (top == 0xDF) {
        return &SoftwareInterrupt;
    } else if constexpr (top >= 0xE0 && top < 0xE8) {
        return &Branch;
    } else if constexpr (top >= 0xF0 && top < 0xF8) {
        return &LongBranchFirst;
    } else if constexpr (top >= 0xF8) {
        return &LongBranchSecond;
    } else {
        return &ThumbUndefined;  // condition 14 (0xDE) and 0xE8-0xEF
    }
}

template <size_t... Index>
constexpr std::array<ThumbHandler, 1024> BuildTable(std::index_sequence<Index...>) {
    return {SelectHandler<Index>()...};
}

}  // namespace thumb

inline constexpr std::array<ThumbHandler, 1024> ThumbHandlerTable =
    thumb::BuildTable(std::make_index_sequence<1024>{});

// Spot checks of the decoding against assembler output.
static_assert(ThumbHandlerTable[ThumbTableIndex(0x0848)] == &thumb::ShiftImmediate<ShiftLSR>);  // lsrs r0, r1, #1
static_assert(ThumbHandlerTable[ThumbTableIndex(0x1A88)] == &thumb::AddSubtract<true, false>);  // subs r0, r1, r2
static_assert(ThumbHandlerTable[ThumbTableIndex(0x1C48)] == &thumb::AddSubtract<false, true>);  // adds r0, r1, #1
static_assert(ThumbHandlerTable[ThumbTableIndex(0x2D10)] ==
              &thumb::ImmediateOperation<thumb::ImmCMP, 5>);                                            // cmp r5, #16
static_assert(ThumbHandlerTable[ThumbTableIndex(0x41C8)] == &thumb::AluOperation<thumb::AluROR>);  // rors r0, r1
static_assert(ThumbHandlerTable[ThumbTableIndex(0x4770)] ==
              &thumb::HiRegisterOperation<thumb::HiBX, false, true>);  // bx lr
static_assert(ThumbHandlerTable[ThumbTableIndex(0x46C0)] ==
              &thumb::HiRegisterOperation<thumb::HiMOV, true, true>);  // mov r8, r8
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

inline constexpr auto Numbering = NumberHandlers(ThumbHandlerTable, &ThumbUndefined);

}  // namespace thumb

// The loop keeps R15, the cycle count, the flags and the fetch window in
// host registers (cpu/core.h). A jump to another page and a call out open
// the window themselves, so the loop only looks for the end of the page
// (with an odd PC too: THUMB fetches ignore bit 0). Its speed swung by 15%
// with where the linker happened to place it (the same machine code, 16
// bytes apart): a 64-byte start keeps it steady.
[[gnu::flatten, gnu::aligned(64)]] void RunThumbSlice(Machine& m) {
    Core core(m, true);
    while (core.cycles >= 1) {
        do {
            core.cycles -= core.fetchCost;
            const uint32_t opcode = LoadLittle<uint16_t>(core.fetchPage + (core.pc & 0x3FFE));
            core.pc += 2;
            RunHandler<thumb::Numbering>(core, opcode, thumb::Numbering.numbers[ThumbTableIndex(opcode)]);
        } while (core.cycles >= 1 && (core.pc & 0x3FFE) != 0);
        core.OpenFetchWindow();
    }
    core.WriteBack();
}
