#include "platform/qt/timer.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

QTimer* Alarm = nullptr;
double Due = 0;
void (*Tick)() = nullptr;

// Qt's timers count whole milliseconds: the alarm is set for the last
// whole millisecond before the due time and the rest is slept.
void Ring() {
    const double early = Due - MonotonicSeconds();
    if (early > 0 && early < 0.002) std::this_thread::sleep_for(std::chrono::duration<double>(early));
    if (Tick) Tick();
}

}  // namespace

double MonotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SetAlarm(double due, void (*tick)()) {
    if (!QCoreApplication::instance()) return;
    if (!Alarm) {
        Alarm = new QTimer(QCoreApplication::instance());
        Alarm->setSingleShot(true);
        Alarm->setTimerType(Qt::PreciseTimer);
        QObject::connect(Alarm, &QTimer::timeout, Ring);
    }
    Due = due;
    Tick = tick;
    const double wait = due - MonotonicSeconds();
    Alarm->start(wait > 0 ? int(std::floor(wait * 1000)) : 0);
}

void CancelAlarm() {
    Tick = nullptr;
    if (Alarm) Alarm->stop();
}

bool AlarmSet() { return Tick != nullptr; }
