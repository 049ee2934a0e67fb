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
#include "machine/timers.h"
#include "sound/midi_log.h"
#include "sound/sample_channels.h"
#include "sound/sound_chip.h"
#include "video/render_line.h"

uint32_t FrameSkipCount = 0;
uint32_t AutoFirePhase = 0;
uint32_t FrameCount = 0;

namespace {

// The horizontal blank of a visible line: the line is drawn now, with the
// affine backgrounds at their current points, which then move on by one
// line's step (PB, PD).
void FinishVisibleLine(uint32_t line) {
    if (FrameSkipCount == 0) {
        if (line == 0) {
            for (AffineBackground& bg : AffineState) {
                bg.CurX = bg.RefX;
                bg.CurY = bg.RefY;
            }
        }
        RenderLine();
        for (AffineBackground& bg : AffineState) {
            bg.CurX += bg.PB;
            bg.CurY += bg.PD;
        }
    }
    TriggerDma(DmaTiming::Hblank);
}

// KEYCNT bit 14 enables the keypad interrupt, bits 0-9 select keys, and
// bit 15 asks for all selected keys at once instead of any of them.
void CheckKeypadInterrupt(uint16_t keyinput) {
    const uint16_t keycnt = ReadIoHalf(Io::KEYCNT);
    if ((keycnt & 0x43FF) <= 0x4000) return;
    const uint32_t selected = keycnt & 0x3FF;
    const uint32_t pressed = ~keyinput & selected;
    const bool holds = (keycnt & 0x8000) ? pressed == selected : pressed != 0;
    if (holds) RaiseInterrupt(IrqKeypad);
}

// The start of the vertical blank: present the finished frame, run the
// vertical-blank DMAs, read the keypad (which also lets the front-end handle
// its events) and give the sound its frame tick. False when the front-end
// asked the game run to stop.
bool BeginVerticalBlank() {
    ++FrameCount;
    if (FrameSkipCount != 0) {
        --FrameSkipCount;
    } else {
        Host.WaitFrameTick();
        Host.PresentFrame(FrameSurface.data());
        // A period below 1 would wrap the count and stop drawing for ages.
        FrameSkipCount = uint32_t(std::max(Settings.UpdatePeriod, 1) - 1);
    }
    TriggerDma(DmaTiming::Vblank);

    // The front-end reports 1 = pressed; the register reads 0 = pressed, and
    // its unused top bits (10-15) read 0.
    const uint32_t pressed = Host.PollInput();
    BatteryFrameTick();
    // The front-end may have loaded a snapshot or reset the machine.
    SyncSampleChannels();
    uint16_t keyinput = uint16_t(~pressed & KeyMask);
    AutoFirePhase = (AutoFirePhase + 1) & 7;
    if (AutoFirePhase & 4) keyinput |= uint16_t(Settings.AutoFire & KeyMask);
    StoreIoHalf(Io::KEYINPUT, keyinput);
    CheckKeypadInterrupt(keyinput);

    if (StopRequested) return false;

    AdvanceMidiLog(16);
    TickSoundChip(SoundChip, 16);
    RefreshSoundChip(SoundChip, 2);
    return true;
}

// The display moves on to its next half-line. False when the front-end
// asked the game run to stop.
bool EndHalfLine(CpuState& cpu) {
    const uint16_t oldStatus = ReadIoHalf(Io::DISPSTAT);
    uint16_t status = oldStatus ^ StatusHblank;
    uint32_t line = ReadIoHalf(Io::VCOUNT);
    cpu.SliceLength = (status & StatusHblank) ? HblankCycles : DrawCycles;
    Clock.HalfLineEnd += cpu.SliceLength;

    if (status & StatusHblank) {
        if (line < VisibleLines) FinishVisibleLine(line);
    } else {
        line = (line + 1) % LinesPerFrame;
        StoreIoHalf(Io::VCOUNT, uint16_t(line));
        status &= ~StatusLineMatch;
        if (line == uint32_t(status >> 8)) status |= StatusLineMatch;
        if (line < VisibleLines) {
            if (line == 0) status &= ~StatusVblank;
            TriggerDma(DmaTiming::Special);
        } else if (line == VisibleLines) {
            status |= StatusVblank;
            if (!BeginVerticalBlank()) return false;
        }
    }

    // A status flag that has just risen requests its interrupt when its
    // enable bit (three places above it) is set.
    const uint16_t raised = (oldStatus ^ status) & status & (status >> 3) & 7;
    RaiseInterrupt(raised);
    StoreIoHalf(Io::DISPSTAT, status);
    return true;
}

}  // namespace

uint32_t ScanlineTick(CpuState& cpu) {
    // The slice has run to its end (Cycles is 0 or below), at the end of a
    // half-line or at a timer's interrupt; the timers catch up first.
    const int64_t now = ClockNow();
    RunTimers(now);
    if (now >= Clock.HalfLineEnd && !EndHalfLine(cpu)) return StopRunLoop;

    const uint32_t pending = PendingInterrupts();
    cpu.IrqPending = pending;
    if (HaltState == Halt::Halted && EnabledRequests()) HaltState = Halt::Woken;
    // The next slice lasts to the end of the half-line, or to the next
    // timer interrupt if that comes first.
    GrantSlice(std::min(Clock.HalfLineEnd, NextTimerInterrupt()));
    return pending;
}
