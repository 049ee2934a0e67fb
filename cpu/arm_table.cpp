// The generated ARM handler table and the ARM slice loop.

#include <cstdio>
#include <utility>

#include "cpu/arm.h"
#include "cpu/arm_data_processing.h"
#include "cpu/arm_load_store.h"
#include "cpu/run_loop.h"
#include "machine/machine.h"

void ArmUndefined(Machine& m, uint32_t opcode) {
    const CpuState& cpu = m.Cpu;
    if (cpu.TraceUndefined) std::printf("ARM: Unrecognized opcode 0x%08X at 0x%08X\n", opcode, cpu.R[15] - 4);
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

constexpr std::array<ArmHandler, 4096> ArmHandlerTable = arm::BuildTable(std::make_index_sequence<4096>{});

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

void RunArmSlice(Machine& m) {
    CpuState& cpu = m.Cpu;
    while (cpu.Cycles >= 1) {
        const uint32_t pc = cpu.R[15];
        // The fetch is paid before the condition test: a skipped instruction
        // still costs its fetch.
        cpu.Cycles -= m.AccessCost32[(pc >> 24) & 15];
        uint32_t opcode = LoadLittle<uint32_t>(m.PageTable.Read[pc >> PageShift] + (pc & 0x3FFC));
        // A misaligned R15 fetches the aligned word shifted right.
        if (pc & 3) [[unlikely]]
            opcode >>= 8 * (pc & 3);
        cpu.R[15] = pc + 4;
        // Most instructions carry the "always" condition (14); 15 never runs.
        if (opcode >= 0xE0000000u) [[likely]] {
            if (opcode < 0xF0000000u) [[likely]]
                ArmHandlerTable[ArmTableIndex(opcode)](m, opcode);
            else
                ArmUndefined(m, opcode);
        } else if (ConditionPasses(opcode >> 28, cpu.CPSR)) {
            ArmHandlerTable[ArmTableIndex(opcode)](m, opcode);
        }
    }
}
