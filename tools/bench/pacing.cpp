// The desktop program's pace, measured: the front-end runs a game from its
// event loop (on Qt's offscreen platform) and the frames are counted over
// the monotonic clock, at the normal pace, fast-forwarded at 4x and
// unlimited, and back at the normal pace. Not part of the test suite:
//   koru_pacing CARTRIDGE [SECONDS]

#include <QApplication>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "frontend/frame_timer.h"
#include "frontend/input.h"
#include "frontend/main_window.h"
#include "frontend/play_control.h"
#include "machine/machine.h"
#include "platform/qt/desktop.h"

namespace {

long Frames = 0;

uint32_t CountFrame(void* context) {
    ++Frames;
    return PollInput(context);
}

double Rate(double seconds) {
    const long before = Frames;
    const auto start = std::chrono::steady_clock::now();
    QTest::qWait(int(seconds * 1000));
    return double(Frames - before) / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc < 2 || !OpenDesktop(argc, argv)) {
        std::fprintf(stderr, "usage: koru_pacing CARTRIDGE [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
    const std::unique_ptr<Machine> machine = CreateMachine();
    FrontEnd.Handheld = machine.get();
    machine->Host.PollInput = CountFrame;
    machine->LoadDefaultState = false;
    machine->BatteryFileEnabled = false;
    if (!CreateMainWindow() || !BeginGame(argv[1]).Started()) return 1;
    Settings().SaveCPU = 0;
    QTest::qWait(500);
    std::printf("normal:        %.3f frames/s (the handheld: %.4f)\n", Rate(seconds), HandheldFrameRate);
    Play.FastForwardSpeed = 4;
    SetFastForwardHeld(true);
    std::printf("fast-forward 4x: %.1f frames/s\n", Rate(seconds / 2));
    Play.FastForwardSpeed = 0;
    SetFastForwardHeld(true);
    std::printf("unlimited:     %.1f frames/s\n", Rate(seconds / 2));
    SetFastForwardHeld(false);
    QTest::qWait(100);
    std::printf("normal again:  %.3f frames/s\n", Rate(seconds));
    return 0;
}
