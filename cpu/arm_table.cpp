// The generated ARM handler table and the ARM slice loop.

#include <cstdio>
#include <utility>

#include "cpu/arm.h"
#include "cpu/arm_data_processing.h"
#include "cpu/arm_load_store.h"
#include "cpu/core.h"
#include "cpu/dispatch.h"
#include "cpu/run_loop.h"

void ArmUndefined(Core& core, uint32_t opcode) {
    if (core.cpu.TraceUndefined) std::printf("ARM: Unrecognized opcode 0x%08X at 0x%08X\n", opcode, core.pc - 4);
}

namespace arm {

// Chooses the handler for one table index (row = opcode bits 27-20,
// column = opcode bits 7-4), following the ARMv4T encoding space.
template <uint32_t Index>
constexpr ArmHandler SelectHandler() {
    constexpr uint32_t row = Index & 0xFF;
    constexpr uint32_t column = Index >> 8;
    constexpr uint32_t dataOp = (row >> 1) & 15;
    constexpr bool s = row & 1;
    constexpr uint32_t shiftType = (column >> 1) & 3;

    if constexpr (row < 0x20) {
        constexpr bool statusRow = row == 0x10 || row == 0x12 || row == 0x14 || row == 0x16;
        if constexpr (column == 9) {
            if constexpr (row < 0x04) return &Multiply<bool(row & 2), bool(row & 1)>;
            else if constexpr (row >= 0x08 && row < 0x10)
                return &MultiplyLong<bool(row & 4), bool(row & 2), bool(row & 1)>;
            else if constexpr (row == 0x10) return &Swap<false>;
            else if constexpr (row == 0x14) return &Swap<true>;
            else return &ArmUndefined;
        } else if constexpr (column == 11 || column == 13 || column == 15) {
            // W on a post-indexed form changes nothing: it is the plain
            // post-indexed transfer.
            if constexpr (column == 11) return &HalfwordTransfer<row, HalfKind::Half>;
            else if constexpr (!(row & RowL)) return &ArmUndefined;
            else if constexpr (column == 13) return &HalfwordTransfer<row, HalfKind::SignedByte>;
            else return &HalfwordTransfer<row, HalfKind::SignedHalf>;
        } else if constexpr (statusRow) {
            if constexpr (column == 0 && (row == 0x10 || row == 0x14)) return &MoveFromStatus<row == 0x14>;
            else if constexpr (column == 0) return &MoveToStatus<row == 0x16, false>;
            else if constexpr (column == 1 && row == 0x12) return &BranchExchange;
            else return &ArmUndefined;
        } else if constexpr ((column & 1) == 0) {
            return &DataProcessing<dataOp, s, Operand::ImmediateShift, shiftType>;
        } else {
            return &DataProcessing<dataOp, s, Operand::RegisterShift, shiftType>;
        }
    } else if constexpr (row < 0x40) {
        if constexpr (row == 0x32 || row == 0x36) return &MoveToStatus<row == 0x36, true>;
        else if constexpr (row == 0x30 || row == 0x34) return &ArmUndefined;
        else return &DataProcessing<dataOp, s, Operand::Immediate, 0>;
    } else if constexpr (row < 0x60) {
        return &SingleTransfer<row & 0x1F, false, 0>;
    } else if constexpr (row < 0x80) {
        if constexpr (column & 1) return &ArmUndefined;
        else return &SingleTransfer<row & 0x1F, true, shiftType>;
    } else if constexpr (row < 0xA0) {
        return &BlockTransfer<row & 0x1F>;
    } else if constexpr (row < 0xB0) {
        return &Branch<false>;
    } else if constexpr (row < 0xC0) {
        return &Branch<true>;
    } else if constexpr (row >= 0xF0) {
        return &SoftwareInterrupt;
    } else {
        return &ArmUndefined;  // coprocessor space
    }
}

template <size_t... Index>
constexpr std::array<ArmHandler, 4096> BuildTable(std::index_sequence<Index...>) {
    return {SelectHandler<Index>()...};
}

}  // namespace arm

inline constexpr std::array<ArmHandler, 4096> ArmHandlerTable = arm::BuildTable(std::make_index_sequence<4096>{});

// Spot checks of the decoding against known encodings.
static_assert(ArmHandlerTable[ArmTableIndex(0xE0810002)] == &arm::DataProcessing<arm::OpADD, false, arm::Operand::ImmediateShift, ShiftLSL>);  // add r0, r1, r2
static_assert(ArmHandlerTable[ArmTableIndex(0xE1B00231)] == &arm::DataProcessing<arm::OpMOV, true, arm::Operand::RegisterShift, ShiftLSR>);  // movs r0, r1, lsr r2
static_assert(ArmHandlerTable[ArmTableIndex(0xE12FFF10)] == &arm::BranchExchange);                        // bx r0
static_assert(ArmHandlerTable[ArmTableIndex(0xE10F0000)] == &arm::MoveFromStatus<false>);                 // mrs r0, cpsr
static_assert(ArmHandlerTable[ArmTableIndex(0xE328F20F)] == &arm::MoveToStatus<false, true>);             // msr cpsr_f, #0xF0000000
static_assert(ArmHandlerTable[ArmTableIndex(0xE0C10392)] == &arm::MultiplyLong<true, false, false>);      // smull r0, r1, r2, r3
static_assert(ArmHandlerTable[ArmTableIndex(0xE1D000F2)] == &arm::HalfwordTransfer<0x1D, arm::HalfKind::SignedHalf>);  // ldrsh r0, [r0, #2]
static_assert(ArmHandlerTable[ArmTableIndex(0xE0E250B2)] == &arm::HalfwordTransfer<0x0E, arm::HalfKind::Half>);  // strh r5, [r2], #2 with W
static_assert(ArmHandlerTable[ArmTableIndex(0xE8BD500F)] == &arm::BlockTransfer<0x0B>);                  // ldmfd sp!, {...}
static_assert(ArmHandlerTable[ArmTableIndex(0xEE000010)] == &ArmUndefined);                               // mcr
static_assert(ArmHandlerTable[ArmTableIndex(0xE7F000F0)] == &ArmUndefined);                               // register offset, bit 4 set
static_assert(ArmHandlerTable[ArmTableIndex(0xE0600090)] == &ArmUndefined);                               // column 9 of row 0x06

namespace arm {

// The decode index of the slice loop: the table's row and column in
// row-major order, gathered by one multiplication (the two masked fields do
// not overlap once shifted, so nothing carries).
inline constexpr uint32_t DecodeIndex(uint32_t opcode) { return ((opcode & 0x0FF000F0u) * 0x1001u) >> 16; }
static_assert(DecodeIndex(0xE12FFF1E) == 0x121);  // bx lr: row 0x12, column 1

inline constexpr std::array<ArmHandler, 4096> HandlersByDecodeIndex = [] {
    std::array<ArmHandler, 4096> handlers{};
    for (uint32_t row = 0; row < 256; ++row)
        for (uint32_t column = 0; column < 16; ++column) handlers[row << 4 | column] = ArmHandlerTable[row | column << 8];
    return handlers;
}();

inline constexpr auto Numbering = NumberHandlers(HandlersByDecodeIndex, &ArmUndefined);

static_assert(Numbering.distinct[Numbering.numbers[DecodeIndex(0xE0810002)]] ==
              ArmHandlerTable[ArmTableIndex(0xE0810002)]);

// An instruction fetched from a misaligned R15 (a data-processing result,
// a load or an exception return can leave one) is the aligned word shifted
// right. The slice loop fetches aligned words only and hands such an
// instruction here, with CpuState up to date.
[[gnu::noinline]] void RunMisaligned(Machine& m) {
    Core core(m, false);
    core.cycles -= m.AccessCost32[(core.pc >> 24) & 15];
    const uint32_t opcode = PeekWord(m.PageTable, core.pc) >> (8 * (core.pc & 3));
    core.pc += 4;
    if (core.ConditionPasses(opcode >> 28))
        ArmHandlerTable[ArmTableIndex(opcode)](core, opcode);
    else if (opcode >= 0xF0000000u)
        ArmUndefined(core, opcode);
    core.WriteBack();
}

}  // namespace arm

// The loop keeps R15, the cycle count, the flags and the fetch window in
// host registers (cpu/core.h); R15 in CpuState is brought up to date only
// where an instruction reads it as an operand, at calls out and at the
// slice end.
[[gnu::flatten, gnu::aligned(64)]] void RunArmSlice(Machine& m) {
    Core core(m, false);
    // One loop, one test per instruction: the cycle count and the fetch
    // window are looked at together (bitwise, not short-circuit), so a
    // handler's jump back leads to a single branch that falls through into
    // the fetch and the dispatch.
    for (;;) {
        if ((core.cycles < 1) | !core.InFetchWindow()) [[unlikely]] {
            if (core.cycles < 1) break;
            if (core.pc & 3) {
                core.CallOut([](Machine& machine) { arm::RunMisaligned(machine); });
                continue;
            }
            core.OpenFetchWindow();
        }
        // The fetch is paid before the condition test: a skipped
        // instruction still costs its fetch.
        core.cycles -= core.fetchCost;
        const uint32_t opcode = LoadLittle<uint32_t>(core.fetchPage + (core.pc & 0x3FFC));
        core.pc += 4;
        // Most instructions carry the "always" condition (14); 15 never runs.
        const bool always = opcode - 0xE0000000u < 0x10000000u;
        if (always || core.ConditionPasses(opcode >> 28)) [[likely]]
            RunHandler<arm::Numbering>(core, opcode, arm::Numbering.numbers[arm::DecodeIndex(opcode)]);
        else if (opcode >= 0xF0000000u) [[unlikely]]
            ArmUndefined(core, opcode);
    }
    core.WriteBack();
}
