#pragma once
// Interrupt requests and the halted CPU. Devices raise bits in IF; an
// interrupt is pending while it is both requested (IF) and enabled (IE) and
// the master enable IME is on. The CPU only takes it at a slice end (a
// timer's interrupt ends the slice at its cycle).

#include <cstdint>

#include "machine/io_registers.h"

// IF / IE bits.
inline constexpr uint16_t IrqVblank = 1u << 0;
inline constexpr uint16_t IrqHblank = 1u << 1;
inline constexpr uint16_t IrqLineMatch = 1u << 2;
inline constexpr uint16_t IrqTimer0 = 1u << 3;  // timers 0-3 use bits 3-6
inline constexpr uint16_t IrqDma0 = 1u << 8;    // DMA channels 0-3 use bits 8-11
inline constexpr uint16_t IrqKeypad = 1u << 12;

// A write to HALTCNT stops the CPU until an interrupt is pending. The CPU is
// "halted" by making it run the storing instruction again, once per slice;
// the scanline driver marks it woken when an enabled interrupt is requested
// (IE AND IF, whatever IME and the CPU's I flag say: a game may halt with
// interrupts masked and look at IF itself afterwards), and the next run of
// the store then completes.
enum class Halt : int32_t { Running = 0, Halted = 1, Woken = 2 };
extern Halt HaltState;

// Sets request bits in IF directly: nothing is re-evaluated until the next
// slice end recomputes the pending mask.
inline void RaiseInterrupt(uint16_t bits) { StoreIoHalf(Io::IF, ReadIoHalf(Io::IF) | bits); }

// Requested and enabled: what ends a halt.
inline uint32_t EnabledRequests() { return ReadIoHalf(Io::IE) & ReadIoHalf(Io::IF); }

// IE AND IF while IME bit 0 is set, else 0: what the CPU takes.
inline uint32_t PendingInterrupts() {
    if (!(ReadIoHalf(Io::IME) & 1)) return 0;
    return EnabledRequests();
}
