// THUMB instruction set. Opcodes come from arm-none-eabi-as -mthumb
// (unified syntax) and objdump; the assembly is in the comment beside each.
// Code runs from internal work RAM (1-cycle fetches) unless a case says
// otherwise; data lives in external work RAM at 0x02000000.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "cpu/run_loop.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000000;
constexpr uint32_t Data = 0x02000000;

// NZCV as a four-bit number, N in bit 3.
constexpr uint32_t N = 8, Z = 4, C = 2, V = 1;

class Thumb : public ::testing::Test {
protected:
    uint32_t Flags() const { return cpu.CPSR >> 28; }
    void SetFlags(uint32_t nzcv) { cpu.CPSR = (cpu.CPSR & 0x0FFFFFFF) | (nzcv << 28); }
    bool InThumb() const { return cpu.CPSR & FlagT; }

    TestMachine machine;
    CpuState& cpu = machine.cpu;
};

// One instruction on R0 and R1 (and R2 where used), with the flags it
// starts from and the R0 and flags it must leave.
struct AluCase {
    const char* name;
    uint16_t opcode;
    uint32_t r0, r1, r2;
    uint32_t flagsIn;
    uint32_t expectR0;
    uint32_t expectFlags;
};

}  // namespace

class ThumbAlu : public Thumb {
public:
    void Run(std::initializer_list<AluCase> cases) {
        for (const AluCase& c : cases) {
            SCOPED_TRACE(c.name);
            machine.LoadThumb(Code, {c.opcode});
            cpu.R[0] = c.r0;
            cpu.R[1] = c.r1;
            cpu.R[2] = c.r2;
            SetFlags(c.flagsIn);
            machine.Step();
            EXPECT_EQ(cpu.R[0], c.expectR0);
            EXPECT_EQ(Flags(), c.expectFlags);
            EXPECT_EQ(cpu.R[15], Code + 2);
        }
    }
};

TEST_F(ThumbAlu, ShiftsByImmediate) {
    // R0 = R1 shifted; V must survive every shift.
    Run({
        {"lsl #0 keeps C", 0x0008 /* movs r0, r1 */, 0, 0x80000001, 0, C | V, 0x80000001, N | C | V},
        {"lsl #1 carries bit 31", 0x0048 /* lsls r0, r1, #1 */, 0, 0x80000001, 0, V, 0x00000002, C | V},
        {"lsr #1", 0x0848 /* lsrs r0, r1, #1 */, 0, 3, 0, 0, 1, C},
        {"lsr #32", 0x0808 /* lsrs r0, r1, #32 */, 0, 0x80000000, 0, V, 0, Z | C | V},
        {"asr #32", 0x1008 /* asrs r0, r1, #32 */, 0, 0x80000000, 0, 0, 0xFFFFFFFF, N | C},
        {"asr #4", 0x1108 /* asrs r0, r1, #4 */, 0, 0x80000018, 0, V, 0xF8000001, N | C | V},
    });
}

TEST_F(ThumbAlu, ShiftsByRegister) {
    // R0 = R0 shifted by R1.
    Run({
        {"lsl by 0 (low byte) keeps C", 0x4088 /* lsls r0, r1 */, 0x12345678, 0x100, 0, C | V, 0x12345678, C | V},
        {"lsl by 32", 0x4088, 1, 32, 0, 0, 0, Z | C},
        {"lsl by 33", 0x4088, 0xFFFFFFFF, 33, 0, C | V, 0, Z | V},
        {"lsr by 32", 0x40C8 /* lsrs r0, r1 */, 0x80000000, 32, 0, 0, 0, Z | C},
        {"asr by 40", 0x4108 /* asrs r0, r1 */, 0x80000000, 40, 0, V, 0xFFFFFFFF, N | C | V},
        {"ror by 4", 0x41C8 /* rors r0, r1 */, 0x1F, 4, 0, 0, 0xF0000001, N | C},
        {"ror by 36 uses 4", 0x41C8, 0x1F, 36, 0, 0, 0xF0000001, N | C},
        // Only five bits of the amount count in THUMB: a multiple of 32
        // changes neither the value nor C (ARM state would set C from bit 31).
        {"ror by 32", 0x41C8, 0x80000001, 32, 0, V, 0x80000001, N | V},
        {"ror by 0 still sets Z", 0x41C8, 0, 0, 0, C, 0, Z | C},
    });
}

TEST_F(ThumbAlu, AddAndSubtractFlags) {
    Run({
        {"add signed overflow", 0x1888 /* adds r0, r1, r2 */, 0, 0x7FFFFFFF, 1, 0, 0x80000000, N | V},
        {"add unsigned carry", 0x1888, 0, 0xFFFFFFFF, 1, 0, 0, Z | C},
        {"sub equal", 0x1A88 /* subs r0, r1, r2 */, 0, 5, 5, N | V, 0, Z | C},
        {"sub borrow", 0x1A88, 0, 0, 1, 0, 0xFFFFFFFF, N},
        {"sub signed overflow", 0x1A88, 0, 0x80000000, 1, 0, 0x7FFFFFFF, C | V},
        // This CPU takes V from the negated subtrahend, which for
        // 0x80000000 gives V clear.
        {"sub 0x80000000 from 0", 0x1A88, 0, 0, 0x80000000, 0, 0x80000000, N},
        {"add #7", 0x1DC8 /* adds r0, r1, #7 */, 0, 0xFFFFFFF9, 0, 0, 0, Z | C},
        {"adc with carry in", 0x4148 /* adcs r0, r1 */, 0xFFFFFFFF, 0, 0, C, 0, Z | C},
        {"sbc without borrow in", 0x4188 /* sbcs r0, r1 */, 5, 3, 0, 0, 1, C},
        {"sbc with borrow", 0x4188, 5, 5, 0, 0, 0xFFFFFFFF, N},
        {"neg 0x80000000", 0x4248 /* negs r0, r1 */, 0, 0x80000000, 0, V, 0x80000000, N},
        {"neg 0", 0x4248, 7, 0, 0, 0, 0, Z | C},
        {"cmp keeps Rd", 0x4288 /* cmp r0, r1 */, 3, 5, 0, 0, 3, N},
        {"cmn keeps Rd", 0x42C8 /* cmn r0, r1 */, 0xFFFFFFFF, 1, 0, 0, 0xFFFFFFFF, Z | C},
        {"mul clears C and V", 0x4348 /* muls r0, r1 */, 3, 0xFFFFFFFF, 0, C | V, 0xFFFFFFFD, N},
    });
}

TEST_F(ThumbAlu, LogicalOperationsKeepCarryAndOverflow) {
    Run({
        {"and", 0x4008 /* ands r0, r1 */, 0xF0F0, 0x0FF0, 0, C | V, 0x00F0, C | V},
        {"eor", 0x4048 /* eors r0, r1 */, 0xFFFFFFFF, 0xFFFF, 0, C | V, 0xFFFF0000, N | C | V},
        {"mvn", 0x43C8 /* mvns r0, r1 */, 5, 0, 0, C | V, 0xFFFFFFFF, N | C | V},
        {"tst keeps Rd", 0x4208 /* tst r0, r1 */, 0xF0, 0x0F, 0, C | V, 0xF0, Z | C | V},
        {"mov lo to lo through the hi form", 0x4608 /* mov r0, r1 */, 0, 0x80000000, 0, Z, 0x80000000, Z},
    });
}

TEST_F(Thumb, ImmediateOperationsUseTheRegisterInBits8To10) {
    struct Case {
        const char* name;
        uint16_t opcode;
        uint32_t reg, value, flagsIn, expect, expectFlags;
    } cases[] = {
        {"mov #0 clears N", 0x2300 /* movs r3, #0 */, 3, 0x1234, N | C | V, 0, Z | C | V},
        {"mov #255", 0x23FF /* movs r3, #255 */, 3, 0, Z, 255, 0},
        {"cmp equal", 0x2D10 /* cmp r5, #16 */, 5, 16, N, 16, Z | C},
        {"add overflow", 0x36C8 /* adds r6, #200 */, 6, 0x7FFFFF38, 0, 0x80000000, N | V},
        {"sub to zero", 0x3F01 /* subs r7, #1 */, 7, 1, 0, 0, Z | C},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        machine.LoadThumb(Code, {c.opcode});
        for (uint32_t reg = 0; reg < 8; ++reg) cpu.R[reg] = 0xAAAA0000 + reg;
        cpu.R[c.reg] = c.value;
        SetFlags(c.flagsIn);
        machine.Step();
        for (uint32_t reg = 0; reg < 8; ++reg)
            EXPECT_EQ(cpu.R[reg], reg == c.reg ? c.expect : 0xAAAA0000 + reg) << "R" << reg;
        EXPECT_EQ(Flags(), c.expectFlags);
    }
}

TEST_F(Thumb, HiRegisterOperationsReadThePcAheadAndKeepFlags) {
    machine.LoadThumb(Code + 0x10, {0x46F8 /* mov r8, pc */});
    SetFlags(N | V);
    machine.Step();
    EXPECT_EQ(cpu.R[8], Code + 0x14);

    machine.LoadThumb(Code, {0x4440 /* add r0, r8 */});
    cpu.R[0] = 0xFFFFFFFF;
    cpu.R[8] = 1;
    machine.Step();
    EXPECT_EQ(cpu.R[0], 0u);
    EXPECT_EQ(Flags(), N | V);

    machine.LoadThumb(Code, {0x4580 /* cmp r8, r0 */});
    cpu.R[8] = 5;
    cpu.R[0] = 5;
    machine.Step();
    EXPECT_EQ(Flags(), Z | C);
}

TEST_F(Thumb, AddToPcWithAnOddValueStaysInThumbAtAnEvenAddress) {
    machine.LoadThumb(Code, {0x4487 /* add pc, r0 */});
    cpu.R[0] = 0x101;
    machine.Step();
    EXPECT_EQ(cpu.R[15], Code + 4 + 0x100);
    EXPECT_TRUE(InThumb());
}

TEST_F(Thumb, BranchExchange) {
    // Odd target: stays in THUMB without cutting the slice. A budget of one
    // cycle runs exactly the BX.
    machine.LoadThumb(Code, {0x4700 /* bx r0 */});
    cpu.R[0] = Code + 0x101;
    cpu.Cycles = 1;
    cpu.SliceBreak = 0;
    RunThumbSlice(cpu);
    EXPECT_EQ(cpu.R[15], Code + 0x100);
    EXPECT_TRUE(InThumb());
    EXPECT_EQ(cpu.SliceBreak, 0);

    // Even target: ARM state, and the slice ends at once, so the MOVS after
    // the BX is never run as THUMB.
    machine.LoadThumb(Code, {0x4700 /* bx r0 */, 0x2301 /* movs r3, #1 */});
    cpu.R[0] = Code + 0x200;
    cpu.R[3] = 0;
    cpu.Cycles = 50;
    RunThumbSlice(cpu);
    EXPECT_FALSE(InThumb());
    EXPECT_EQ(cpu.R[15], Code + 0x200);
    EXPECT_EQ(cpu.R[3], 0u);
    EXPECT_EQ(cpu.SliceBreak, 1);
    EXPECT_EQ(cpu.SavedCycles, 49);
    EXPECT_EQ(cpu.Cycles, 0);
    cpu.SliceBreak = 0;

    // BX PC reads the instruction's address + 4 and word-aligns it.
    machine.LoadThumb(Code, {0x46C0 /* nop */, 0x4778 /* bx pc */});
    machine.Run(2);
    EXPECT_FALSE(InThumb());
    EXPECT_EQ(cpu.R[15], Code + 4);
}

TEST_F(Thumb, PcRelativeAddressesRoundThePcDownToAWord) {
    constexpr uint32_t Rom = 0x08000100;
    machine.Write32(Rom + 4, 0xCAFEF00D);
    for (uint32_t at : {Rom, Rom + 2}) {
        SCOPED_TRACE(at);
        machine.LoadThumb(at, {0x4800 /* ldr r0, [pc, #0] */});
        cpu.R[0] = 0;
        machine.Step();
        EXPECT_EQ(cpu.R[0], 0xCAFEF00Du);

        machine.LoadThumb(at, {0xA302 /* add r3, pc, #8 */});
        machine.Step();
        EXPECT_EQ(cpu.R[3], Rom + 4 + 8);
    }
}

TEST_F(Thumb, LoadWidthsAndAlignment) {
    machine.Write32(Data, 0x11223344);
    machine.Write32(Data + 4, 0x8000FF80);
    struct Case {
        const char* name;
        uint16_t opcode;
        uint32_t offset;  // R2, added to R1 = Data
        uint32_t expect;
    } cases[] = {
        {"word", 0x5888 /* ldr r0, [r1, r2] */, 0, 0x11223344},
        {"misaligned word shifts right", 0x5888, 1, 0x00112233},
        {"halfword", 0x5A88 /* ldrh r0, [r1, r2] */, 2, 0x1122},
        {"odd halfword reads the even one", 0x5A88, 3, 0x1122},
        {"signed byte", 0x5688 /* ldrsb r0, [r1, r2] */, 4, 0xFFFFFF80},
        {"signed halfword", 0x5E88 /* ldrsh r0, [r1, r2] */, 6, 0xFFFF8000},
        {"signed halfword at an odd address", 0x5E88, 7, 0xFFFF8000},
        {"word, immediate offset x 4", 0x6848 /* ldr r0, [r1, #4] */, 0, 0x8000FF80},
        {"halfword, immediate offset x 2", 0x8848 /* ldrh r0, [r1, #2] */, 0, 0x1122},
        {"byte, immediate offset", 0x7FC8 /* ldrb r0, [r1, #31] */, 0, 0xEE},
    };
    machine.Write8(Data + 31, 0xEE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        machine.LoadThumb(Code, {c.opcode});
        cpu.R[0] = 0xDEADBEEF;
        cpu.R[1] = Data;
        cpu.R[2] = c.offset;
        machine.Step();
        EXPECT_EQ(cpu.R[0], c.expect);
    }
}

TEST_F(Thumb, StoreWidths) {
    struct Case {
        const char* name;
        uint16_t opcode;
        uint32_t offset;  // R2
        uint32_t expectWord0, expectWord1;
    } cases[] = {
        {"word", 0x5088 /* str r0, [r1, r2] */, 4, 0, 0x89ABCDEF},
        {"halfword", 0x5288 /* strh r0, [r1, r2] */, 2, 0xCDEF0000, 0},
        {"byte", 0x5488 /* strb r0, [r1, r2] */, 5, 0, 0x0000EF00},
        {"word, immediate offset x 4", 0x6048 /* str r0, [r1, #4] */, 0, 0, 0x89ABCDEF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        machine.Write32(Data, 0);
        machine.Write32(Data + 4, 0);
        machine.LoadThumb(Code, {c.opcode});
        cpu.R[0] = 0x89ABCDEF;
        cpu.R[1] = Data;
        cpu.R[2] = c.offset;
        machine.Step();
        EXPECT_EQ(machine.Read32(Data), c.expectWord0);
        EXPECT_EQ(machine.Read32(Data + 4), c.expectWord1);
    }
}

TEST_F(Thumb, StackPointerRelativeTransfersAndAdjustment) {
    machine.LoadThumb(Code, {0x9202 /* str r2, [sp, #8] */, 0x9A03 /* ldr r2, [sp, #12] */, 0xAB02 /* add r3, sp, #8 */,
                             0xB004 /* add sp, #16 */, 0xB084 /* sub sp, #16 */, 0xB084});
    cpu.R[13] = Data + 0x100;
    cpu.R[2] = 0x5555AAAA;
    machine.Write32(Data + 0x10C, 0x0BADF00D);
    machine.Step();
    EXPECT_EQ(machine.Read32(Data + 0x108), 0x5555AAAAu);
    machine.Step();
    EXPECT_EQ(cpu.R[2], 0x0BADF00Du);
    machine.Step();
    EXPECT_EQ(cpu.R[3], Data + 0x108);
    machine.Step();
    EXPECT_EQ(cpu.R[13], Data + 0x110);
    machine.Run(2);
    EXPECT_EQ(cpu.R[13], Data + 0xF0);
}

TEST_F(Thumb, PushAndPopKeepTheLowTwoBitsOfTheStackPointer) {
    machine.LoadThumb(Code, {0xB401 /* push {r0} */});
    cpu.R[13] = 0x03007F02;
    cpu.R[0] = 0x12345678;
    machine.Step();
    EXPECT_EQ(machine.Read32(0x03007EFC), 0x12345678u);
    EXPECT_EQ(cpu.R[13], 0x03007EFEu);

    // The lowest register lands at the lowest address, LR at the top.
    machine.LoadThumb(Code, {0xB505 /* push {r0, r2, lr} */, 0xBC05 /* pop {r0, r2} */});
    cpu.R[13] = Data + 0x100;
    cpu.R[0] = 0xA0;
    cpu.R[2] = 0xA2;
    cpu.R[14] = 0xAE;
    machine.Step();
    EXPECT_EQ(cpu.R[13], Data + 0xF4);
    EXPECT_EQ(machine.Read32(Data + 0xF4), 0xA0u);
    EXPECT_EQ(machine.Read32(Data + 0xF8), 0xA2u);
    EXPECT_EQ(machine.Read32(Data + 0xFC), 0xAEu);
    cpu.R[0] = cpu.R[2] = 0;
    cpu.R[13] |= 3;
    machine.Step();
    EXPECT_EQ(cpu.R[0], 0xA0u);
    EXPECT_EQ(cpu.R[2], 0xA2u);
    EXPECT_EQ(cpu.R[13], Data + 0xFC + 3);
}

TEST_F(Thumb, PopPcClearsBitZeroAndStaysInThumb) {
    machine.LoadThumb(Code, {0xBD00 /* pop {pc} */});
    cpu.R[13] = Data + 0x100;
    machine.Write32(Data + 0x100, 0x08000201);
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000200u);
    EXPECT_EQ(cpu.R[13], Data + 0x104);
    EXPECT_TRUE(InThumb());
}

TEST_F(Thumb, MultipleTransfers) {
    // STMIA from a misaligned base: aligned addresses, low bits kept.
    machine.LoadThumb(Code, {0xC105 /* stmia r1!, {r0, r2} */});
    cpu.R[1] = Data + 0x21;
    cpu.R[0] = 0xA0;
    cpu.R[2] = 0xA2;
    machine.Step();
    EXPECT_EQ(machine.Read32(Data + 0x20), 0xA0u);
    EXPECT_EQ(machine.Read32(Data + 0x24), 0xA2u);
    EXPECT_EQ(cpu.R[1], Data + 0x29);

    // LDMIA with the base in the list: the write-back wins.
    machine.LoadThumb(Code, {0xC906 /* ldmia r1!, {r1, r2} */});
    cpu.R[1] = Data + 0x20;
    machine.Step();
    EXPECT_EQ(cpu.R[1], Data + 0x28);
    EXPECT_EQ(cpu.R[2], 0xA2u);

    // An empty list moves nothing and leaves the base alone.
    machine.LoadThumb(Code, {0xC800 /* ldmia r0!, {} */});
    cpu.R[0] = Data + 0x23;
    EXPECT_EQ(machine.Step(), 1);
    EXPECT_EQ(cpu.R[0], Data + 0x23);
}

TEST_F(Thumb, ConditionalAndUnconditionalBranches) {
    struct Case {
        const char* name;
        uint32_t at;
        uint16_t opcode;
        uint32_t flags;
        uint32_t expectPc;
    } cases[] = {
        {"beq taken forward", 0x00, 0xD007 /* beq 0x12 */, Z, 0x12},
        {"bne taken backward", 0x02, 0xD1FD /* bne 0x00 */, 0, 0x00},
        {"bgt needs N == V and Z clear", 0x04, 0xDC05 /* bgt 0x12 */, N | V, 0x12},
        {"bgt not taken when N != V", 0x04, 0xDC05, N, 0x06},
        {"b forward", 0x06, 0xE004 /* b 0x12 */, 0, 0x12},
        {"b backward", 0x08, 0xE7FA /* b 0x00 */, 0, 0x00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        machine.LoadThumb(Code + c.at, {c.opcode});
        SetFlags(c.flags);
        EXPECT_EQ(machine.Step(), 1);
        EXPECT_EQ(cpu.R[15], Code + c.expectPc);
    }
}

TEST_F(Thumb, BranchWithLinkHalves) {
    // bl 0x1000 at 0x0A (f000 fff9), then bl 0x0 at 0x1000 (f7fe fffe).
    machine.LoadThumb(Code + 0x0A, {0xF000, 0xFFF9});
    machine.Write16(Code + 0x1000, 0xF7FE);
    machine.Write16(Code + 0x1002, 0xFFFE);
    machine.Step();
    EXPECT_EQ(cpu.R[14], Code + 0x0E);
    machine.Step();
    EXPECT_EQ(cpu.R[15], Code + 0x1000);
    EXPECT_EQ(cpu.R[14], Code + 0x0F);
    machine.Run(2);
    EXPECT_EQ(cpu.R[15], Code);
    EXPECT_EQ(cpu.R[14], Code + 0x1005);

    // The second half alone jumps relative to whatever LR holds.
    machine.LoadThumb(Code + 0x40, {0x4686 /* mov lr, r0 */, 0xFFF9 /* bl second half */});
    cpu.R[0] = Data;
    machine.Run(2);
    EXPECT_EQ(cpu.R[15], Data + 0xFF2);
    EXPECT_EQ(cpu.R[14], Code + 0x45);
    EXPECT_TRUE(InThumb());
}

TEST_F(Thumb, SoftwareInterruptPassesTheEightBitNumber) {
    // SWI 6 is the BIOS division: R0 / R1 into R0, R1 (remainder), R3.
    machine.LoadThumb(Code, {0xDF06 /* svc 6 */, 0x2501 /* movs r5, #1 */});
    cpu.R[0] = 7;
    cpu.R[1] = 2;
    machine.Step();
    EXPECT_EQ(cpu.R[0], 3u);
    EXPECT_EQ(cpu.R[1], 1u);
    EXPECT_EQ(cpu.R[3], 3u);
    machine.Step();
    EXPECT_EQ(cpu.R[5], 1u);
    EXPECT_TRUE(InThumb());
}

TEST_F(Thumb, UndefinedOpcodesAreSkippedWithAnOptionalTrace) {
    machine.LoadThumb(Code, {0xDE00 /* udf #0 */, 0xB100 /* cbz (not in ARMv4T) */, 0xE800});
    cpu.TraceUndefined = 1;
    testing::internal::CaptureStdout();
    machine.Run(3);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "THUMB: Unrecognized opcode 0xDE00 at 0x03000000\n"
              "THUMB: Unrecognized opcode 0xB100 at 0x03000002\n"
              "THUMB: Unrecognized opcode 0xE800 at 0x03000004\n");
    EXPECT_EQ(cpu.R[15], Code + 6);

    cpu.TraceUndefined = 0;
    machine.LoadThumb(Code, {0xDE00});
    testing::internal::CaptureStdout();
    machine.Step();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(Thumb, CycleCharges) {
    // Fetch from internal work RAM: 1. External work RAM data: 6 per word,
    // 3 per halfword or byte. Single loads add one internal cycle.
    struct Case {
        const char* name;
        uint32_t at;
        uint16_t opcode;
        int32_t cycles;
    } cases[] = {
        {"alu", Code, 0x2300 /* movs r3, #0 */, 1},
        {"fetch from the cartridge", 0x08000000, 0x2300, 3},
        {"shift by register", Code, 0x4088 /* lsls r0, r1 */, 2},
        {"mul", Code, 0x4348 /* muls r0, r1 */, 5},
        {"ldr", Code, 0x5888 /* ldr r0, [r1, r2] */, 1 + 6 + 1},
        {"ldrh", Code, 0x5A88 /* ldrh r0, [r1, r2] */, 1 + 3 + 1},
        {"ldr pc-relative", Code, 0x4800 /* ldr r0, [pc, #0] */, 1 + 1 + 1},
        {"str", Code, 0x5088 /* str r0, [r1, r2] */, 1 + 6},
        {"push three", Code, 0xB505 /* push {r0, r2, lr} */, 1 + 3 * 6},
        {"pop two, no internal cycle", Code, 0xBC05 /* pop {r0, r2} */, 1 + 2 * 6},
        {"ldmia two, no internal cycle", Code, 0xC905 /* ldmia r1!, {r0, r2} */, 1 + 2 * 6},
        {"branch", Code, 0xE004 /* b */, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        machine.LoadThumb(c.at, {c.opcode});
        cpu.R[0] = cpu.R[2] = 0;
        cpu.R[1] = Data;
        cpu.R[13] = Data + 0x100;
        EXPECT_EQ(machine.Step(), c.cycles);
    }
}

TEST_F(Thumb, AHaltingStoreIsRunAgain) {
    // A store to HALTCNT with an interrupt enabled moves R15 back over the
    // store and ends the slice; the slice loop must pick up that R15.
    machine.Write16(0x04000200, 1);  // IE: vertical blank
    machine.Write16(0x04000208, 1);  // IME
    machine.LoadThumb(Code, {0x5488 /* strb r0, [r1, r2] */, 0x2301 /* movs r3, #1 */});
    cpu.R[0] = 0;
    cpu.R[1] = 0x04000300;
    cpu.R[2] = 1;
    cpu.R[3] = 0;
    cpu.Cycles = 50;
    RunThumbSlice(cpu);
    EXPECT_EQ(cpu.R[15], Code);
    EXPECT_EQ(cpu.R[3], 0u);
}
