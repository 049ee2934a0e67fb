#include "platform/qt/desktop.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
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

// The self-pipe: the handler writes a byte, the event loop sees the read
// end become readable. Writing to a pipe is one of the few things a signal
// handler may do; calling into Qt or the emulation is not.
int TerminationPipe[2] = {-1, -1};
void (*TerminationHandler)() = nullptr;

void NoteTermination(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(TerminationPipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

bool OpenDesktop(int& argc, char** argv) {
    if (!Application) {
        if (!DisplayAvailable()) return false;
        Application = new QApplication(argc, argv);
    }
    // The window system owns the keyboard and the process's signals; SDL only
    // reads the gamepads, which are polled, never queued.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {
        SDL_JoystickEventState(SDL_IGNORE);
        SDL_GameControllerEventState(SDL_IGNORE);
    }
    return true;
}

int RunEventLoop() { return QApplication::exec(); }

void ExitEventLoop(int status) { QCoreApplication::exit(status); }

void OnTerminationRequest(void (*quit)()) {
    TerminationHandler = quit;
    if (TerminationPipe[0] >= 0 || !Application) return;
    if (::pipe2(TerminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(TerminationPipe[0], QSocketNotifier::Read, Application);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (::read(TerminationPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (TerminationHandler) TerminationHandler();
    });
    struct sigaction action {};
    action.sa_handler = NoteTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void CloseDesktop() {
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER)) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}
