#include "platform/qt/desktop.h"

#include <SDL.h>

#include <QApplication>
#include <cstdlib>

namespace {

QApplication* Application = nullptr;

// Qt ends the process when it cannot reach a display; ask first, so that the
// caller can fail in its own way.
bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

bool OpenDesktop(int& argc, char** argv) {
    if (!Application) {
        if (!DisplayAvailable()) return false;
        Application = new QApplication(argc, argv);
    }
    // The window system owns the keyboard and the process's signals; SDL only
    // times frames and reads the joystick, which is polled, never queued.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_TIMER) != 0) return false;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0) SDL_JoystickEventState(SDL_IGNORE);
    return true;
}

void DispatchPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void WaitForEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents); }

void CloseDesktop() {
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    if (SDL_WasInit(SDL_INIT_TIMER)) SDL_QuitSubSystem(SDL_INIT_TIMER);
}
