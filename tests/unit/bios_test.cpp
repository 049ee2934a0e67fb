// The host emulation of the BIOS functions. Expected values are worked out
// by hand from the functions' definitions (the BIOS's pi of 3.1415926,
// truncation toward zero), not taken from the emulator.

#include "cpu/bios.h"

#include <gtest/gtest.h>

#include "machine/interrupts.h"

#include <initializer_list>
#include <iterator>
#include <vector>

#include "game/game.h"
#include "game/settings.h"
#include "machine/io_registers.h"
#include "tests/support/test_machine.h"

namespace {

class Bios : public testing::Test {
protected:
    TestMachine machine;
    CpuState& cpu = machine.cpu;

    void SetUp() override { BiosLoaded = false; }

    void Call(uint32_t number, std::initializer_list<uint32_t> registers) {
        uint32_t index = 0;
        for (uint32_t value : registers) cpu.R[index++] = value;
        BiosCall(cpu, number);
    }

    void WriteBytes(uint32_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t byte : bytes) machine.Write8(address++, byte);
    }

    std::vector<uint8_t> ReadBytes(uint32_t address, int count) {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < count; ++i) bytes.push_back(machine.Read8(address + i));
        return bytes;
    }

    void Fill(uint32_t address, int count, uint8_t value) {
        for (int i = 0; i < count; ++i) machine.Write8(address + i, value);
    }
};

TEST_F(Bios, DivisionTruncatesTowardZeroWithTheNumeratorsSign) {
    const struct {
        const char* name;
        uint32_t number;  // 6 = Div (R0 / R1), 7 = DivArm (R1 / R0)
        int32_t r0, r1, quotient, remainder;
        uint32_t r3;  // |quotient|; 0xBBBB when nothing changes
    } cases[] = {
        {"Div -7/2", 6, -7, 2, -3, -1, 3},
        {"Div 7/-2", 6, 7, -2, -3, 1, 3},
        {"Div -7/-2", 6, -7, -2, 3, -1, 3},
        {"DivArm 7/2", 7, 2, 7, 3, 1, 3},
        {"DivArm -100/7", 7, 7, -100, -14, -2, 14},
        // The one quotient that does not fit wraps instead of trapping.
        {"Div MIN/-1", 6, INT32_MIN, -1, INT32_MIN, 0, 0x80000000u},
        {"DivArm MIN/-1", 7, -1, INT32_MIN, INT32_MIN, 0, 0x80000000u},
        {"Div by 0", 6, 5, 0, 5, 0, 0xBBBB},
        {"DivArm by 0", 7, 0, 5, 0, 5, 0xBBBB},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Call(c.number, {uint32_t(c.r0), uint32_t(c.r1), 0xAAAA, 0xBBBB});
        EXPECT_EQ(int32_t(cpu.R[0]), c.quotient);
        EXPECT_EQ(int32_t(cpu.R[1]), c.remainder);
        EXPECT_EQ(cpu.R[2], 0xAAAAu);
        EXPECT_EQ(cpu.R[3], c.r3);
    }
}

TEST_F(Bios, SqrtTruncatesForSquaresAndNonSquares) {
    const uint32_t values[] = {0, 2, 15, 16, 65535, 65536, 0x3FFFFFFF, 0xFFFE0001, 0xFFFE0000, 0xFFFFFFFF};
    const uint32_t roots[] = {0, 1, 3, 4, 255, 256, 32767, 65535, 65534, 0xFFFF};
    for (size_t i = 0; i < std::size(values); ++i) {
        SCOPED_TRACE(values[i]);
        Call(8, {values[i], 0x11, 0x22, 0x33});
        EXPECT_EQ(cpu.R[0], roots[i]);
        EXPECT_EQ(cpu.R[1], 0x11u);
        EXPECT_EQ(cpu.R[3], 0x33u);
    }
}

TEST_F(Bios, ArcTanAndArcTan2GiveBiosAngles) {
    const struct {
        uint32_t number, r0, r1, angle;
    } cases[] = {
        {9, 0x0000, 0, 0},
        {9, 0x4000, 0, 8191},            // atan 1 = pi/4: 8191.75
        {9, 0xC000, 0, 0xE001},          // atan -1: -8191 as 16 bits
        {9, 0x2000, 0, 4835},            // atan 0.5 = 0.46364761: 4835.8
        {9, 0xFFFF4000, 0, 8191},        // only the low 16 bits count
        {10, 0x4000, 0x0000, 0},         // x in R0, y in R1
        {10, 0x4000, 0x4000, 8191},      // pi/4
        {10, 0xC000, 0x0000, 32767},     // pi: 32767.0006
        {10, 0x4000, 0xC000, 0xE001},    // -pi/4
        {10, 0xC000, 0xC000, 0xA001},    // -3pi/4: -24575.25
        {10, 0x2000, 0x4000, 0x2D1B},    // atan2(1, 0.5) = 1.1071487: 11547.6
        {10, 0x10000, 0x4000, 0x10000},  // on the y axis R0 is left alone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number << ": " << c.r0 << "," << c.r1);
        Call(c.number, {c.r0, c.r1});
        EXPECT_EQ(cpu.R[0], c.angle);
    }
}

TEST_F(Bios, CpuSetCopiesOrFillsHalfwordsOrWords) {
    const struct {
        const char* name;
        uint32_t source, control;
        std::vector<uint16_t> expected;  // the first five halfwords at the destination
    } cases[] = {
        {"copy 3 halfwords", 0x02000001, 0x00000003, {0x1111, 0x2222, 0x3333, 0xEEEE, 0xEEEE}},
        {"fill 3 halfwords", 0x02000000, 0x01000003, {0x1111, 0x1111, 0x1111, 0xEEEE, 0xEEEE}},
        {"copy 2 words", 0x02000002, 0x04000002, {0x1111, 0x2222, 0x3333, 0x4444, 0xEEEE}},
        {"fill 2 words", 0x02000000, 0x05000002, {0x1111, 0x2222, 0x1111, 0x2222, 0xEEEE}},
        {"count 0", 0x02000000, 0x04000000, {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE}},
        {"count is 16 bits", 0x02000000, 0x04010001, {0x1111, 0x2222, 0xEEEE, 0xEEEE, 0xEEEE}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (uint32_t i = 0; i < 5; ++i) {
            machine.Write16(0x02000000 + 2 * i, uint16_t(0x1111 * (i + 1)));
            machine.Write16(0x02000100 + 2 * i, 0xEEEE);
        }
        Call(0x0B, {c.source, 0x02000101, c.control});
        for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(machine.Read16(0x02000100 + 2 * i), c.expected[i]) << i;
    }
}

TEST_F(Bios, CpuFastSetMovesExactlyTheCountOfWords) {
    for (uint32_t i = 0; i < 5; ++i) {
        machine.Write32(0x03000000 + 4 * i, 0x01010101 * (i + 1));
        machine.Write32(0x06000000 + 4 * i, 0xEEEEEEEE);
        machine.Write32(0x06000100 + 4 * i, 0xEEEEEEEE);
    }
    Call(0x0C, {0x03000000, 0x06000000, 3});
    EXPECT_EQ(machine.Read32(0x06000008), 0x03030303u);
    EXPECT_EQ(machine.Read32(0x0600000C), 0xEEEEEEEEu);

    Call(0x0C, {0x03000004, 0x06000100, 0x01000002});  // fill
    EXPECT_EQ(machine.Read32(0x06000104), 0x02020202u);
    EXPECT_EQ(machine.Read32(0x06000108), 0xEEEEEEEEu);
}

TEST_F(Bios, BgAffineSetWritesMatrixAndReferencePoint) {
    // Entry 1: centre (256.0, 128.0) on screen pixel (120, 80), no rotation
    // or scaling: the top-left pixel shows (256 - 120, 128 - 80).
    machine.Write32(0x02000000, 0x00010000);
    machine.Write32(0x02000004, 0x00008000);
    machine.Write16(0x02000008, 120);
    machine.Write16(0x0200000A, 80);
    machine.Write16(0x0200000C, 0x0100);
    machine.Write16(0x0200000E, 0x0100);
    machine.Write16(0x02000010, 0);
    // Entry 2: centre (0, 0) on pixel (10, 20), scales of 0 (meaning 1.0), a
    // quarter turn. The BIOS's pi is a little short, so the sine stops just
    // above -1 and 256 x sine truncates to -255; the cosine term gives 0.
    machine.Write32(0x02000014, 0);
    machine.Write32(0x02000018, 0);
    machine.Write16(0x0200001C, 10);
    machine.Write16(0x0200001E, 20);
    machine.Write32(0x02000020, 0);
    machine.Write16(0x02000024, 0x4000);

    Call(0x0E, {0x02000000, 0x02000100, 2});

    const uint16_t matrices[] = {0x0100, 0, 0, 0x0100, 0, uint16_t(-255), 255, 0};
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(machine.Read16(0x02000100 + 16 * (i / 4) + 2 * (i % 4)), matrices[i]);
    EXPECT_EQ(machine.Read32(0x02000108), 0x00008800u);      // 0x10000 - 120 x 256
    EXPECT_EQ(machine.Read32(0x0200010C), 0x00003000u);      // 0x8000 - 80 x 256
    EXPECT_EQ(machine.Read32(0x02000118), 5100u);            // -20 x -255
    EXPECT_EQ(machine.Read32(0x0200011C), uint32_t(-2550));  // -10 x 255
}

TEST_F(Bios, ObjAffineSetSpreadsParametersByTheStride) {
    // OAM keeps one parameter in every fourth halfword: stride 8. Entry 2 is
    // double size turned by an eighth: 512 x cos 45deg = 362.03.
    const uint16_t source[] = {0x0100, 0x0100, 0, 0, 0x0200, 0x0200, 0x2000, 0};
    for (uint32_t i = 0; i < 8; ++i) machine.Write16(0x02000000 + 2 * i, source[i]);
    machine.Write16(0x07000000, 0xAAAA);

    Call(0x0F, {0x02000000, 0x07000006, 2, 8});

    const uint16_t expected[] = {256, 0, 0, 256, 362, uint16_t(-362), 362, 362};
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(machine.Read16(0x07000006 + 8 * i), expected[i]) << i;
    EXPECT_EQ(machine.Read16(0x07000000), 0xAAAA);
}

TEST_F(Bios, Lz77RepeatsBytesThroughOverlappingReferences) {
    // Literal 'A', then a reference one byte back of length 18 (0xF000).
    WriteBytes(0x02000000, {0x10, 19, 0, 0, 0x40, 'A', 0xF0, 0x00});
    Fill(0x02001000, 24, 0xEE);
    cpu.Cycles = 500;
    Call(0x11, {0x02000000, 0x02001000});
    EXPECT_EQ(ReadBytes(0x02001000, 19), std::vector<uint8_t>(19, 'A'));
    EXPECT_EQ(machine.Read8(0x02001013), 0xEE);
    EXPECT_EQ(cpu.Cycles, 0);  // the call uses up the slice

    // "ABC", a reference 3 back of length 4 (0x1002), then 'Z'; with a size
    // of 6 the reference is cut short.
    WriteBytes(0x02000000, {0x10, 8, 0, 0, 0x10, 'A', 'B', 'C', 0x10, 0x02, 'Z'});
    Fill(0x06000000, 12, 0xEE);
    Call(0x12, {0x02000000, 0x06000000});
    EXPECT_EQ(ReadBytes(0x06000000, 9), (std::vector<uint8_t>{'A', 'B', 'C', 'A', 'B', 'C', 'A', 'Z', 0xEE}));
    machine.Write8(0x02000001, 6);
    Fill(0x06000000, 12, 0xEE);
    Call(0x12, {0x02000000, 0x06000000});
    EXPECT_EQ(ReadBytes(0x06000000, 7), (std::vector<uint8_t>{'A', 'B', 'C', 'A', 'B', 'C', 0xEE}));
}

TEST_F(Bios, RunLengthExpandsRunsAndLiterals) {
    // A run of 5 x 0x77 (flag 0x82), then two literals (flag 0x01).
    WriteBytes(0x02000000, {0x30, 7, 0, 0, 0x82, 0x77, 0x01, 0x12, 0x34});
    Fill(0x02001000, 8, 0xEE);
    Call(0x14, {0x02000000, 0x02001000});
    EXPECT_EQ(ReadBytes(0x02001000, 8), (std::vector<uint8_t>{0x77, 0x77, 0x77, 0x77, 0x77, 0x12, 0x34, 0xEE}));

    machine.Write8(0x02000001, 3);
    Fill(0x02001000, 8, 0xEE);
    Call(0x15, {0x02000000, 0x02001000});
    EXPECT_EQ(ReadBytes(0x02001000, 4), (std::vector<uint8_t>{0x77, 0x77, 0x77, 0xEE}));
}

TEST_F(Bios, HuffmanDecodesUnitsIntoWholeWords) {
    // A three-symbol tree: the root's 0-child is data, its 1-child a node
    // whose children are both data. Codes 0, 10, 11. Tree size 3 makes an
    // 8-byte table, so the stream starts word-aligned at 0x0200000C.
    const struct {
        const char* name;
        uint8_t bits, size, symbols[3];
        uint32_t stream;
        uint32_t expected[2];
    } cases[] = {
        {"bytes ABCA", 8, 4, {'A', 'B', 'C'}, 0x58000000, {0x41434241, 0xEEEEEEEE}},
        // A size of 5 rounds up to two words.
        {"bytes ABCACBBA", 8, 5, {'A', 'B', 'C'}, 0x5BA00000, {0x41434241, 0x41424243}},
        {"nibbles 12F11112", 4, 4, {0x1, 0x2, 0xF}, 0x58400000, {0x21111F21, 0xEEEEEEEE}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(0x02000000, {uint8_t(0x20 | c.bits), c.size, 0, 0, 3, 0x80, c.symbols[0], 0xC0, c.symbols[1],
                                c.symbols[2], 0, 0});
        machine.Write32(0x0200000C, c.stream);
        machine.Write32(0x02001000, 0xEEEEEEEE);
        machine.Write32(0x02001004, 0xEEEEEEEE);
        Call(0x13, {0x02000000, 0x02001000});
        EXPECT_EQ(machine.Read32(0x02001000), c.expected[0]);
        EXPECT_EQ(machine.Read32(0x02001004), c.expected[1]);
        EXPECT_EQ(cpu.Cycles, 0);
    }
}

TEST_F(Bios, MalformedCompressedDataIsHarmless) {
    machine.Write32(0x02001000, 0xEEEEEEEE);
    // A run-length header given to the LZ77 function: nothing, and the
    // slice goes on.
    WriteBytes(0x02000000, {0x30, 4, 0, 0, 0x00, 0x55});
    cpu.Cycles = 500;
    Call(0x11, {0x02000000, 0x02001000});
    EXPECT_EQ(machine.Read32(0x02001000), 0xEEEEEEEEu);
    EXPECT_GT(cpu.Cycles, 0);
    // An all-zero Huffman tree never reaches data; the call must return.
    WriteBytes(0x02000000, {0x28, 4, 0, 0});
    Fill(0x02000004, 64, 0);
    Call(0x13, {0x02000000, 0x02001000});
    EXPECT_EQ(machine.Read32(0x02001000), 0xEEEEEEEEu);
}

TEST_F(Bios, RegisterRamResetClearsTheChosenMemories) {
    const uint32_t cleared[] = {0x02000000, 0x0203FFFC, 0x03000000, 0x03007DFC,
                                0x050003FC, 0x06000000, 0x06017FFC, 0x070003FC};
    for (uint32_t address : cleared) machine.Write32(address, 0x12345678);
    machine.Write32(0x03007E00, 0x12345678);
    cpu.R[15] = 0x08000100;

    Call(0x01, {0x04});  // palette only
    EXPECT_EQ(machine.Read32(0x050003FC), 0u);
    EXPECT_EQ(machine.Read32(0x06000000), 0x12345678u);

    Call(0x01, {0xFF});
    for (uint32_t address : cleared) EXPECT_EQ(machine.Read32(address), 0u) << std::hex << address;
    // The stacks and the BIOS variables survive.
    EXPECT_EQ(machine.Read32(0x03007E00), 0x12345678u);
    EXPECT_EQ(machine.Read32(0x03007FFC), 0x28u);
    EXPECT_EQ(cpu.R[15], 0x08000100u);
}

TEST_F(Bios, SoftResetRestartsWhereTheGameWasStarted) {
    machine.LoadThumb(0x08000200, {0xDF00});
    cpu.R[5] = 0x55;
    Call(0x00, {0x00});
    EXPECT_EQ(cpu.R[15], 0x08000000u);
    EXPECT_EQ(cpu.R[5], 0u);
    EXPECT_EQ(cpu.CPSR, 0xD3u);
    EXPECT_TRUE(cpu.SliceBreak);  // leaving THUMB state takes effect at once

    machine.Write8(0x03007FFA, 1);  // started from external work RAM
    machine.LoadThumb(0x08000200, {0xDF00});
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x02000000u);
}

TEST_F(Bios, HaltWaitsOnlyWhenAnInterruptCanWakeTheCpu) {
    machine.LoadArm(0x08000000, {0xEF000002});
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000004u);  // IME off: returns at once

    StoreIoHalf(0x208, 1);  // IME
    StoreIoHalf(0x200, 1);  // IE: vertical blank
    machine.LoadArm(0x08000000, {0xEF000002});
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000000u);  // the SWI runs again
}

// The waits watch the check word at 0x03007FF8 that interrupt handlers
// update, so another interrupt does not end a wait for the vertical blank.
TEST_F(Bios, VBlankIntrWaitWaitsThroughOtherInterrupts) {
    StoreIoHalf(0x200, 0x0009);  // IE: vertical blank and timer 0
    machine.Write16(0x03007FF8, 0x0001);  // a stale vertical blank flag
    machine.LoadArm(0x08000000, {0xEF000005});
    machine.Step();
    EXPECT_EQ(ReadIoHalf(0x208), 1);              // IME switched on
    EXPECT_EQ(machine.Read16(0x03007FF8), 0u);     // the stale flag discarded
    EXPECT_EQ(cpu.R[15], 0x08000000u);             // halted on the SWI
    EXPECT_EQ(HaltState, Halt::Halted);

    // A timer interrupt wakes the CPU; its handler marks only timer 0.
    machine.Write16(0x03007FF8, 0x0008);
    HaltState = Halt::Woken;
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000000u);  // halts again
    EXPECT_EQ(HaltState, Halt::Halted);

    // The vertical blank handler marks its flag: the wait completes and
    // consumes only that flag.
    machine.Write16(0x03007FF8, 0x0009);
    HaltState = Halt::Woken;
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000004u);
    EXPECT_EQ(HaltState, Halt::Running);
    EXPECT_EQ(machine.Read16(0x03007FF8), 0x0008);
}

TEST_F(Bios, IntrWaitKeepsOrDiscardsOldFlagsByR0) {
    StoreIoHalf(0x200, 0x0004);  // IE: vertical count
    // R0 = 0: a flag already set ends the wait at once and is consumed.
    machine.Write16(0x03007FF8, 0x0005);
    machine.LoadThumb(0x08000000, {0xDF04});
    cpu.R[0] = 0;
    cpu.R[1] = 0x0004;
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000002u);
    EXPECT_EQ(machine.Read16(0x03007FF8), 0x0001);

    // R0 = 1: old flags are discarded first, so the CPU halts.
    machine.Write16(0x03007FF8, 0x0004);
    machine.LoadThumb(0x08000000, {0xDF04});
    cpu.R[0] = 1;
    machine.Step();
    EXPECT_EQ(cpu.R[15], 0x08000000u);
    EXPECT_EQ(machine.Read16(0x03007FF8), 0u);
}

TEST_F(Bios, SwiNumberIsTheWholeCommentFieldInArmState) {
    machine.LoadArm(0x08000000, {0xEF060000, 0xEF000006});
    cpu.R[0] = uint32_t(-7);
    cpu.R[1] = 2;
    machine.Step();  // swi 0x060000: no function
    EXPECT_EQ(cpu.R[0], uint32_t(-7));
    machine.Step();  // swi 6: Div
    EXPECT_EQ(cpu.R[0], uint32_t(-3));

    machine.LoadThumb(0x08000000, {0xDF06});
    cpu.R[0] = 100;
    cpu.R[1] = 7;
    machine.Step();
    EXPECT_EQ(cpu.R[0], 14u);
}

TEST_F(Bios, WithABiosImageSwiEntersSupervisorModeAtTheVector) {
    BiosLoaded = true;
    cpu.CPSR = 0x1F;  // System mode, interrupts enabled
    machine.LoadArm(0x08000000, {0xEF000006});
    cpu.R[0] = 7;
    cpu.R[1] = 2;
    machine.Step();
    BiosLoaded = false;
    EXPECT_EQ(cpu.CPSR & 0xFF, 0x13u);
    EXPECT_EQ(cpu.R[15], 0x08u);
    EXPECT_EQ(cpu.R[14], 0x08000004u);
    EXPECT_EQ(cpu.SPSR_svc, 0x1Fu);
    EXPECT_EQ(cpu.R[0], 7u);
}

TEST_F(Bios, TraceLinesNameTheFunctionAndItsArguments) {
    machine.Write32(0x02000000, 0x00000010);  // an empty LZ77 block
    const struct {
        uint32_t number;
        std::vector<uint32_t> registers;
        const char* line;
    } cases[] = {
        {0x06, {uint32_t(-7), 2}, "BIOS #0x06: Div(-7,2)\n"},
        {0x0A, {0x4000, 0xE000}, "BIOS #0x0A: ArcTan2(1.000000,-0.500000)\n"},
        {0x0B,
         {0x02000000, 0x02000100, 0x05000004},
         "BIOS #0x0B: CPUSet(0x02000000,0x02000100,0x05000004)\n"
         "CPUSet: 02000000-02000000 -> 02000100-0200010C (32bit)\n"},
        {0x0C,
         {0x02000000, 0x02000100, 3},
         "BIOS #0x0C: CPUFastSet(0x02000000,0x02000100,0x00000003)\n"
         "CPUFastSet: 02000000-02000008 -> 02000100-02000108 (32bit)\n"},
        {0x12, {0x02000000, 0x06000000}, "BIOS #0x12: LZ77UnCompVRAM(0x02000000,0x06000000)\n"},
        {0x1F, {0x03001000, 60, 0}, "BIOS #0x1F: MIDIKey2Freq(0x03001000,60,0)\n"},
        {0x04, {0, 0}, ""},  // IntrWait has no trace
        {0x0D, {}, "ARM: Called SWI #0x0D at PC=0x08000004\n"},
        {0x060000, {}, "ARM: Called SWI #0x60000 at PC=0x08000004\n"},
    };
    const uint32_t savedVerbose = Verbose;
    Verbose = VerboseBios;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        for (uint32_t i = 0; i < 4; ++i) cpu.R[i] = i < c.registers.size() ? c.registers[i] : 0;
        cpu.R[15] = 0x08000004;
        testing::internal::CaptureStdout();
        BiosCall(cpu, c.number);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
    }
    Verbose = 0;
    testing::internal::CaptureStdout();
    Call(0x06, {1, 1});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    Verbose = savedVerbose;
}

}  // namespace
