#include "platform/qt/timer.h"

#include <QCoreApplication>
#include <QTimer>
#include <map>

namespace {

std::map<int, QTimer*> Timers;
int LastHandle = 0;

}  // namespace

int StartPeriodicTimer(uint32_t intervalMs, void (*tick)()) {
    if (!tick || !QCoreApplication::instance()) return 0;
    auto* timer = new QTimer;
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(int(intervalMs));
    QObject::connect(timer, &QTimer::timeout, tick);
    timer->start();
    Timers[++LastHandle] = timer;
    return LastHandle;
}

void StopPeriodicTimer(int handle) {
    const auto found = Timers.find(handle);
    if (found == Timers.end()) return;
    found->second->stop();
    // The timer may be stopping from inside its own callback.
    found->second->deleteLater();
    Timers.erase(found);
}
