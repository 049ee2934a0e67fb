#pragma once
// The real-time clock some cartridges carry: a serial clock chip wired to
// the four-bit I/O port (GPIO) that the cartridge's ROM chip maps over its
// own bytes at 0x080000C4-0x080000C9:
//
//   0x080000C4  data: pin levels (bit 0 SCK, 1 SIO, 2 CS of the clock)
//   0x080000C6  direction: 1 = the handheld drives the pin, 0 = it reads it
//   0x080000C8  control: bit 0 set = the three registers read back; clear =
//               reads see the ROM's own bytes
//
// A transfer starts when CS goes high. On each rising edge of SCK one bit
// moves on SIO: first a command byte, most significant bit first (0110 in
// the top four bits, the register in bits 1-3, bit 0 set for a read), then
// the register's bytes, least significant bit first. The registers: 0
// reset (no bytes), 1 control (1), 2 date and time (7: year, month, day,
// day of week, hour, minute, second, all BCD), 3 time (3), 6 interrupt
// test (no bytes); the others read as 0xFF. The clock runs on the host's
// local time plus whatever offset the game sets.
//
// The handheld's CPU reads the port with its own loads straight from the
// cartridge image, so while the port reads back its value is written into
// the image's bytes 0xC4-0xC9 (and the ROM's bytes are put back when it
// stops reading back).

#include <cstdint>

// The chip and port state (the machine's RealTimeClock), stored as it lies
// in snapshot files.
struct ClockState {
    uint8_t Present;        // the cartridge has a clock
    uint8_t PortData;       // last value written to the data register
    uint8_t PortDirection;  // 1 = pin driven by the handheld
    uint8_t PortReadable;   // control bit 0
    uint8_t Pins;           // levels the handheld drove, as the chip last saw them
    uint8_t Phase;          // ClockPhase
    uint8_t Command;        // command bits received, then the command
    uint8_t BitCount;       // bits moved in the current phase
    uint8_t Output;         // the level the chip drives on SIO
    uint8_t Control;        // control register: 0x40 24-hour mode, 0x80 power failure
    uint8_t Data[7];        // the register's bytes being read or written
    uint8_t Pad[5];
    int64_t Offset;  // seconds the clock runs ahead of the host's local time
};
static_assert(sizeof(ClockState) == 32);

enum ClockPhase : uint8_t { ClockIdle, ClockCommand, ClockRead, ClockWrite, ClockDone };
inline constexpr uint8_t ClockLastPhase = ClockDone;

// While the port reads back, its value lies in the cartridge image: the
// image the port lies over, and the image's own bytes there.
inline constexpr uint32_t ClockPortBytes = 6;
struct ClockPortShadow {
    uint8_t* Rom = nullptr;
    uint8_t Bytes[ClockPortBytes] = {};
    bool Patched = false;
};

// The host's time as seconds since 1970-01-01 00:00 UTC: the machine's
// ClockHostTime, which tests replace.
int64_t SystemClockTime();

struct Machine;

inline constexpr uint32_t ClockPortAddress = 0x080000C4;
inline bool IsClockPortAddress(uint32_t address) { return address - ClockPortAddress < 6u; }

// A new cartridge (game start): no clock until the header list, the battery
// file or the game's first port access shows one; a new chip in 24-hour
// mode on the host's time; the port not reading back.
void PowerOnClock(Machine& m);

// Hardware reset: the port back to write-only with every pin an input, the
// image's own bytes under it. rom is the cartridge image the port lies over.
void ResetClockPort(Machine& m, uint8_t* rom);

// A 16-bit store to 0x080000C4-0x080000C9 (28-bit address). Byte stores do
// not reach the port.
void WriteClockPort(Machine& m, uint32_t address, uint16_t value);

// After the clock state was replaced (a snapshot load): the image's bytes
// show the port as it now is.
void RefreshClockPort(Machine& m);

// Whether a clock state (from a snapshot file) is one the chip can be in.
bool ClockStateIsValid(const ClockState& state);

// The date and time registers as they read now: year, month, day, day of
// week (0 = Sunday), hour, minute, second, in BCD.
void ReadClockDate(const Machine& m, uint8_t (&date)[7]);

// The 16 bytes battery files keep after the chip image when the cartridge
// has a clock: the date and time registers (7 bytes, BCD), the control
// register, and the host's time when it was written (64-bit seconds since
// 1970 UTC, little-endian), from which the clock's offset is found again.
inline constexpr uint32_t ClockTrailerSize = 16;
void WriteClockTrailer(const Machine& m, uint8_t* trailer, int64_t hostTime);
// Takes the clock from a trailer and marks the clock present; a date that
// is no date leaves the clock on the host's time.
void ReadClockTrailer(Machine& m, const uint8_t* trailer);
