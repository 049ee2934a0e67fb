#include "machine/io_registers.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <initializer_list>

#include "cpu/access_cost.h"
#include "cpu/bios.h"
#include "cpu/cpu_state.h"
#include "cpu/modes.h"
#include "cpu/run_loop.h"
#include "game/settings.h"
#include "machine/backup.h"
#include "machine/clock.h"
#include "machine/display_registers.h"
#include "machine/dma.h"
#include "machine/interrupts.h"
#include "machine/open_bus.h"
#include "machine/rtc.h"
#include "machine/scanline.h"
#include "machine/timers.h"
#include "machine/video_memory.h"
#include "sound/sample_channels.h"
#include "sound/sound_chip.h"

void UpdateBgOrder(Machine& m, uint32_t background, uint16_t value) {
    std::array<uint32_t, 4>& BgOrderList = m.BgOrderList;
    const uint32_t entry = uint32_t(value & 3) << 30 | background << 28 | value;
    auto it = std::find_if(BgOrderList.begin(), BgOrderList.end(),
                           [&](uint32_t e) { return BgEntryNumber(e) == background; });
    if (it == BgOrderList.end()) {
        // Only a damaged snapshot can lose a background: rebuild the list
        // from the registers.
        for (uint32_t n = 0; n < 4; ++n) {
            const uint32_t cnt = n == background ? value : ReadIoHalf(m, Io::BG0CNT + 2 * n);
            BgOrderList[n] = (cnt & 3) << 30 | n << 28 | cnt;
        }
        std::sort(BgOrderList.begin(), BgOrderList.end(), std::greater<>());
        return;
    }
    size_t i = size_t(it - BgOrderList.begin());
    if (BgEntryPriority(*it) == BgEntryPriority(entry)) {
        *it = entry;
        return;
    }
    // One pass of insertion: move towards the front past smaller entries,
    // then towards the back past larger ones.
    while (i > 0 && entry > BgOrderList[i - 1]) {
        BgOrderList[i] = BgOrderList[i - 1];
        --i;
    }
    while (i < 3 && entry < BgOrderList[i + 1]) {
        BgOrderList[i] = BgOrderList[i + 1];
        ++i;
    }
    BgOrderList[i] = entry;
}

namespace {

inline int32_t SignExtend16(uint32_t value) { return int16_t(value); }
inline int32_t SignExtend28(uint32_t value) { return int32_t(value << 4) >> 4; }

// A 5-bit coefficient field: bit 4 set means the full 16/16, whatever the
// low bits say.
inline int32_t Coefficient(uint32_t field) { return (field & 0x10) ? 16 : int32_t(field & 0x0F); }

void UpdateIrqPending(Machine& m) {
    const uint32_t pending = PendingInterrupts(m);
    m.Cpu.IrqPending = pending;
    // The CPU must see the interrupt before its next instruction, not only
    // at the end of the slice.
    if (pending) RequestIrqCheck(m.Cpu);
}

// Which SoundRegs index each byte of 0x060-0x09F feeds (255 = none).
constexpr uint8_t NoSoundRegister = 255;
constexpr std::array<uint8_t, 64> SoundIndexTable = [] {
    std::array<uint8_t, 64> table{};
    table.fill(NoSoundRegister);
    auto place = [&](uint32_t offset, std::initializer_list<uint8_t> indices) {
        for (uint8_t index : indices) table[offset++ - Io::SOUND1CNT_L] = index;
    };
    place(0x060, {0});               // SOUND1CNT_L: sweep
    place(0x062, {1, 2, 3, 4});      // SOUND1CNT_H, SOUND1CNT_X
    place(0x068, {6, 7});            // SOUND2CNT_L
    place(0x06C, {8, 9});            // SOUND2CNT_H
    place(0x070, {10});              // SOUND3CNT_L
    place(0x072, {11, 12, 13, 14});  // SOUND3CNT_H, SOUND3CNT_X
    place(0x078, {16, 17});          // SOUND4CNT_L
    place(0x07C, {18, 19});          // SOUND4CNT_H
    place(0x080, {20, 21});          // SOUNDCNT_L
    place(0x084, {22});              // SOUNDCNT_X
    for (uint8_t k = 0; k < 16; ++k) table[Io::WAVE_RAM - Io::SOUND1CNT_L + k] = uint8_t(32 + k);
    return table;
}();
static_assert(SoundIndexTable[0x061 - 0x060] == NoSoundRegister && SoundIndexTable[0x065 - 0x060] == 4);
static_assert(SoundIndexTable[0x07D - 0x060] == 19 && SoundIndexTable[0x09F - 0x060] == 47);

// ---- register write handlers; each stores the value unless it says otherwise ----

using IoWriteHandler = void (*)(Machine& m, uint32_t offset, uint16_t value);

void Store(Machine& m, uint32_t offset, uint16_t value) { StoreIoHalf(m, offset, value); }

// VCOUNT and KEYINPUT are driven by the hardware alone.
void Ignore(Machine&, uint32_t, uint16_t) {}

// The display mode decides which VRAM bank the OBJ tiles' mirror shows.
void WriteDisplayControl(Machine& m, uint32_t offset, uint16_t value) {
    StoreIoHalf(m, offset, value);
    MapVram(m);
}

// The vertical-blank, horizontal-blank and line-match flags are read-only.
void WriteDispstat(Machine& m, uint32_t offset, uint16_t value) {
    StoreIoHalf(m, offset, uint16_t((value & 0xFFF8) | (ReadIoHalf(m, offset) & 7)));
}

void WriteBgControl(Machine& m, uint32_t offset, uint16_t value) {
    UpdateBgOrder(m, (offset - Io::BG0CNT) / 2, value);
    StoreIoHalf(m, offset, value);
}

AffineBackground& AffineOf(Machine& m, uint32_t offset) { return m.AffineState[offset >= Io::BG3PA ? 1 : 0]; }

void WriteAffineParameter(Machine& m, uint32_t offset, uint16_t value) {
    AffineBackground& bg = AffineOf(m, offset);
    const int32_t parameter = SignExtend16(value);
    switch ((offset >> 1) & 3) {
    case 0: bg.PA = parameter; break;
    case 1: bg.PB = parameter; break;
    case 2: bg.PC = parameter; break;
    case 3: bg.PD = parameter; break;
    }
    StoreIoHalf(m, offset, value);
}

// A write to either half of a reference point restarts the drawing from the
// new point at once, mid-frame as well.
void WriteAffineReference(Machine& m, uint32_t offset, uint16_t value) {
    StoreIoHalf(m, offset, value);
    AffineBackground& bg = AffineOf(m, offset);
    const uint32_t low = offset & ~3u;
    const int32_t point = SignExtend28(ReadIoWord(m, low));
    if (low & 4)
        bg.RefY = bg.CurY = point;
    else
        bg.RefX = bg.CurX = point;
}

void WriteBlendAlpha(Machine& m, uint32_t offset, uint16_t value) {
    m.BlendCoefficients.EVA = Coefficient(value);
    m.BlendCoefficients.EVB = Coefficient(value >> 8);
    StoreIoHalf(m, offset, value);
}

void WriteBlendBrightness(Machine& m, uint32_t offset, uint16_t value) {
    m.BlendCoefficients.EVY = Coefficient(value);
    StoreIoHalf(m, offset, value);
}

void WriteSound(Machine& m, uint32_t offset, uint16_t value) {
    const uint32_t byte = offset - Io::SOUND1CNT_L;
    WriteSoundChip(m, SoundIndexTable[byte], uint8_t(value));
    WriteSoundChip(m, SoundIndexTable[byte + 1], uint8_t(value >> 8));
    StoreIoHalf(m, offset, value);
}

// SOUNDCNT_H: the sample channels' volumes, outputs, timers and FIFO
// resets. None of its bytes reaches the tone channels' registers.
void WriteSampleControlRegister(Machine& m, uint32_t offset, uint16_t value) {
    WriteSampleControl(m, value);
    StoreIoHalf(m, offset, m.SampleChannels.Control);
}

// SOUNDCNT_X: the master enable reaches the tone channels and the sample
// channels alike (the tone channels see it first, so that a switch-off has
// reset them before the sample channels fall silent).
void WriteSoundMaster(Machine& m, uint32_t offset, uint16_t value) {
    WriteSound(m, offset, value);
    WriteSampleMaster(m, uint8_t(value));
}

void WriteSoundBias(Machine& m, uint32_t offset, uint16_t value) {
    WriteSampleBias(m, value);
    StoreIoHalf(m, offset, value);
}

// FIFO_A at 0x0A0-0x0A3, FIFO_B at 0x0A4-0x0A7: every halfword written
// (a word arrives as two) is two more samples.
void WriteFifo(Machine& m, uint32_t offset, uint16_t value) {
    PushFifo(m, offset >= Io::FIFO_A + 4 ? 1 : 0, value);
    StoreIoHalf(m, offset, value);
}

void WriteDmaControl(Machine& m, uint32_t offset, uint16_t value) {
    if ((value & 0x8000) && !(ReadIoHalf(m, offset) & 0x8000)) StartDmaChannel(m, (offset - Io::DMA0CNT_H) / 12);
    StoreIoHalf(m, offset, value);
    if ((value & DmaTriggerMask) == DmaArmed(DmaTiming::Immediate)) RunDma(m, (offset - Io::DMA0CNT_H) / 12);
}

void WriteTimerReloadRegister(Machine& m, uint32_t offset, uint16_t value) {
    WriteTimerReload(m, (offset - Io::TM0CNT_L) / 4, value);
}

void WriteTimerControlRegister(Machine& m, uint32_t offset, uint16_t value) {
    WriteTimerControl(m, (offset - Io::TM0CNT_L) / 4, value);
}

void WriteInterruptEnable(Machine& m, uint32_t offset, uint16_t value) {
    StoreIoHalf(m, offset, value);
    UpdateIrqPending(m);
    // A timer's interrupt that can now be taken ends the slice at its cycle.
    EndSliceBy(m.Cpu, m.Clock, NextTimerInterrupt(m));
}

// Writing 1 to a request bit acknowledges it.
void WriteInterruptFlags(Machine& m, uint32_t offset, uint16_t value) {
    StoreIoHalf(m, offset, uint16_t(ReadIoHalf(m, offset) & ~value));
    UpdateIrqPending(m);
}

void WriteWaitControl(Machine& m, uint32_t offset, uint16_t value) {
    UpdateWaitStates(m, value);
    StoreIoHalf(m, offset, value);
}

// A serial transfer in normal mode with the internal clock runs whether or
// not a cable is plugged in: no partner drives the input line, which reads
// all ones. It is done at once: the start bit drops, the data register
// holds the ones and the serial interrupt is requested when bit 14 asks
// for it. With the external clock the transfer waits for a partner that
// never comes, as on the handheld; the other modes are not emulated.
void WriteSerialControl(Machine& m, uint32_t offset, uint16_t value) {
    const bool normalMode = !(ReadIoHalf(m, Io::RCNT) & 0x8000) && !(value & 0x2000);
    if (normalMode && (value & 0x0081) == 0x0081) {
        value &= uint16_t(~0x0080);
        if (value & 0x1000)
            StoreIoWord(m, Io::SIODATA32, 0xFFFFFFFF);
        else
            m.Io[Io::SIODATA8] = 0xFF;
        if (value & 0x4000) RaiseInterrupt(m, IrqSerial);
    }
    StoreIoHalf(m, offset, value);
}

// POSTFLG's flag, once the start-up has set it, stays set: the handheld
// keeps it when a halfword store to HALTCNT above it writes a 0 there too.
uint8_t PostFlagAfter(const Machine& m, uint8_t written) { return uint8_t((m.Io[Io::POSTFLG] | written) & 1); }

// Any write to HALTCNT halts (stop mode is treated alike) when an interrupt
// could ever wake the CPU: some interrupt is enabled in IE (IME need not be
// on; the halt ends on the request alone). The storing instruction ends
// the slice and is taken back; the halted CPU runs nothing (cpu/run_loop.cpp)
// until the scanline driver marks it woken, and the store then repeats and
// completes.
void WriteHaltControl(Machine& m, uint32_t offset, uint16_t value) {
    const auto repeatStore = [&m] {
        m.Cpu.R[15] -= (m.Cpu.CPSR & FlagT) ? 2 : 4;
        m.Cpu.Cycles = 0;
    };
    switch (m.HaltState) {
    case Halt::Running:
        if (ReadIoHalf(m, Io::IE) != 0) {
            repeatStore();
            m.HaltState = Halt::Halted;
        }
        break;
    case Halt::Halted: break;  // only a DMA can store while halted
    case Halt::Woken: m.HaltState = Halt::Running; break;
    }
    StoreIoHalf(m, offset, uint16_t((value & 0xFF00) | PostFlagAfter(m, uint8_t(value))));
}

constexpr uint32_t IoRegisterSpan = 0x1000;

// Handler per halfword register offset 0x000-0xFFE.
constexpr std::array<IoWriteHandler, IoRegisterSpan / 2> IoWriteTable = [] {
    std::array<IoWriteHandler, IoRegisterSpan / 2> table{};
    table.fill(&Store);
    auto set = [&](uint32_t offset, IoWriteHandler handler) { table[offset / 2] = handler; };
    set(Io::DISPCNT, &WriteDisplayControl);
    set(Io::DISPSTAT, &WriteDispstat);
    set(Io::VCOUNT, &Ignore);
    for (uint32_t n = 0; n < 4; ++n) set(Io::BG0CNT + 2 * n, &WriteBgControl);
    for (uint32_t bg : {Io::BG2PA, Io::BG3PA}) {
        for (uint32_t p = 0; p < 4; ++p) set(bg + 2 * p, &WriteAffineParameter);
    }
    for (uint32_t bg : {Io::BG2X_L, Io::BG3X_L}) {
        for (uint32_t half = 0; half < 4; ++half) set(bg + 2 * half, &WriteAffineReference);
    }
    set(Io::BLDALPHA, &WriteBlendAlpha);
    set(Io::BLDY, &WriteBlendBrightness);
    for (uint32_t offset = Io::SOUND1CNT_L; offset < Io::FIFO_A; offset += 2) set(offset, &WriteSound);
    set(Io::SOUNDCNT_H, &WriteSampleControlRegister);
    set(Io::SOUNDCNT_X, &WriteSoundMaster);
    set(Io::SOUNDBIAS, &WriteSoundBias);
    for (uint32_t offset = Io::FIFO_A; offset < Io::FIFO_A + 8; offset += 2) set(offset, &WriteFifo);
    for (uint32_t channel = 0; channel < 4; ++channel) set(Io::DMA0CNT_H + 12 * channel, &WriteDmaControl);
    for (uint32_t timer = 0; timer < 4; ++timer) {
        set(Io::TM0CNT_L + 4 * timer, &WriteTimerReloadRegister);
        set(Io::TM0CNT_L + 4 * timer + 2, &WriteTimerControlRegister);
    }
    set(Io::SIOCNT, &WriteSerialControl);
    set(Io::KEYINPUT, &Ignore);
    set(Io::IE, &WriteInterruptEnable);
    set(Io::IF, &WriteInterruptFlags);
    set(Io::WAITCNT, &WriteWaitControl);
    set(Io::IME, &WriteInterruptEnable);
    set(Io::HALTCNT, &WriteHaltControl);
    return table;
}();

// Past the registers only MEMCNT answers, in every 64 KB.
bool IsRegisterAddress(uint32_t address) { return (address & 0x00FFFFFF) < 0x400 || (address & 0xFFFC) == Io::MEMCNT; }

}  // namespace

void WriteIoRegister(Machine& m, uint32_t address, uint16_t value) {
    if (!IsRegisterAddress(address)) return;
    const uint32_t offset = address & (IoRegisterSpan - 2);
    if (m.Verbose & VerboseIoWrites)
        std::printf("Wrote %04Xh to IO[%03Xh] at %d\n", value, offset, int(ReadIoHalf(m, Io::VCOUNT)));
    // The sample channels, their DMA, the timers and the interrupt requests
    // act at timer overflows: every overflow before this write happens
    // first.
    if (offset - Io::SOUNDCNT_H < Io::TM0CNT_L - Io::SOUNDCNT_H || offset - Io::IE <= Io::IME - Io::IE)
        RunTimers(m, ClockNow(m.Cpu, m.Clock));
    IoWriteTable[offset / 2](m, offset, value);
}

void WriteIoByte(Machine& m, uint32_t address, uint8_t value) {
    if (!IsRegisterAddress(address)) return;
    const uint32_t offset = address & (IoRegisterSpan - 1);
    // POSTFLG has a byte of its own: storing it does not reach HALTCNT
    // above it, so it does not halt.
    if (offset == Io::POSTFLG) {
        m.Io[offset] = PostFlagAfter(m, value);
        return;
    }
    // The registers are written a halfword at a time: the other byte is
    // taken from what is stored for the register, except in IF, where a
    // 0 bit acknowledges nothing.
    const uint8_t other = (offset & ~1u) == Io::IF ? 0 : m.Io[offset ^ 1];
    const uint16_t half = (offset & 1) ? uint16_t(value << 8 | other) : uint16_t(other << 8 | value);
    WriteIoRegister(m, address & ~1u, half);
}

void ResetHardware(Machine& m) {
    CpuState& cpu = m.Cpu;
    const int64_t now = ClockNow(cpu, m.Clock);
    const bool traceBackup = m.Verbose & VerboseBackup;
    ResetBackupMemory(m, traceBackup);
    ResetEeprom(m, traceBackup);
    ResetClockPort(m, m.RomImage.get());
    ResetSoundChip(m, 0);
    SetSoundRefresh(m, SoundRefresh::PerFrame, m.Settings.UseDrums);
    ResetTimers(m.TimerState, now);
    cpu.TraceUndefined = (m.Verbose & VerboseUndefined) ? 1 : 0;
    cpu.SliceLength = 960;

    StoreIoHalf(m, Io::KEYINPUT, KeyMask);  // no key pressed
    StoreIoHalf(m, Io::DISPCNT, 0x0080);    // forced blank
    MapVram(m);
    StoreIoWord(m, Io::MEMCNT, 0x0D000020);  // work RAM on, external RAM with two wait states
    for (uint32_t offset : {Io::KEYCNT, Io::DISPSTAT, Io::VCOUNT, Io::MOSAIC, Io::BLDCNT, Io::IME, Io::IE, Io::IF,
                            Io::HALTCNT, Io::WAITCNT, Io::BLDALPHA, Io::BLDY})
        StoreIoHalf(m, offset, 0);
    m.HaltState = Halt::Running;
    UpdateWaitStates(m, 0);
    // A game starts on a drawn frame with autofire released, whatever frame
    // phase the previous game ended in.
    m.FrameSkipCount = m.AutoFirePhase = m.FrameCount = 0;
    m.BlendCoefficients = {0, 0, 0};

    for (uint32_t offset = Io::BG0CNT; offset < Io::BG0HOFS + 16; offset += 2) StoreIoHalf(m, offset, 0);
    m.BgOrderList = {0x30000000, 0x20000000, 0x10000000, 0x00000000};  // BG3 at the back, BG0 in front

    // Identity transforms at the origin.
    for (uint32_t bg : {Io::BG2PA, Io::BG3PA}) {
        StoreIoHalf(m, bg + 0, 0x0100);
        StoreIoHalf(m, bg + 2, 0);
        StoreIoHalf(m, bg + 4, 0);
        StoreIoHalf(m, bg + 6, 0x0100);
        StoreIoWord(m, bg + 8, 0);
        StoreIoWord(m, bg + 12, 0);
    }
    m.AffineState.fill({.RefX = 0, .RefY = 0, .CurX = 0, .CurY = 0, .PA = 0x100, .PB = 0, .PC = 0, .PD = 0x100});

    ResetCpu(cpu);
    ResetClock(cpu, m.Clock, now);
    if (!m.BiosLoaded) {
        // Direct boot: the state the BIOS leaves when it jumps to the cartridge.
        EnterHandOverState(cpu, 0x08000000);
        ResetInterruptHandlerPointer(m);
        StoreLittle<uint16_t>(WriteHostAddress(m.PageTable, 0x03007FF8), 0);  // the BIOS's interrupt check flags
        *WriteHostAddress(m.PageTable, 0x03007FFA) = 0;
        // The BIOS centres the sound output: without this bias every
        // negative sample of the sample channels would clip.
        StoreIoHalf(m, Io::SOUNDBIAS, 0x200);
        // And it sets POSTFLG: the start-up has run, as code that runs
        // again after a reset can tell.
        m.Io[Io::POSTFLG] = 1;
    }
    ResetSampleChannels(m);
    LatchBiosOpcode(m, BiosLatchAfterStartUp);
}
