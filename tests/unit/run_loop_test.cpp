// The run loop: wait states, and what happens at slice ends (early ends, the
// carried overshoot, IRQ entry, the status changes that end a slice). The
// slice-end tests run RunCpu for whole frames and stop it from the host's
// once-a-frame input poll.

#include "cpu/run_loop.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "cpu/cpu_state.h"
#include "game/game.h"
#include "machine/host.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t Code = 0x03000100;

// One frame is 228 lines of 960 + 272 cycles.
constexpr int32_t FrameCycles = 228 * (960 + 272);

TEST(WaitStates, WaitcntSetsTheCartridgeAndSramCosts) {
    // A fetch or 16-bit access pays the first-access wait of its window (3,
    // 5 and 9, or 2 when the window's bit 4, 7 or 10 is set); a 32-bit one
    // twice that. SRAM pays 5, 4, 3 or 9 by bits 0-1.
    const struct {
        uint16_t waitcnt;
        int32_t window0, window1, window2, sram;
    } cases[] = {
        {0x4016, 2, 5, 9, 3},
        {0x0491, 2, 2, 2, 4},
        {0x0003, 3, 5, 9, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.waitcnt);
        TestMachine machine;
        machine.LoadArm(Code, {0xE1C010B0});  // strh r1, [r0]
        machine.cpu.R[0] = 0x04000204;        // WAITCNT
        machine.cpu.R[1] = c.waitcnt;
        machine.Step();
        EXPECT_EQ(ReadIoHalf(Io::WAITCNT), c.waitcnt);

        machine.LoadArm(0x08000000, {0xE1A00000});  // nop (mov r0, r0)
        EXPECT_EQ(machine.Step(), 2 * c.window0);
        machine.LoadThumb(0x0A000000, {0x46C0});  // nop (mov r8, r8)
        EXPECT_EQ(machine.Step(), c.window1);
        machine.LoadArm(0x0C000000, {0xE1A00000});  // nop
        EXPECT_EQ(machine.Step(), 2 * c.window2);
        // 8-bit and 32-bit SRAM loads: fetch + access + internal cycle.
        machine.LoadArm(Code, {0xE5D10000, 0xE5910000});  // ldrb r0, [r1]; ldr r0, [r1]
        machine.cpu.R[1] = 0x0E000000;
        EXPECT_EQ(machine.Step(), 1 + c.sram + 1);
        EXPECT_EQ(machine.Step(), 1 + 2 * c.sram + 1);
    }
}

// Frame-level harness: Host.PollInput runs once per frame inside the
// scanline driver; each test gives it a plan for each poll.
struct FrameHarness {
    static inline int polls = 0;
    static inline void (*onPoll)(int poll) = nullptr;

    explicit FrameHarness(void (*plan)(int)) {
        polls = 0;
        onPoll = plan;
        Host.PollInput = [] {
            onPoll(++polls);
            return 0u;
        };
    }
    ~FrameHarness() { Host = HostInterface{}; }
};

void StopAtFirstPoll(int) { StopRequested = true; }

// Fills all of internal work RAM with "add r0, r0, #1". The region mirrors
// over 16 MB, so straight-line execution from 0x03000000 counts every
// (1-cycle) instruction in R0 for several frames.
void FillWithCounters(TestMachine& machine) {
    for (uint32_t address = 0x03000000; address < 0x03008000; address += 4)
        machine.Write32(address, 0xE2800001);  // add r0, r0, #1
}

TEST(SliceEnd, OvershootIsCarriedIntoTheNextSlice) {
    TestMachine machine;
    FillWithCounters(machine);
    machine.cpu.CPSR = ModeSystem | FlagI;
    machine.cpu.R[15] = 0x03000000;
    static int32_t cyclesAtSecondPoll;
    FrameHarness harness([](int poll) {
        if (poll == 1) {
            // The slice that just ended overshot by 3 cycles.
            Cpu.Cycles = -3;
            Cpu.R[0] = 0;
        } else {
            cyclesAtSecondPoll = Cpu.Cycles;
            StopRequested = true;
        }
    });
    RunCpu(machine.cpu);
    EXPECT_EQ(cyclesAtSecondPoll, 0);
    EXPECT_EQ(machine.cpu.R[0], uint32_t(FrameCycles - 3));
}

// A pending IRQ is taken at a slice end when I is clear; from THUMB it
// enters ARM state at the vector.
TEST(SliceEnd, IrqEntryUnlessIMasked) {
    const struct {
        uint32_t cpsr, pc;
        bool taken;
    } cases[] = {
        {FlagC | FlagT | ModeSystem, 0x08000102, true},  // R15: the next THUMB instruction
        {ModeSystem | FlagI, Code, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cpsr);
        TestMachine machine;
        machine.Write32(0x18, 0xEAFFFFFE);  // b . (in place of the BIOS vector code)
        machine.Write32(Code, 0xEAFFFFFE);  // b .
        CpuState& cpu = machine.cpu;
        cpu.CPSR = c.cpsr;
        cpu.R[15] = c.pc;
        cpu.R[13] = 0x03007F00;
        cpu.R13_irq = 0x03007FA0;
        cpu.IrqPending = 1;
        // An early end is under way: the slice continues after the entry.
        cpu.Cycles = 0;
        cpu.SavedCycles = 100;
        cpu.SliceBreak = 1;
        FrameHarness harness(StopAtFirstPoll);
        EXPECT_EQ(RunCpu(cpu), c.taken ? 0x18u : Code);
        EXPECT_EQ(cpu.CPSR, c.taken ? FlagC | FlagI | ModeIrq : c.cpsr);
        if (!c.taken) continue;
        EXPECT_EQ((std::array{cpu.SPSR_irq, cpu.R[14], cpu.R[13], cpu.R13_usr}),
                  (std::array<uint32_t, 4>{c.cpsr, 0x08000106, 0x03007FA0, 0x03007F00}));
    }
}

TEST(SliceEnd, IrqRequestedMidSliceIsTakenAfterTheStoreWithoutLosingCycles) {
    // Frame 2 starts with a store that enables IME while IE and IF are set.
    // The store completes, the IRQ is taken before the next instruction, and
    // the rest of the frame's cycles go to the counting code: no cycles are
    // lost and no extra slice is consumed by the early end.
    TestMachine machine;
    FillWithCounters(machine);
    machine.Write32(0x02000000, 0xE5812000);  // str r2, [r1]
    machine.Write32(0x18, 0xE51FF004);        // ldr pc, [pc, #-4]
    machine.Write32(0x1C, 0x03000000);
    machine.cpu.CPSR = ModeSystem | FlagI;
    machine.cpu.R[15] = 0x03000000;
    static uint32_t cpsrAtStop, spsrAtStop, r14AtStop;
    FrameHarness harness([](int poll) {
        if (poll == 1) {
            Cpu.CPSR = ModeSystem;  // I clear from here on
            Cpu.R[15] = 0x02000000;
            Cpu.R[0] = 0;
            Cpu.R[1] = 0x04000208;  // IME
            Cpu.R[2] = 1;
            Cpu.Cycles = 0;
            uint8_t* io = PageTable.Read[0x04000000 >> PageShift];
            io[0x200] = 1;  // IE: VBlank
            io[0x202] = 1;  // IF: VBlank
        } else {
            cpsrAtStop = Cpu.CPSR;
            spsrAtStop = Cpu.SPSR_irq;
            r14AtStop = Cpu.R[14];
            StopRequested = true;
        }
    });
    RunCpu(machine.cpu);
    EXPECT_EQ(cpsrAtStop & 0xFF, FlagI | ModeIrq);
    EXPECT_EQ(spsrAtStop, ModeSystem);
    EXPECT_EQ(r14AtStop, 0x02000008u);
    // str from external work RAM: 6-cycle fetch + 1-cycle I/O write;
    // ldr pc from the BIOS area: 1 + 1 + 1; every add: 1.
    EXPECT_EQ(machine.cpu.R[0], uint32_t(FrameCycles - 7 - 3));
}

// A change of mode, of THUMB state or of the I bit must end the slice at
// once, so that the run loop switches decoders and sees a newly unmasked
// interrupt; flags and F alone must not. The banking itself is checked by
// cartridges/cpu/arm_psr.s.
TEST(SliceEnd, StatusChangesThatEndTheSlice) {
    const struct {
        const char* name;
        uint32_t opcode, cpsr, r0, expectCpsr;
        bool ends;
    } cases[] = {
        {"msr cpsr_c, #0x5f: F alone", 0xE321F05F, ModeSystem, 0, FlagF | ModeSystem, false},
        {"msr cpsr_c, #0xdf: I set", 0xE321F0DF, ModeSystem, 0, FlagI | FlagF | ModeSystem, true},
        {"msr cpsr_fc, r0 in User mode: flags only", 0xE129F000, ModeUser, 0xF000001F, 0xF0000000 | ModeUser, false},
        {"msr cpsr_c, #0x12: Supervisor to IRQ", 0xE321F012, ModeSupervisor, 0, ModeIrq, true},
        {"bx r0 into THUMB", 0xE12FFF10, ModeSystem, 0x08000101, FlagT | ModeSystem, true},
        {"bx r0 staying in ARM", 0xE12FFF10, ModeSystem, 0x03000206, ModeSystem, false},
        {"subs pc, lr, #4 from IRQ into THUMB", 0xE25EF004, ModeIrq | FlagI, 0, FlagZ | FlagT | ModeSystem, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestMachine machine;
        machine.LoadArm(Code, {c.opcode});
        machine.cpu.CPSR = c.cpsr;
        machine.cpu.SPSR_irq = FlagZ | FlagT | ModeSystem;
        machine.cpu.R[0] = c.r0;
        machine.cpu.R[14] = 0x08000126;
        machine.Step();
        EXPECT_EQ(machine.cpu.CPSR, c.expectCpsr);
        EXPECT_EQ(machine.endedSliceEarly, c.ends);
    }
}

}  // namespace
