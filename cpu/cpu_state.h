#pragma once
// The one record of the emulated ARM7TDMI. Snapshot files store it byte for
// byte, so its layout (reserved words included) is fixed and little-endian.

#include <cstddef>
#include <cstdint>

struct CpuState {
    uint32_t CPSR;           // N31 Z30 C29 V28 ... I7 F6 T5 mode4-0
    uint32_t R[16];          // registers of the current mode; R[15] = next instruction
    uint32_t Reserved68;
    uint32_t R13_usr, R14_usr;  // User/System bank while another mode is current
    uint32_t SPSR_svc, R13_svc, R14_svc;
    uint32_t SPSR_abt, R13_abt, R14_abt;
    uint32_t SPSR_irq, R13_irq, R14_irq;
    uint32_t SPSR_und, R13_und, R14_und;  // also FIQ's and every invalid mode's R13/R14
    uint32_t SPSR_fiq;
    uint32_t Reserved132[7];
    uint32_t IrqPending;     // nonzero while an enabled interrupt waits
    uint32_t SliceLength;    // cycles granted at each normal slice start
    int32_t Cycles;          // cycles left in this slice; may go negative
    int32_t SavedCycles;     // set aside while a slice is cut short
    uint8_t SliceBreak;      // 1 while an early slice end is in progress
    uint8_t Pad177[3];
    uint32_t Reserved180;
    uint8_t TraceUndefined;  // print a line for each undefined opcode
    uint8_t Pad185[3];
};

static_assert(sizeof(CpuState) == 188);
static_assert(offsetof(CpuState, R) == 4);
static_assert(offsetof(CpuState, R) + 15 * 4 == 64);
static_assert(offsetof(CpuState, R13_usr) == 72);
static_assert(offsetof(CpuState, SPSR_svc) == 80);
static_assert(offsetof(CpuState, SPSR_abt) == 92);
static_assert(offsetof(CpuState, SPSR_irq) == 104);
static_assert(offsetof(CpuState, SPSR_und) == 116);
static_assert(offsetof(CpuState, SPSR_fiq) == 128);
static_assert(offsetof(CpuState, IrqPending) == 160);
static_assert(offsetof(CpuState, SliceLength) == 164);
static_assert(offsetof(CpuState, Cycles) == 168);
static_assert(offsetof(CpuState, SavedCycles) == 172);
static_assert(offsetof(CpuState, SliceBreak) == 176);
static_assert(offsetof(CpuState, TraceUndefined) == 184);

// Status register bits.
inline constexpr uint32_t FlagN = 1u << 31;
inline constexpr uint32_t FlagZ = 1u << 30;
inline constexpr uint32_t FlagC = 1u << 29;
inline constexpr uint32_t FlagV = 1u << 28;
inline constexpr uint32_t FlagI = 1u << 7;
inline constexpr uint32_t FlagF = 1u << 6;
inline constexpr uint32_t FlagT = 1u << 5;
inline constexpr uint32_t ModeMask = 0x1F;

// Processor modes (CPSR bits 4-0).
inline constexpr uint32_t ModeUser = 0x10;
inline constexpr uint32_t ModeFiq = 0x11;
inline constexpr uint32_t ModeIrq = 0x12;
inline constexpr uint32_t ModeSupervisor = 0x13;
inline constexpr uint32_t ModeAbort = 0x17;
inline constexpr uint32_t ModeUndefined = 0x1B;
inline constexpr uint32_t ModeSystem = 0x1F;

// A write to HALTCNT stops the CPU until an interrupt is pending. The CPU is
// "halted" by making it run the storing instruction again, once per slice;
// the scanline driver marks it woken when an enabled interrupt is requested
// (IE AND IF, whatever IME and the CPU's I flag say: a game may halt with
// interrupts masked and look at IF itself afterwards), and the next run of
// the store then completes.
enum class Halt : int32_t { Running = 0, Halted = 1, Woken = 2 };
