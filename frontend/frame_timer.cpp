#include "frontend/frame_timer.h"

#include <atomic>

#include "frontend/config.h"
#include "platform/qt/timer.h"

namespace {

int TimerHandle = 0;
// Set by the timer thread, cleared by the emulation: one word each side
// writes, so no lock is needed; wait and notify let the waiting side sleep.
std::atomic<int> TickFlag{0};

void RaiseTick() {
    TickFlag.store(1);
    TickFlag.notify_one();
}

}  // namespace

int StartFrameTimer(int32_t hz) {
    if (TimerHandle) StopPeriodicTimer(TimerHandle);
    TimerHandle = 0;
    if (hz >= 1 && hz <= MaxTimerPeriod) TimerHandle = StartPeriodicTimer(uint32_t(1000 / hz), RaiseTick);
    return TimerHandle;
}

void WaitFrameTick() {
    if (!TimerHandle) return;
    while (TickFlag.exchange(0) == 0) TickFlag.wait(0);
}

bool FrameTimerRunning() { return TimerHandle != 0; }
