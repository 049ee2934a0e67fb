#pragma once
// Interrupt requests. Devices raise bits in IF; an
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
inline constexpr uint16_t IrqSerial = 1u << 7;
inline constexpr uint16_t IrqDma0 = 1u << 8;  // DMA channels 0-3 use bits 8-11
inline constexpr uint16_t IrqKeypad = 1u << 12;

// Sets request bits in IF directly: nothing is re-evaluated until the next
// slice end recomputes the pending mask.
inline void RaiseInterrupt(Machine& m, uint16_t bits) { StoreIoHalf(m, Io::IF, ReadIoHalf(m, Io::IF) | bits); }

// Requested and enabled: what ends a halt.
inline uint32_t EnabledRequests(const Machine& m) { return ReadIoHalf(m, Io::IE) & ReadIoHalf(m, Io::IF); }

// IE AND IF while IME bit 0 is set, else 0: what the CPU takes.
inline uint32_t PendingInterrupts(const Machine& m) {
    if (!(ReadIoHalf(m, Io::IME) & 1)) return 0;
    return EnabledRequests(m);
}
