// The generated THUMB handler table and the THUMB slice loop.

#include "cpu/thumb.h"

#include <cstdio>
#include <utility>

#include "cpu/run_loop.h"
#include "cpu/thumb_data_processing.h"
#include "cpu/thumb_load_store.h"
#include "machine/machine.h"

void ThumbUndefined(Machine& m, uint32_t opcode) {
    const CpuState& cpu = m.Cpu;
    if (cpu.TraceUndefined) std::printf("THUMB: Unrecognized opcode 0x%04X at 0x%08X\n", opcode, cpu.R[15] - 2);
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

constexpr std::array<ThumbHandler, 256> ThumbHandlerTable = thumb::BuildTable(std::make_index_sequence<256>{});

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

// Whether a handler leaves R15 alone: it neither jumps nor calls out of the
// CPU (a store can halt the CPU, which moves R15 back over the store; a BIOS
// call can jump anywhere). After any other handler the slice loop reloads
// its copy of R15.
constexpr bool KeepsProgramCounter(uint32_t top) {
    const bool isStore = (top >= 0x50 && top < 0x56) || (top >= 0x60 && top < 0x68) || (top >= 0x70 && top < 0x78) ||
                         (top >= 0x80 && top < 0x88) || (top >= 0x90 && top < 0x98);
    if (isStore) return false;
    if (top < 0x44) return true;                  // shifts, add/subtract, immediates, ALU group
    if (top < 0x48) return false;                 // hi-register operations and BX
    if (top < 0xB0) return true;                  // loads and address generation
    if (top == 0xB0 || top == 0xBC) return true;  // stack adjust, POP without PC
    if (top >= 0xC8 && top < 0xD0) return true;   // LDMIA
    if (top >= 0xF0 && top < 0xF8) return true;   // first half of BL
    return false;
}

// Handlers that read R15 as an operand without being able to change it.
constexpr bool ReadsProgramCounter(uint32_t top) {
    return (top >= 0x48 && top < 0x50) || (top >= 0xA0 && top < 0xA8) || (top >= 0xF0 && top < 0xF8);
}

// Runs the handler for one top byte, known at compile time so that it is
// inlined into the slice loop. R15 in CpuState is brought up to date only
// for the handlers that look at it or may change it; the loop's own copy is
// taken back after those that may change it, and then true is returned.
template <uint32_t Top>
[[gnu::always_inline]] inline bool Execute(Machine& m, uint32_t opcode, uint32_t& pc) {
    CpuState& cpu = m.Cpu;
    constexpr ThumbHandler handler = ThumbHandlerTable[Top];
    constexpr bool keepsPc = KeepsProgramCounter(Top);
    if constexpr (!keepsPc || ReadsProgramCounter(Top)) cpu.R[15] = pc;
    handler(m, opcode);
    if constexpr (!keepsPc) pc = cpu.R[15];
    return !keepsPc;
}

// A chain of comparisons against every top byte, which the compiler turns
// into one jump table: the 256-way switch of the decoder.
template <size_t... Top>
[[gnu::always_inline]] inline bool Dispatch(Machine& m, uint32_t opcode, uint32_t& pc, std::index_sequence<Top...>) {
    const uint32_t top = ThumbTableIndex(opcode);
    bool jumped = false;
    (void)((top == Top && (jumped = Execute<Top>(m, opcode, pc), true)) || ...);
    return jumped;
}

// Where instructions are fetched from: the host page behind the PC and the
// region's fetch cost. Both hold until the PC leaves the page or a handler
// jumps or calls out (a store to WAITCNT changes the costs).
struct FetchWindow {
    const uint8_t* page;
    int32_t cost;
};

inline FetchWindow OpenFetchWindow(const Machine& m, uint32_t pc) {
    return {m.PageTable.Read[pc >> PageShift], m.AccessCost16[(pc >> 24) & 15]};
}

}  // namespace thumb

// The loop keeps its own copy of R15 and of the fetch page in registers,
// which spares most instructions a round trip through memory; R15 in
// CpuState is exact whenever a handler that needs it runs and when the slice
// ends. Its speed swung by 15% with where the linker happened to place it
// (the same machine code, 16 bytes apart): a 64-byte start keeps it steady.
[[gnu::flatten, gnu::aligned(64)]] void RunThumbSlice(Machine& m) {
    CpuState& cpu = m.Cpu;
    uint32_t pc = cpu.R[15];
    thumb::FetchWindow window = thumb::OpenFetchWindow(m, pc);
    while (cpu.Cycles >= 1) {
        cpu.Cycles -= window.cost;
        const uint32_t opcode = LoadLittle<uint16_t>(window.page + (pc & 0x3FFE));
        pc += 2;
        if (thumb::Dispatch(m, opcode, pc, std::make_index_sequence<256>{}) || (pc & 0x3FFE) == 0)
            window = thumb::OpenFetchWindow(m, pc);
    }
    cpu.R[15] = pc;
}
