#include "frontend/frame_timer.h"

#include "frontend/config.h"
#include "frontend/main_window.h"
#include "platform/qt/timer.h"

namespace {

// More than this many periods behind, the pacer starts afresh.
constexpr double LongestCatchUp = 4;

FramePacer Pacer;
bool Running = false;
double BasePeriod = 0;  // the TimerPeriod's period
int32_t Speed = 1;

void ApplySpeed() {
    Pacer.Period = Speed == 0 || BasePeriod == 0 ? 0 : BasePeriod / Speed;
    Pacer.Started = false;
}

void Tick() {
    RunNextFrame();
    if (Running) SetAlarm(NextFrameDue(Pacer, MonotonicSeconds()), Tick);
}

}  // namespace

double NextFrameDue(FramePacer& pacer, double now) {
    if (!pacer.Started || pacer.NextDue + pacer.Period * LongestCatchUp < now) {
        pacer.Started = true;
        pacer.NextDue = now;
    }
    pacer.NextDue += pacer.Period;
    return pacer.NextDue;
}

int StartFrameTimer(int32_t hz) {
    StopFrameTimer();
    const bool paced = hz >= 1 && hz <= MaxTimerPeriod;
    BasePeriod = paced ? 60.0 / (HandheldFrameRate * hz) : 0;
    ApplySpeed();
    Running = true;
    SetAlarm(MonotonicSeconds(), Tick);
    return paced && AlarmSet();
}

void StopFrameTimer() {
    Running = false;
    CancelAlarm();
}

bool FrameTimerRunning() { return Running; }

void SetFrameSpeed(int32_t speed) {
    if (speed == Speed) return;
    Speed = speed;
    ApplySpeed();
}

double FramePeriodSeconds() { return Pacer.Period; }
