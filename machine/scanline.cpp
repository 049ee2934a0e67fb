#include "machine/scanline.h"

#include <algorithm>

#include "game/battery.h"
#include "game/game.h"
#include "game/settings.h"
#include "machine/clock.h"
#include "machine/display_registers.h"
#include "machine/dma.h"
#include "machine/host.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/timers.h"
#include "sound/midi_log.h"
#include "sound/sample_channels.h"
#include "sound/sound_chip.h"
#include "video/render_line.h"

namespace {

// Runs every DMA channel (in order 0-3) that is armed for the given timing.
// Channels 1 and 2 with the "Special" timing serve the sound FIFOs and are
// started only by RunFifoDma; on channel 0 that timing is prohibited, so
// only channel 3's video capture timing starts a transfer. Most half-lines
// start nothing, so the look at the four channels stays inline.
inline void TriggerDma(Machine& m, DmaTiming timing) {
    const uint32_t first = timing == DmaTiming::Special ? 3 : 0;
    for (uint32_t channel = first; channel < 4; ++channel) {
        if ((ReadIoHalf(m, Io::DMA0CNT_H + 12 * channel) & DmaTriggerMask) == DmaArmed(timing)) [[unlikely]]
            RunDma(m, channel);
    }
}

// The horizontal blank of a visible line: the line is drawn now, with the
// affine backgrounds at their current points, which then move on by one
// line's step (PB, PD).
void FinishVisibleLine(Machine& m, uint32_t line) {
    if (m.FrameSkipCount == 0) {
        if (line == 0) {
            for (AffineBackground& bg : m.AffineState) {
                bg.CurX = bg.RefX;
                bg.CurY = bg.RefY;
            }
        }
        RenderLine(m);
        for (AffineBackground& bg : m.AffineState) {
            bg.CurX += bg.PB;
            bg.CurY += bg.PD;
        }
    }
    TriggerDma(m, DmaTiming::Hblank);
}

// KEYCNT bit 14 enables the keypad interrupt, bits 0-9 select keys, and
// bit 15 asks for all selected keys at once instead of any of them.
void CheckKeypadInterrupt(Machine& m, uint16_t keyinput) {
    const uint16_t keycnt = ReadIoHalf(m, Io::KEYCNT);
    if ((keycnt & 0x43FF) <= 0x4000) return;
    const uint32_t selected = keycnt & 0x3FF;
    const uint32_t pressed = ~keyinput & selected;
    const bool holds = (keycnt & 0x8000) ? pressed == selected : pressed != 0;
    if (holds) RaiseInterrupt(m, IrqKeypad);
}

// The start of the vertical blank: present the finished frame, run the
// vertical-blank DMAs, read the keypad (which also lets the front-end handle
// its events) and give the sound its frame tick. False when the front-end
// asked the game run to stop.
bool BeginVerticalBlank(Machine& m) {
    ++m.FrameCount;
    if (m.FrameSkipCount != 0) {
        --m.FrameSkipCount;
    } else {
        m.Host.WaitFrameTick(m.Host.Context);
        m.Host.PresentFrame(m.Host.Context, m.FrameSurface.data());
        m.FramePresented = true;
        // A period below 1 would wrap the count and stop drawing for ages.
        m.FrameSkipCount = uint32_t(std::max(m.Settings.UpdatePeriod, 1) - 1);
    }
    TriggerDma(m, DmaTiming::Vblank);

    // The front-end reports 1 = pressed; the register reads 0 = pressed, and
    // its unused top bits (10-15) read 0.
    const uint32_t pressed = m.Host.PollInput(m.Host.Context);
    BatteryFrameTick(m);
    // The front-end may have loaded a snapshot or reset the machine.
    SyncSampleChannels(m);
    uint16_t keyinput = uint16_t(~pressed & KeyMask);
    m.AutoFirePhase = (m.AutoFirePhase + 1) & 7;
    if (m.AutoFirePhase & 4) keyinput |= uint16_t(m.Settings.AutoFire & KeyMask);
    StoreIoHalf(m, Io::KEYINPUT, keyinput);
    CheckKeypadInterrupt(m, keyinput);

    if (m.StopRequested) return false;

    AdvanceMidiLog(m.MidiLog, 16);
    TickSoundChip(m, 16);
    RefreshSoundChip(m);
    return true;
}

// The display moves on to its next half-line. False when the front-end
// asked the game run to stop.
bool EndHalfLine(Machine& m) {
    CpuState& cpu = m.Cpu;
    const uint16_t oldStatus = ReadIoHalf(m, Io::DISPSTAT);
    uint16_t status = oldStatus ^ StatusHblank;
    uint32_t line = ReadIoHalf(m, Io::VCOUNT);
    cpu.SliceLength = (status & StatusHblank) ? HblankCycles : DrawCycles;
    m.Clock.HalfLineEnd += cpu.SliceLength;

    if (status & StatusHblank) {
        if (line < VisibleLines) FinishVisibleLine(m, line);
    } else {
        line = (line + 1) % LinesPerFrame;
        StoreIoHalf(m, Io::VCOUNT, uint16_t(line));
        status &= ~StatusLineMatch;
        if (line == uint32_t(status >> 8)) status |= StatusLineMatch;
        if (line < VisibleLines) {
            if (line == 0) status &= ~StatusVblank;
            TriggerDma(m, DmaTiming::Special);
        } else if (line == VisibleLines) {
            status |= StatusVblank;
            if (!BeginVerticalBlank(m)) return false;
        }
    }

    // A status flag that has just risen requests its interrupt when its
    // enable bit (three places above it) is set.
    const uint16_t raised = (oldStatus ^ status) & status & (status >> 3) & 7;
    RaiseInterrupt(m, raised);
    StoreIoHalf(m, Io::DISPSTAT, status);
    return true;
}

}  // namespace

uint32_t ScanlineTick(Machine& m) {
    CpuState& cpu = m.Cpu;
    // The slice has run to its end (Cycles is 0 or below), at the end of a
    // half-line or at a timer's interrupt; the timers catch up first.
    const int64_t now = ClockNow(cpu, m.Clock);
    // Stopped timers (most slice ends) only move their time on.
    TimerBlock& timers = m.TimerState;
    if (!TimersIdle(timers))
        RunTimers(m, now);
    else if (now > timers.Time && !timers.CatchingUp)
        timers.Time = now;
    if (now >= m.Clock.HalfLineEnd && !EndHalfLine(m)) return StopRunLoop;

    const uint32_t pending = PendingInterrupts(m);
    if (m.HaltState == Halt::Halted && EnabledRequests(m)) m.HaltState = Halt::Woken;
    // The next slice lasts to the end of the half-line, or to the next
    // timer interrupt if that comes first.
    const int64_t nextTimer = TimersIdle(m.TimerState) ? NeverTime : NextTimerInterrupt(m);
    GrantSlice(cpu, m.Clock, std::min(m.Clock.HalfLineEnd, nextTimer));
    return pending;
}
