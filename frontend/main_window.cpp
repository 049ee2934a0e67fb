#include "frontend/main_window.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "frontend/config.h"
#include "frontend/dialogs.h"
#include "frontend/frame_timer.h"
#include "frontend/input.h"
#include "game/game.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "machine/host.h"
#include "platform/audio/audio_host.h"
#include "platform/qt/desktop.h"
#include "platform/qt/dialog.h"
#include "platform/qt/joystick.h"
#include "sound/midi_log.h"
#include "sound/sound_output.h"
#include "video/render_line.h"

FrontEndState FrontEnd;

namespace {

void ExitNow(int status) {
    std::fflush(nullptr);
    std::exit(status);
}

void WarnInBox(const char* text) { ShowWarningBox("KORU", text); }

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

void PresentFrame(const uint16_t*) { ShowPicture(); }

void WindowResized(int width, int height) {
    Settings.ClientWidth = width;
    Settings.ClientHeight = height;
}

// A repaint shows the surface as it stands; like a presented frame it
// waits for the frame tick when pacing is on.
void WindowRepainting() { WaitFrameTick(); }

// With SaveCPU the emulation and the sound stop while the window is in the
// background or minimised; without it only the held keys are forgotten.
void WindowActivationChanged(bool active, bool minimised) {
    Input.KeyboardState = 0;
    if (!Settings.SaveCPU) return;
    if (active && !minimised) {
        OpenSoundDevice(Settings.SoundRate, Settings.SoundBuffers);
        SetMasterVolume(Settings.SoundVolume, Settings.SoundSwitch);
        SetActive(1);
    } else {
        CloseSoundDevice();
        SetActive(0);
    }
}

void WindowMenuLoop(bool entered) { SetActive(entered ? 0 : 1); }

// The keyboard's auto-repeat sends more key-downs for a held key (and, from
// the X server, a key-up before each); neither is a real change of the key.
void WindowKey(uint32_t keyCode, bool down, bool repeat) {
    if (repeat) return;
    HandleKey(keyCode, down);
}

void WindowCommand(uint32_t id) { HandleCommand(id); }

void WindowCloseRequested() { QuitProgram(); }

void ReportFailedStart() {
    std::fprintf(stderr, "koru: cannot start %s: %s\n", Settings.Cartridge, StartFailureText(LastStartFailure));
}

// After a game could not start and the file dialog was cancelled, the
// window stays open without a game until the player opens another one
// (or quits) from the menu.
void WaitForAnotherGame() {
    StopRequested = false;
    while (!StopRequested && !FrontEnd.Quitting) WaitForEvents();
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

void (*EndProcess)(int status) = ExitNow;
bool (*ChooseFile)(char* path, std::size_t capacity, std::span<const FileFilter> filters) = AskOpenFileName;
void (*ShowMessageBox)(const char* text) = WarnInBox;

void ShowProblem(const char* message) {
    std::fprintf(stderr, "koru: %s\n", message);
    if (!FrontEnd.QuitRequestedBySignal) ShowMessageBox(message);
}

bool CreateMainWindow() {
    WindowCallbacks callbacks;
    callbacks.Resized = WindowResized;
    callbacks.Repainting = WindowRepainting;
    callbacks.ActivationChanged = WindowActivationChanged;
    callbacks.MenuLoop = WindowMenuLoop;
    callbacks.Key = WindowKey;
    callbacks.Command = WindowCommand;
    callbacks.CloseRequested = WindowCloseRequested;
    if (!OpenMainWindow("KORU", MainMenu, callbacks, 500, 160)) return false;

    FrameSurface.fill(0);
    SetPictureSource(FrameSurface.data(), SurfaceWidth, SurfaceHeight, SurfaceWidth * sizeof(uint16_t), LineGuard, 0,
                     VisibleWidth, VisibleHeight);

    Input.JoystickCount = uint8_t(std::clamp(CountJoysticks(), 0, 255));
    if (Input.JoystickCount && !GetJoystickRange(Input.Joystick)) Input.JoystickCount = 0;
    return true;
}

void ReleaseMainWindow() {
    CloseMainWindow();
    StartFrameTimer(0);
    CloseSoundDevice();
    CloseJoysticks();
}

void ResizeClient(int width, int height) { ResizeClientArea(width, height); }

void MoveWindowTo(int x, int y) { MoveMainWindow(x, y); }

bool AskForFile(char* path, std::span<const FileFilter> filters) {
    return ChooseFile(path, MaxPathLength + 1, filters);
}

void HandleCommand(uint32_t id) {
    const uint32_t command = id & 0xFFFF;
    switch (command) {
    case CommandOpen:
        if (AskForFile(Settings.Cartridge, CartridgeFilter)) StopRequested = true;
        return;
    case CommandSettings: RunDialog(SettingsDialog, SettingsDialogProc); return;
    case CommandLoadState:
        if (AskForFile(FrontEnd.StatePath, StateFilter) && FrontEnd.GameRunning) LoadState(FrontEnd.StatePath);
        return;
    case CommandSaveState:
        if (AskForFile(FrontEnd.StatePath, StateFilter) && FrontEnd.GameRunning) SaveState(FrontEnd.StatePath);
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
        if (FrontEnd.GameRunning) RunDialog(GameInfoDialog, GameInfoDialogProc);
        return;
    case CommandAbout: RunDialog(AboutDialog, AboutDialogProc); return;
    default: return;
    }
}

void QuitProgram() {
    if (FrontEnd.Quitting) return;
    FrontEnd.Quitting = true;
    SaveCartridgePath();
    FrontEnd.GameRunning = false;
    EndGame();
    // EndGame finishes a recording; this covers a log left open between runs.
    FinishMidiLog();
    ReleaseMainWindow();
    CloseDesktop();
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
    OnTerminationRequest(QuitOnSignal);
    // Under a file size limit (ulimit -f) a write past it fails with EFBIG
    // like a full disk, instead of killing the program with the game unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    Verbose = 0;
    Host.ReportProblem = ShowProblem;
    Host.PollInput = PollInput;
    Host.PresentFrame = PresentFrame;
    Host.WaitFrameTick = WaitFrameTick;
    InstallAudioHost(Host);
    if (!CreateMainWindow()) {
        CleanUp();
        return 1;
    }
    const char* commandLine = argc > 1 ? argv[1] : "";
    ReadWindowSettings(commandLine);
    SetActive(1);

    if (!*commandLine && !AskForFile(Settings.Cartridge, CartridgeFilter)) {
        CleanUp();
        return 1;
    }
    if (!LoadGameSettings(Settings.Cartridge)) {
        ReportFailedStart();
        CleanUp();
        return 1;
    }
    // Each run ends by a stop request (another game, a restart); the program
    // itself ends only through the quit path.
    for (;;) {
        while (LoadGameSettings(Settings.Cartridge)) {
        }
        ReportFailedStart();
        if (!AskForFile(Settings.Cartridge, CartridgeFilter)) WaitForAnotherGame();
    }
}
