#include "cpu/bios.h"

#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "cpu/bios_decompress.h"
#include "cpu/modes.h"
#include "cpu/run_loop.h"
#include "game/game.h"
#include "game/settings.h"
#include "machine/bus.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/open_bus.h"

namespace {

// The angle and fixed-point units of the BIOS functions. Pi is deliberately
// the short 3.1415926, and results depend on it: a quarter turn's sine stays
// just above -1, so a truncated matrix entry comes out one unit smaller than
// with a precise pi.
constexpr double BiosPi = 3.1415926;
constexpr double Fixed14 = 1.0 / 16384;    // 1.14 fixed point to real
constexpr double AngleUnit = 1.0 / 32768;  // 0x10000 = a full turn

// HALTCNT is the high byte of the halfword at 0x300 (POSTFLG is the low one).
constexpr uint32_t HaltcntAddress = 0x04000000 + Io::HALTCNT + 1;

bool Tracing(const Machine& m) { return m.Verbose & VerboseBios; }

int32_t SignExtend16(uint32_t value) { return int16_t(uint16_t(value)); }

// Zeroes a bus range page by page through the write map, so the clear can
// never run past the host block behind a page.
void ClearBusRange(Machine& m, uint32_t base, uint32_t length) {
    while (length > 0) {
        const uint32_t inPage = base & (PageSize - 1);
        const uint32_t chunk = length < PageSize - inPage ? length : PageSize - inPage;
        std::memset(m.PageTable.Write[base >> PageShift] + inPage, 0, chunk);
        base += chunk;
        length -= chunk;
    }
}

// A store to HALTCNT: with an enabled interrupt possible, the register write
// moves R15 back over the SWI and ends the slice, so the SWI runs again until
// an interrupt is pending; then it completes once.
void WaitForInterrupt(Machine& m, uint8_t haltcnt) { BusWrite8(m, HaltcntAddress, haltcnt); }

// Clears the memories chosen by the flag bits of RegisterRamReset: 0x01
// external work RAM, 0x02 internal work RAM, 0x04 palette RAM, 0x08 VRAM,
// 0x10 OAM. The top 0x200 bytes of internal work RAM hold the stacks and
// the BIOS variables (the interrupt handler pointer among them) and are
// kept.
void ClearMemories(Machine& m, uint32_t which) {
    if (which & 0x01) ClearBusRange(m, 0x02000000, 256 * 1024);
    if (which & 0x02) ClearBusRange(m, 0x03000000, 0x7E00);
    if (which & 0x04) ClearBusRange(m, 0x05000000, PageSize);
    if (which & 0x08) ClearBusRange(m, 0x06000000, 96 * 1024);
    if (which & 0x10) ClearBusRange(m, 0x07000000, PageSize);
}

// SoftReset restarts the game where it was started from: the BIOS keeps a
// flag at 0x03007FFA saying whether that was external work RAM (multiboot)
// or the cartridge. It clears the top 0x200 bytes of internal work RAM and
// hands over as at power-on, in System mode with fresh stacks. R0 chooses
// nothing here (RegisterRamReset takes the flags).
void SoftReset(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    const uint32_t restart = PeekByte(m.PageTable, 0x03007FFA) ? 0x02000000 : 0x08000000;
    if (Tracing(m)) std::printf("BIOS #0x%02X: SoftReset(0x%08X)\n", function, cpu.R[0]);
    ClearBusRange(m, 0x03007E00, 0x200);
    ResetInterruptHandlerPointer(m);
    ResetCpu(cpu);
    EnterHandOverState(cpu, restart);
    // ResetCpu puts CPSR in ARM state directly. Called from THUMB code, the
    // THUMB loop would go on decoding the ARM restart code for the rest of
    // the slice; cutting the slice short makes the run loop pick the ARM
    // decoder before the next instruction.
    EndSliceEarly(cpu);
}

// Flag bits 5-7 of RegisterRamReset put registers back as at power-on,
// through the register write path so that the state derived from them
// follows: 0x20 the serial port (left in general-purpose mode), 0x40 the
// sound registers (the FIFOs and SOUNDBIAS aside), 0x80 all others: the
// display (forced blank, identity rotation), DMA, timers, the keypad
// interrupt, interrupt control and the wait states.
void ResetRegisters(Machine& m, uint32_t which) {
    const auto write = [&m](uint32_t offset, uint16_t value) { BusWrite16(m, 0x04000000 + offset, value); };
    const auto clear = [&write](uint32_t first, uint32_t end) {
        for (uint32_t offset = first; offset < end; offset += 2) write(offset, 0);
    };
    if (which & 0x20) {
        clear(0x120, 0x12C);   // serial data and SIOCNT
        write(0x134, 0x8000);  // RCNT: general-purpose mode
        clear(0x140, 0x15C);   // JOY bus
    }
    if (which & 0x40) {
        clear(Io::SOUND1CNT_L, Io::SOUNDBIAS);
        clear(Io::SOUNDBIAS + 2, Io::FIFO_A);
    }
    if (which & 0x80) {
        write(Io::DISPCNT, 0x0080);
        clear(Io::DISPSTAT, Io::SOUND1CNT_L);
        for (uint32_t matrix : {Io::BG2PA, Io::BG3PA}) {
            write(matrix, 0x0100);
            write(matrix + 6, 0x0100);
        }
        clear(Io::DMA0SAD, Io::DMA0SAD + 48);
        clear(Io::TM0CNT_L, Io::TM0CNT_L + 16);
        write(Io::KEYCNT, 0);
        write(Io::IME, 0);
        write(Io::IE, 0);
        write(Io::IF, 0xFFFF);
        write(Io::WAITCNT, 0);
    }
}

void RegisterRamReset(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: RegisterRAMReset(0x%08X)\n", function, cpu.R[0]);
    ClearMemories(m, cpu.R[0]);
    ResetRegisters(m, cpu.R[0]);
}

// HardReset reboots the handheld. Without a BIOS image there is no start-up
// animation: every memory is cleared and the cartridge starts as at
// power-on.
void HardReset(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: HardReset()\n", function);
    ClearMemories(m, 0x1F);
    ClearBusRange(m, 0x03007E00, 0x200);
    ResetHardware(m);
    EndSliceEarly(cpu);
}

void Halt(Machine& m, uint32_t function) {
    if (Tracing(m)) std::printf("BIOS #0x%02X: Halt()\n", function);
    WaitForInterrupt(m, 0x00);
}

void Stop(Machine& m, uint32_t function) {
    if (Tracing(m)) std::printf("BIOS #0x%02X: Stop()\n", function);
    WaitForInterrupt(m, 0x80);
}

// CustomHalt writes the low byte of R2 to HALTCNT: 0x00 halts, 0x80 stops.
void CustomHalt(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: CustomHalt(0x%02X)\n", function, cpu.R[2] & 0xFF);
    WaitForInterrupt(m, uint8_t(cpu.R[2]));
}

// The BIOS's own interrupt check word in internal work RAM: game interrupt
// handlers OR the flags they have serviced into it, and the waiting
// functions watch it rather than IF, so that an unrelated interrupt (a
// timer, HBlank, serial) does not end a wait for the vertical blank.
constexpr uint32_t InterruptCheckAddress = 0x03007FF8;

// Waits until one of the `wanted` flags appears in the check word, halting
// in between. Each wake-up runs the SWI again: a run whose flags are still
// missing halts again instead of completing. The first run is the one that
// finds the CPU not halted, since every later run comes from the halt
// protocol moving R15 back over the SWI.
void WaitForCheckFlags(Machine& m, bool discardOld, uint16_t wanted) {
    if (m.HaltState == Halt::Running) {
        BusWrite16(m, 0x04000000 + Io::IME, 1);
        if (discardOld) BusWrite16(m, InterruptCheckAddress, BusRead16(m, InterruptCheckAddress) & uint16_t(~wanted));
    }
    const uint16_t flags = BusRead16(m, InterruptCheckAddress);
    if (m.HaltState == Halt::Woken) m.HaltState = Halt::Running;
    if (flags & wanted) {
        BusWrite16(m, InterruptCheckAddress, flags & uint16_t(~wanted));
        return;
    }
    WaitForInterrupt(m, 0x00);
}

void IntrWait(Machine& m, uint32_t) {
    CpuState& cpu = m.Cpu;
    WaitForCheckFlags(m, cpu.R[0] != 0, uint16_t(cpu.R[1]));
}

void VBlankIntrWait(Machine& m, uint32_t) { WaitForCheckFlags(m, true, IrqVblank); }

// Signed division truncated toward zero: R0 = quotient, R1 = remainder (with
// the numerator's sign), R3 = |quotient|. Division by zero changes nothing.
// The one quotient that does not fit, 0x80000000 / -1, wraps to 0x80000000
// with remainder 0, as the two's complement arithmetic gives it.
void Divide(Machine& m, int32_t numerator, int32_t denominator) {
    CpuState& cpu = m.Cpu;
    if (denominator == 0) return;
    int32_t quotient = INT32_MIN;
    int32_t remainder = 0;
    if (numerator != INT32_MIN || denominator != -1) {
        quotient = numerator / denominator;
        remainder = numerator % denominator;
    }
    cpu.R[0] = uint32_t(quotient);
    cpu.R[1] = uint32_t(remainder);
    cpu.R[3] = quotient < 0 ? 0u - uint32_t(quotient) : uint32_t(quotient);
}

void Div(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: Div(%d,%d)\n", function, int32_t(cpu.R[0]), int32_t(cpu.R[1]));
    Divide(m, int32_t(cpu.R[0]), int32_t(cpu.R[1]));
}

void DivArm(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: DivARM(%d,%d)\n", function, int32_t(cpu.R[0]), int32_t(cpu.R[1]));
    Divide(m, int32_t(cpu.R[1]), int32_t(cpu.R[0]));
}

void Sqrt(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: Sqrt(%u)\n", function, cpu.R[0]);
    // Bit by bit, exact for every 32-bit value.
    uint32_t remaining = cpu.R[0];
    uint32_t root = 0;
    for (uint32_t place = 1u << 30; place != 0; place >>= 2) {
        if (remaining >= root + place) {
            remaining -= root + place;
            root = (root >> 1) + place;
        } else {
            root >>= 1;
        }
    }
    cpu.R[0] = root & 0xFFFF;
}

// An angle in radians as the BIOS's 16-bit angle: 0x8000 per pi, truncated
// toward zero, negative angles wrapping to 0x8000-0xFFFF.
uint32_t BiosAngle(double radians) { return uint32_t(int32_t(radians * 32767 / BiosPi)) & 0xFFFF; }

void ArcTan(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    const double x = SignExtend16(cpu.R[0]) * Fixed14;
    if (Tracing(m)) std::printf("BIOS #0x%02X: ArcTan(%f)\n", function, x);
    cpu.R[0] = BiosAngle(std::atan(x));
}

void ArcTan2(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    const int32_t x = SignExtend16(cpu.R[0]);
    const int32_t y = SignExtend16(cpu.R[1]);
    if (Tracing(m)) std::printf("BIOS #0x%02X: ArcTan2(%f,%f)\n", function, x * Fixed14, y * Fixed14);
    if (x == 0) return;
    cpu.R[0] = BiosAngle(std::atan2(double(y), double(x)));
}

// The BIOS guards its own ROM: the copy functions do nothing at all when
// their source lies in the BIOS area (below external work RAM).
bool SourceInBios(uint32_t source) { return (source & 0x0E000000) == 0; }

// CpuSet and CpuFastSet copy (step = unit) or fill (step 0) `count` units
// of 2 or 4 bytes through the bus (a source in static RAM reads each byte
// repeated, as its 8-bit bus gives it), both addresses wrapping within the
// bus's 28 bits.
void MoveUnits(Machine& m, const char* name, uint32_t source, uint32_t destination, uint32_t count, uint32_t unit,
               uint32_t step) {
    if (count == 0) return;
    if (Tracing(m))
        std::printf("%s: %08X-%08X -> %08X-%08X (%dbit)\n", name, source, source + (count - 1) * step, destination,
                    destination + (count - 1) * unit, int(8 * unit));
    const uint32_t addressMask = BusMask & ~(unit - 1);
    for (uint32_t i = 0; i < count; ++i) {
        if (unit == 4)
            BusWrite32(m, destination, BusRead32(m, source));
        else
            BusWrite16(m, destination, BusRead16(m, source));
        destination = (destination + unit) & addressMask;
        source = (source + step) & addressMask;
    }
}

void CpuSet(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: CPUSet(0x%08X,0x%08X,0x%08X)\n", function, cpu.R[0], cpu.R[1], cpu.R[2]);
    if (SourceInBios(cpu.R[0])) return;
    const uint32_t control = cpu.R[2];
    const uint32_t unit = (control & (1u << 26)) ? 4 : 2;
    const uint32_t step = (control & (1u << 24)) ? 0 : unit;
    MoveUnits(m, "CPUSet", cpu.R[0] & ~(unit - 1), cpu.R[1] & ~(unit - 1), control & 0xFFFF, unit, step);
}

// The hardware copies in blocks of eight words and so rounds the count up;
// here exactly the count of words moves.
void CpuFastSet(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m))
        std::printf("BIOS #0x%02X: CPUFastSet(0x%08X,0x%08X,0x%08X)\n", function, cpu.R[0], cpu.R[1], cpu.R[2]);
    if (SourceInBios(cpu.R[0])) return;
    const uint32_t step = (cpu.R[2] & (1u << 24)) ? 0 : 4;
    MoveUnits(m, "CPUFastSet", cpu.R[0] & 0x0FFFFFFC, cpu.R[1] & 0x0FFFFFFC, cpu.R[2] & 0xFFFF, 4, step);
}

// The sum of the BIOS ROM's words, which games check to tell the handheld
// models apart; this is the value of the Game Boy Advance's BIOS.
void GetBiosChecksum(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: GetBiosChecksum()\n", function);
    cpu.R[0] = 0xBAAE187F;
}

// The rotation-scaling matrix of scales sx, sy (8.8) and a BIOS angle, as the
// four 8.8 parameters PA, PB, PC, PD. A scale of 0 means 1.0.
struct AffineMatrix {
    int32_t pa, pb, pc, pd;
};

// The affine helpers take any count. On the hardware a huge count keeps the
// BIOS busy for as long as it takes; here one call must not hold the
// emulator where no stop request can reach it. So a call pauses once its bus
// accesses have run up a frame of cycle debt: the entries left stay in
// R0-R2, R15 steps back onto the SWI and the slice ends. The scanline driver
// works the frame off (a stop request is honoured there) and the SWI runs
// again. Counts that games use finish long before the first pause.
constexpr int32_t MaxCycleDebt = 228 * 1232;

bool PauseAffineCall(Machine& m, uint32_t source, uint32_t destination, uint32_t entriesLeft) {
    CpuState& cpu = m.Cpu;
    if (cpu.Cycles > -MaxCycleDebt || entriesLeft == 0) return false;
    cpu.R[0] = source;
    cpu.R[1] = destination;
    cpu.R[2] = entriesLeft;
    cpu.R[15] -= (cpu.CPSR & FlagT) ? 2 : 4;
    return true;
}

AffineMatrix RotateScale(int32_t sx, int32_t sy, uint32_t angle) {
    if (sx == 0) sx = 256;
    if (sy == 0) sy = 256;
    const double turn = angle * -BiosPi * AngleUnit;
    const double c = std::cos(turn);
    const double s = std::sin(turn);
    return {int32_t(sx * c), int32_t(sx * s), int32_t(-sy * s), int32_t(sy * c)};
}

void BgAffineSet(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m))
        std::printf("BIOS #0x%02X: BgAffineSet(0x%08X,0x%08X,%d)\n", function, cpu.R[0], cpu.R[1], int32_t(cpu.R[2]));
    uint32_t source = cpu.R[0];
    uint32_t destination = cpu.R[1];
    const uint32_t count = cpu.R[2];
    for (uint32_t entry = 0; entry < count; ++entry) {
        const uint32_t centreX = BusRead32(m, source);  // 24.8, in the background
        const uint32_t centreY = BusRead32(m, source + 4);
        const uint32_t screenX = uint32_t(SignExtend16(BusRead16(m, source + 8)));
        const uint32_t screenY = uint32_t(SignExtend16(BusRead16(m, source + 10)));
        const int32_t sx = SignExtend16(BusRead16(m, source + 12));
        const int32_t sy = SignExtend16(BusRead16(m, source + 14));
        const uint32_t angle = BusRead16(m, source + 16);
        const AffineMatrix matrix = RotateScale(sx, sy, angle);
        // The reference point is the background position that lands on the
        // screen's top-left pixel. The arithmetic wraps in 32 bits as the
        // BIOS's does. Stores in this order: a destination in the I/O area
        // sees the registers written as the BIOS writes them.
        const uint32_t pa = uint32_t(matrix.pa), pb = uint32_t(matrix.pb), pc = uint32_t(matrix.pc),
                       pd = uint32_t(matrix.pd);
        BusWrite16(m, destination, uint16_t(pa));
        BusWrite16(m, destination + 2, uint16_t(pb));
        BusWrite32(m, destination + 8, centreX - screenX * pa - screenY * pb);
        BusWrite16(m, destination + 4, uint16_t(pc));
        BusWrite16(m, destination + 6, uint16_t(pd));
        BusWrite32(m, destination + 12, centreY - screenX * pc - screenY * pd);
        source += 20;
        destination += 16;
        if (PauseAffineCall(m, source, destination, count - entry - 1)) return;
    }
}

void ObjAffineSet(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m))
        std::printf("BIOS #0x%02X: ObjAffineSet(0x%08X,0x%08X,%d,%d)\n", function, cpu.R[0], cpu.R[1],
                    int32_t(cpu.R[2]), int32_t(cpu.R[3]));
    const uint32_t stride = cpu.R[3];
    uint32_t source = cpu.R[0];
    uint32_t destination = cpu.R[1];
    const uint32_t count = cpu.R[2];
    for (uint32_t entry = 0; entry < count; ++entry) {
        const int32_t sx = SignExtend16(BusRead16(m, source));
        const int32_t sy = SignExtend16(BusRead16(m, source + 2));
        const uint32_t angle = BusRead16(m, source + 4);
        const AffineMatrix matrix = RotateScale(sx, sy, angle);
        BusWrite16(m, destination, uint16_t(matrix.pa));
        BusWrite16(m, destination + stride, uint16_t(matrix.pb));
        BusWrite16(m, destination + 2 * stride, uint16_t(matrix.pc));
        BusWrite16(m, destination + 3 * stride, uint16_t(matrix.pd));
        source += 8;
        destination += 4 * stride;
        if (PauseAffineCall(m, source, destination, count - entry - 1)) return;
    }
}

// The decompressors check the header's type nibble and then use up the rest
// of the slice: the real BIOS spends many cycles here, and ending the slice
// lets the scanline driver catch up.
enum class Compression : uint32_t { Lz77 = 0x10, Huffman = 0x20, RunLength = 0x30 };

void Decompress(Machine& m, Compression kind, OutputUnit unit) {
    CpuState& cpu = m.Cpu;
    const uint32_t header = BusRead32(m, cpu.R[0]);
    if ((header & 0xF0) != uint32_t(kind)) return;
    const int32_t size = int32_t(header >> 8);
    const uint32_t source = cpu.R[0] + 4;
    switch (kind) {
    case Compression::Lz77: Lz77Unpack(m, source, cpu.R[1], size, unit); break;
    case Compression::Huffman: HuffmanUnpack(m, source, cpu.R[1], size, header & 0x0F); break;
    case Compression::RunLength: RunLengthUnpack(m, source, cpu.R[1], size, unit); break;
    }
    cpu.Cycles = 0;
}

// The WRAM and VRAM variants differ in storing bytes or halfwords: a byte
// store to VRAM would fill both halves of its halfword.
OutputUnit UnitOf(uint32_t function, uint32_t vramFunction) {
    return function == vramFunction ? OutputUnit::Halfword : OutputUnit::Byte;
}
char RamKind(uint32_t function, uint32_t vramFunction) { return function == vramFunction ? 'V' : 'W'; }

void Lz77UnComp(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m))
        std::printf("BIOS #0x%02X: LZ77UnComp%cRAM(0x%08X,0x%08X)\n", function, RamKind(function, 0x12), cpu.R[0],
                    cpu.R[1]);
    Decompress(m, Compression::Lz77, UnitOf(function, 0x12));
}

void HuffUnComp(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: HuffUnComp(0x%08X,0x%08X)\n", function, cpu.R[0], cpu.R[1]);
    Decompress(m, Compression::Huffman, OutputUnit::Byte);
}

void RlUnComp(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m))
        std::printf("BIOS #0x%02X: RLUnComp%cRAM(0x%08X,0x%08X)\n", function, RamKind(function, 0x15), cpu.R[0],
                    cpu.R[1]);
    Decompress(m, Compression::RunLength, UnitOf(function, 0x15));
}

// BitUnPack: R0 source, R1 destination, R2 the unpack information: a
// halfword source length in bytes, a byte of source unit width, a byte of
// destination unit width, and a word with the offset and the zero flag.
void BitUnPack(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m))
        std::printf("BIOS #0x%02X: BitUnPack(0x%08X,0x%08X,0x%08X)\n", function, cpu.R[0], cpu.R[1], cpu.R[2]);
    const uint32_t info = cpu.R[2];
    BitUnpack(m, cpu.R[0], cpu.R[1], BusRead16(m, info), BusRead8(m, info + 2), BusRead8(m, info + 3),
              BusRead32(m, info + 4));
}

// The difference filters take the output size from bits 8-31 of the header
// at R0 and, like the hardware, do not look at its type bits.
void DiffUnFilter(Machine& m, DiffUnit unit) {
    CpuState& cpu = m.Cpu;
    const uint32_t header = BusRead32(m, cpu.R[0]);
    DiffUnfilter(m, cpu.R[0] + 4, cpu.R[1], int32_t(header >> 8), unit);
}

void Diff8bitUnFilterWram(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: Diff8bitUnFilterWRAM(0x%08X,0x%08X)\n", function, cpu.R[0], cpu.R[1]);
    DiffUnFilter(m, DiffUnit::Byte);
}

void Diff8bitUnFilterVram(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: Diff8bitUnFilterVRAM(0x%08X,0x%08X)\n", function, cpu.R[0], cpu.R[1]);
    DiffUnFilter(m, DiffUnit::ByteInHalfwords);
}

void Diff16bitUnFilter(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: Diff16bitUnFilter(0x%08X,0x%08X)\n", function, cpu.R[0], cpu.R[1]);
    DiffUnFilter(m, DiffUnit::Halfword);
}

// SoundBias moves the bias level of SOUNDBIAS (bits 0-9) to 0x200, or to 0
// when R0 is 0; the hardware steps there slowly, here it is set at once.
// The sampling bits above are kept.
void SoundBiasChange(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: SoundBiasChange(0x%08X)\n", function, cpu.R[0]);
    const uint16_t level = cpu.R[0] ? 0x200 : 0;
    BusWrite16(m, 0x04000000 + Io::SOUNDBIAS, uint16_t((ReadIoHalf(m, Io::SOUNDBIAS) & 0xFC00) | level));
}

// The playback rate of a sample for a MIDI key: the sample's own rate (the
// word at R0 + 4) times 2^((key + fine / 256 - 180) / 12). The BIOS works
// in 32-bit fixed point: the twelve semitone ratios 2^(n/12) as 1.31
// numbers, shifted right by the octaves below the top one, interpolated
// linearly between a key and the next by the fine adjustment (R2, in
// 256ths of a semitone), and multiplied by the rate keeping the high word.
// Keys above 178 act as 178 with the finest adjustment.
uint32_t HighWord(uint32_t a, uint32_t b) { return uint32_t((uint64_t(a) * b) >> 32); }

uint32_t KeyRatio(uint32_t key) {
    static const std::array<uint32_t, 12> semitones = [] {
        std::array<uint32_t, 12> table{};
        for (uint32_t n = 0; n < 12; ++n) table[n] = uint32_t(std::llround(std::exp2(31 + n / 12.0)));
        return table;
    }();
    return semitones[key % 12] >> (14 - key / 12);
}

void MidiKey2Freq(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: MIDIKey2Freq(0x%08X,%u,%u)\n", function, cpu.R[0], cpu.R[1], cpu.R[2]);
    uint32_t key = cpu.R[1];
    uint32_t fine = cpu.R[2] << 24;
    if (key > 178) {
        key = 178;
        fine = 0xFF000000;
    }
    const uint32_t low = KeyRatio(key);
    const uint32_t ratio = low + HighWord(KeyRatio(key + 1) - low, fine);
    cpu.R[0] = HighWord(BusRead32(m, cpu.R[0] + 4), ratio);
}

// MultiBoot sends a program through the link port; with no handheld on the
// other end it fails, which R0 = 1 reports.
void MultiBoot(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (Tracing(m)) std::printf("BIOS #0x%02X: MultiBoot(0x%08X)\n", function, cpu.R[0]);
    cpu.R[0] = 1;
}

// Functions that are accepted and traced but not emulated: the sound
// driver, and SoundGetJumpList, the list of the BIOS's internal sound
// routines (there are none to give without a BIOS image, so the game's
// buffer is left alone). Their registers are left as they are. Each trace
// names the arguments the function takes from R0-R2; the format passes
// over those it does not use.
void PrintTrace(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
}

template <const char* Trace>
void TraceOnly(Machine& m, uint32_t function) {
    const CpuState& cpu = m.Cpu;
    if (Tracing(m)) PrintTrace(Trace, function, cpu.R[0], cpu.R[1], cpu.R[2]);
}

constexpr char SoundDriverInit[] = "BIOS #0x%02X: SoundDriverInit(0x%08X)\n";
constexpr char SoundDriverMode[] = "BIOS #0x%02X: SoundDriverMode(0x%08X)\n";
constexpr char SoundDriverMain[] = "BIOS #0x%02X: SoundDriverMain()\n";
constexpr char SoundDriverVSync[] = "BIOS #0x%02X: SoundDriverVSync()\n";
constexpr char SoundChannelClear[] = "BIOS #0x%02X: SoundChannelClear()\n";
constexpr char MusicPlayerOpen[] = "BIOS #0x%02X: MusicPlayerOpen(0x%08X,0x%08X,%u)\n";
constexpr char MusicPlayerStart[] = "BIOS #0x%02X: MusicPlayerStart(0x%08X,0x%08X)\n";
constexpr char MusicPlayerStop[] = "BIOS #0x%02X: MusicPlayerStop(0x%08X)\n";
constexpr char MusicPlayerContinue[] = "BIOS #0x%02X: MusicPlayerContinue(0x%08X)\n";
constexpr char MusicPlayerFadeOut[] = "BIOS #0x%02X: MusicPlayerFadeOut(0x%08X,%u)\n";
constexpr char SoundDriverVSyncOff[] = "BIOS #0x%02X: SoundDriverVSyncOff()\n";
constexpr char SoundDriverVSyncOn[] = "BIOS #0x%02X: SoundDriverVSyncOn()\n";
constexpr char SoundGetJumpList[] = "BIOS #0x%02X: SoundGetJumpList(0x%08X)\n";

using BiosFunction = void (*)(Machine& m, uint32_t function);

// Indexed by function number, 0x00-0x2A; higher numbers are not functions.
constexpr std::array<BiosFunction, 0x2B> BiosFunctions = {
    SoftReset,                       // 0x00
    RegisterRamReset,                // 0x01
    Halt,                            // 0x02
    Stop,                            // 0x03
    IntrWait,                        // 0x04
    VBlankIntrWait,                  // 0x05
    Div,                             // 0x06
    DivArm,                          // 0x07
    Sqrt,                            // 0x08
    ArcTan,                          // 0x09
    ArcTan2,                         // 0x0A
    CpuSet,                          // 0x0B
    CpuFastSet,                      // 0x0C
    GetBiosChecksum,                 // 0x0D
    BgAffineSet,                     // 0x0E
    ObjAffineSet,                    // 0x0F
    BitUnPack,                       // 0x10
    Lz77UnComp,                      // 0x11
    Lz77UnComp,                      // 0x12
    HuffUnComp,                      // 0x13
    RlUnComp,                        // 0x14
    RlUnComp,                        // 0x15
    Diff8bitUnFilterWram,            // 0x16
    Diff8bitUnFilterVram,            // 0x17
    Diff16bitUnFilter,               // 0x18
    SoundBiasChange,                 // 0x19
    TraceOnly<SoundDriverInit>,      // 0x1A
    TraceOnly<SoundDriverMode>,      // 0x1B
    TraceOnly<SoundDriverMain>,      // 0x1C
    TraceOnly<SoundDriverVSync>,     // 0x1D
    TraceOnly<SoundChannelClear>,    // 0x1E
    MidiKey2Freq,                    // 0x1F
    TraceOnly<MusicPlayerOpen>,      // 0x20
    TraceOnly<MusicPlayerStart>,     // 0x21
    TraceOnly<MusicPlayerStop>,      // 0x22
    TraceOnly<MusicPlayerContinue>,  // 0x23
    TraceOnly<MusicPlayerFadeOut>,   // 0x24
    MultiBoot,                       // 0x25
    HardReset,                       // 0x26
    CustomHalt,                      // 0x27
    TraceOnly<SoundDriverVSyncOff>,  // 0x28
    TraceOnly<SoundDriverVSyncOn>,   // 0x29
    TraceOnly<SoundGetJumpList>,     // 0x2A
};

static_assert(BiosFunctions[0x06] == &Div && BiosFunctions[0x0E] == &BgAffineSet &&
              BiosFunctions[0x2A] == &TraceOnly<SoundGetJumpList>);

}  // namespace

void ResetInterruptHandlerPointer(Machine& m) {
    StoreLittle<uint32_t>(WriteHostAddress(m.PageTable, 0x03007FFC), 0x28);
}

void BiosCall(Machine& m, uint32_t function) {
    CpuState& cpu = m.Cpu;
    if (m.BiosLoaded) {
        // The BIOS's own code answers; it leaves by the same instructions.
        LatchBiosOpcode(m, BiosLatchAfterSwi);
        EnterSwiException(cpu);
        return;
    }
    if (function < BiosFunctions.size()) {
        BiosFunctions[function](m, function);
        // The BIOS returns through the same instructions every time, which
        // leave their opcode for loads of the BIOS area to read.
        LatchBiosOpcode(m, BiosLatchAfterSwi);
        return;
    }
    if (Tracing(m)) std::printf("ARM: Called SWI #0x%02X at PC=0x%08X\n", function, cpu.R[15]);
}
