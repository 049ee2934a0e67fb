#include "platform/qt/timer.h"

#include <SDL.h>

namespace {

// SDL's timer thread calls this; the front-end's tick function travels in
// the user pointer, so nothing is allocated that could outlive the timer.
Uint32 TimerThreadTick(Uint32 interval, void* tick) {
    reinterpret_cast<void (*)()>(tick)();
    return interval;
}

}  // namespace

int StartPeriodicTimer(uint32_t intervalMs, void (*tick)()) {
    if (intervalMs == 0 || !tick) return 0;
    if (!SDL_WasInit(SDL_INIT_TIMER) && SDL_InitSubSystem(SDL_INIT_TIMER) != 0) return 0;
    return SDL_AddTimer(intervalMs, TimerThreadTick, reinterpret_cast<void*>(tick));
}

void StopPeriodicTimer(int handle) {
    if (handle != 0) SDL_RemoveTimer(handle);
}
