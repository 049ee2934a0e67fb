#include "frontend/main_window.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cpu/run_loop.h"
#include "frontend/config.h"
#include "frontend/dialogs.h"
#include "frontend/frame_timer.h"
#include "frontend/input.h"
#include "game/game.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "machine/machine.h"
#include "platform/audio/audio_host.h"
#include "platform/qt/desktop.h"
#include "platform/qt/dialog.h"
#include "platform/qt/joystick.h"
#include "sound/midi_log.h"
#include "sound/sound_output.h"
#include "video/render_line.h"

FrontEndState FrontEnd;

GameSettings& Settings() { return FrontEnd.Handheld->Settings; }

namespace {

void LeaveEventLoop(int status) { ExitEventLoop(status); }

void WarnInBox(const char* text) {
    WithFramesStopped([&] { ShowWarningBox("KORU", text); });
}

const MenuItem FileMenu[] = {
    {CommandOpen, "打开(&N)"},          {CommandSettings, "设置(&E)"},      {0, nullptr},
    {CommandLoadState, "读取状态(&L)"}, {CommandSaveState, "记忆状态(&S)"}, {0, nullptr},
    {CommandQuit, "退出(&Q)"},
};
const MenuItem SizeMenu[] = {
    {CommandSize1, "1:1 (240x160)"},
    {CommandSize1 + 1, "2:1 (480x320)"},
    {CommandSize1 + 2, "3:1 (720x480)"},
    {CommandSize1 + 3, "4:1 (960x640)"},
    {0, nullptr},
    {CommandRememberSize, "快照(&S)"},
};
const MenuItem HelpMenu[] = {
    {CommandGameInfo, "讯息(&I)"},
    {CommandAbout, "关于(&A)"},
};

constexpr int VisibleWidth = 240;
constexpr int VisibleHeight = 160;

void PresentFrame(void*, const uint16_t*) { ShowPicture(); }

void ReportProblem(void*, const char* message) { ShowProblem(message); }

void WindowResized(int width, int height) {
    Settings().ClientWidth = width;
    Settings().ClientHeight = height;
}

// With SaveCPU the emulation and the sound stop while the window is in the
// background or minimised; without it only the held keys are forgotten.
void WindowActivationChanged(bool active, bool minimised) {
    Input.KeyboardState = 0;
    if (!Settings().SaveCPU) return;
    if (active && !minimised) {
        OpenSoundDevice(Handheld(), Settings().SoundRate, Settings().SoundBuffers);
        SetMasterVolume(Handheld(), Settings().SoundVolume, Settings().SoundSwitch);
        SetActive(true);
    } else {
        CloseSoundDevice(Handheld());
        SetActive(false);
    }
}

void WindowMenuLoop(bool entered) {
    FrontEnd.MenuOpen = entered;
    SetActive(!entered);
}

// The keyboard's auto-repeat sends more key-downs for a held key (and, from
// the X server, a key-up before each); neither is a real change of the key.
void WindowKey(uint32_t keyCode, bool down, bool repeat) {
    if (repeat) return;
    HandleKey(keyCode, down);
}

void WindowCommand(uint32_t id) { HandleCommand(id); }

void WindowCloseRequested() { QuitProgram(); }

void ReportFailedStart(StartFailure failure) {
    std::fprintf(stderr, "koru: cannot start %s: %s\n", Settings().Cartridge, StartFailureText(failure));
}

// The next game after a stop or an Open without a game: the cartridge in
// Settings().Cartridge, and the file dialog again while it cannot start.
// Cancelling leaves the window without a game until the player opens
// another one (or quits).
void StartChosenGame() {
    for (;;) {
        const GameStart start = BeginGame(Settings().Cartridge);
        if (start.Started()) return;
        ReportFailedStart(start.Failure);
        if (!AskForFile(Settings().Cartridge, CartridgeFilter)) return;
    }
}

void CleanUp() {
    ReleaseMainWindow();
    CloseDesktop();
}

}  // namespace

const std::array<MenuPopup, 3> MainMenu = {{
    {"文件(&F)", FileMenu},
    {"尺寸(&S)", SizeMenu},
    {"帮助(&H)", HelpMenu},
}};

const std::array<FileFilter, 2> CartridgeFilter = {{
    {"游戏卡带 (*.gba;*.bin;*.gz)", "*.gba;*.bin;*.gz"},
    {"All Files (*.*)", "*.*"},
}};

const std::array<FileFilter, 2> StateFilter = {{
    {"状态文件 (*.sta)", "*.sta"},
    {"All Files (*.*)", "*.*"},
}};

void (*EndProcess)(int status) = LeaveEventLoop;
bool (*ChooseFile)(char* path, std::size_t capacity, std::span<const FileFilter> filters) = AskOpenFileName;
void (*ShowMessageBox)(const char* text) = WarnInBox;

void ShowProblem(const char* message) {
    std::fprintf(stderr, "koru: %s\n", message);
    if (!FrontEnd.QuitRequestedBySignal) ShowMessageBox(message);
}

bool CreateMainWindow() {
    WindowCallbacks callbacks;
    callbacks.Resized = WindowResized;
    callbacks.ActivationChanged = WindowActivationChanged;
    callbacks.MenuLoop = WindowMenuLoop;
    callbacks.Key = WindowKey;
    callbacks.Command = WindowCommand;
    callbacks.CloseRequested = WindowCloseRequested;
    if (!OpenMainWindow("KORU", MainMenu, callbacks, 500, 160)) return false;

    Handheld().FrameSurface.fill(0);
    SetPictureSource(Handheld().FrameSurface.data(), SurfaceWidth, SurfaceHeight, SurfaceWidth * sizeof(uint16_t),
                     LineGuard, 0, VisibleWidth, VisibleHeight);

    Input.JoystickCount = uint8_t(std::clamp(CountJoysticks(), 0, 255));
    if (Input.JoystickCount && !GetJoystickRange(Input.Joystick)) Input.JoystickCount = 0;
    return true;
}

void ReleaseMainWindow() {
    CloseMainWindow();
    StopFrameTimer();
    CloseSoundDevice(Handheld());
    CloseJoysticks();
}

void ResizeClient(int width, int height) { ResizeClientArea(width, height); }

void MoveWindowTo(int x, int y) { MoveMainWindow(x, y); }

bool AskForFile(char* path, std::span<const FileFilter> filters) {
    return WithFramesStopped([&] { return ChooseFile(path, MaxPathLength + 1, filters); });
}

GameStart BeginGame(const char* cartridgePath) {
    ApplyGameSettings(cartridgePath);
    const GameStart start = StartGame(Handheld(), cartridgePath);
    FrontEnd.GameRunning = start.Started();
    if (!start.Started()) EndGame(Handheld());
    return start;
}

void EndCurrentGame() {
    FrontEnd.GameRunning = false;
    EndGame(Handheld());
}

void RestartGame() {
    // A running game ends at its next vertical blank (RunNextFrame then
    // starts the game); without one the game starts now.
    if (FrontEnd.GameRunning)
        Handheld().StopRequested = true;
    else
        StartChosenGame();
}

bool EmulationPaused() { return FrontEnd.MenuOpen || FrontEnd.ModalDepth > 0 || (Settings().SaveCPU && !IsActive()); }

void RunNextFrame() {
    if (!FrontEnd.GameRunning || FrontEnd.InFrame || FrontEnd.Quitting || EmulationPaused()) return;
    FrontEnd.InFrame = true;
    if (RunFrame(Handheld()) == FrameEnd::Stopped && !FrontEnd.Quitting) {
        // Another game was opened, CheckCRC changed, or the settings
        // dialog's reset: the run ends and the (next) game starts.
        EndCurrentGame();
        StartChosenGame();
    }
    FrontEnd.InFrame = false;
}

void HandleCommand(uint32_t id) {
    const uint32_t command = id & 0xFFFF;
    switch (command) {
    case CommandOpen:
        if (AskForFile(Settings().Cartridge, CartridgeFilter)) RestartGame();
        return;
    case CommandSettings: WithFramesStopped([] { RunDialog(SettingsDialog, SettingsDialogProc); }); return;
    case CommandLoadState:
        if (AskForFile(FrontEnd.StatePath, StateFilter) && FrontEnd.GameRunning)
            LoadState(Handheld(), FrontEnd.StatePath);
        return;
    case CommandSaveState:
        if (AskForFile(FrontEnd.StatePath, StateFilter) && FrontEnd.GameRunning)
            SaveState(Handheld(), FrontEnd.StatePath);
        return;
    case CommandQuit: QuitProgram(); return;
    case CommandSize1:
    case CommandSize1 + 1:
    case CommandSize1 + 2:
    case CommandSize1 + 3: {
        const int scale = int(command - CommandSize1 + 1);
        ResizeClient(scale * VisibleWidth, scale * VisibleHeight);
        return;
    }
    case CommandRememberSize: SaveWindowPlacement(); return;
    case CommandGameInfo:
        // The dialog describes the running game's header.
        if (FrontEnd.GameRunning) WithFramesStopped([] { RunDialog(GameInfoDialog, GameInfoDialogProc); });
        return;
    case CommandAbout: WithFramesStopped([] { RunDialog(AboutDialog, AboutDialogProc); }); return;
    default: return;
    }
}

void QuitProgram() {
    if (FrontEnd.Quitting) return;
    FrontEnd.Quitting = true;
    SaveCartridgePath();
    EndCurrentGame();
    // EndGame finishes a recording; this covers a log left open between runs.
    FinishMidiLog(Handheld().MidiLog);
    ReleaseMainWindow();
    EndProcess(0);
}

void QuitOnSignal() {
    FrontEnd.QuitRequestedBySignal = true;
    QuitProgram();
}

int RunProgram(int argc, char** argv) {
    if (!OpenDesktop(argc, argv)) {
        std::fprintf(stderr, "koru: no display to open the window on\n");
        return 1;
    }
    const std::unique_ptr<Machine> machine = CreateMachine();
    if (!machine) {
        std::fprintf(stderr, "koru: out of memory\n");
        CloseDesktop();
        return 1;
    }
    FrontEnd = FrontEndState{};
    FrontEnd.Handheld = machine.get();
    OnTerminationRequest(QuitOnSignal);
    // Under a file size limit (ulimit -f) a write past it fails with EFBIG
    // like a full disk, instead of killing the program with the game unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    HostInterface& host = machine->Host;
    InstallAudioHost(*machine);
    host.ReportProblem = ReportProblem;
    host.PollInput = PollInput;
    host.PresentFrame = PresentFrame;
    if (!CreateMainWindow()) {
        CleanUp();
        return 1;
    }
    const char* commandLine = argc > 1 ? argv[1] : "";
    ReadWindowSettings(commandLine);
    SetActive(true);

    if (!*commandLine && !AskForFile(Settings().Cartridge, CartridgeFilter)) {
        CleanUp();
        return 1;
    }
    const GameStart first = BeginGame(Settings().Cartridge);
    if (!first.Started()) {
        ReportFailedStart(first.Failure);
        CleanUp();
        return 1;
    }
    // From here the event loop runs the program; it ends through the quit path.
    const int status = RunEventLoop();
    CloseDesktop();
    return status;
}
