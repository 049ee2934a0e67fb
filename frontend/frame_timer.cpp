#include "frontend/frame_timer.h"

#include "frontend/config.h"
#include "frontend/main_window.h"
#include "platform/qt/timer.h"

namespace {

int TimerHandle = 0;
uint32_t PeriodMs = 0;

}  // namespace

int StartFrameTimer(int32_t hz) {
    StopFrameTimer();
    const bool paced = hz >= 1 && hz <= MaxTimerPeriod;
    PeriodMs = paced ? uint32_t(1000 / hz) : 0;
    TimerHandle = StartPeriodicTimer(PeriodMs, RunNextFrame);
    return paced && TimerHandle;
}

void StopFrameTimer() {
    if (TimerHandle) StopPeriodicTimer(TimerHandle);
    TimerHandle = 0;
    PeriodMs = 0;
}

bool FrameTimerRunning() { return TimerHandle != 0; }

uint32_t FramePeriodMs() { return PeriodMs; }
