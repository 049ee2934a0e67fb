#include "frontend/main_window.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "cpu/run_loop.h"
#include "frontend/command_line.h"
#include "frontend/config.h"
#include "frontend/dialogs.h"
#include "frontend/frame_timer.h"
#include "frontend/input.h"
#include "frontend/key_bindings.h"
#include "frontend/play_control.h"
#include "game/game.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "machine/machine.h"
#include "platform/audio/audio_host.h"
#include "platform/qt/desktop.h"
#include "platform/qt/dialog.h"
#include "platform/qt/gamepad.h"
#include "sound/midi_log.h"
#include "sound/sound_output.h"
#include "video/render_line.h"

FrontEndState FrontEnd;

GameSettings& Settings() { return FrontEnd.Handheld->Settings; }

namespace {

void WarnInBox(const char* text) {
    WithFramesStopped([&] { ShowWarningBox("KORU", text); });
}

void InformInBox(const char* text) {
    WithFramesStopped([&] { ShowInformationBox("KORU", text); });
}

const MenuItem FileMenu[] = {
    {CommandOpen, "打开(&N)", nullptr, "Open a cartridge (or drop one on the window)"},
    {CommandRecent1, "", nullptr, "Play this cartridge again"},
    {CommandRecent1 + 1, ""},
    {CommandRecent1 + 2, ""},
    {CommandRecent1 + 3, ""},
    {CommandRecent1 + 4, ""},
    {CommandRecent1 + 5, ""},
    {CommandRecent1 + 6, ""},
    {CommandRecent1 + 7, ""},
    {CommandSettings, "设置(&E)"},
    {CommandKeyBindings, "按键设置(&K)", nullptr, "Choose the keyboard keys and gamepad buttons"},
    {0, nullptr},
    {CommandLoadState, "读取状态(&L)", nullptr, "Load a snapshot file"},
    {CommandSaveState, "记忆状态(&S)", nullptr, "Save a snapshot file"},
    {0, nullptr},
    {CommandQuit, "退出(&Q)", "Esc"},
};
const MenuItem GameMenu[] = {
    {CommandPause, "暂停(&P)", "F1", "Pause or resume the game", true},
    {CommandFastForward, "快进(&F)", "Shift+Backspace", "Fast-forward on or off (or hold Backspace)", true},
    {CommandSpeed2, "快进 2 倍", nullptr, "Fast-forward at twice the speed", true},
    {CommandSpeed4, "快进 4 倍", nullptr, "Fast-forward at four times the speed", true},
    {CommandSpeedUnlimited, "快进不限速", nullptr, "Fast-forward as fast as the computer can", true},
    {CommandFastForwardSound, "快进时有声音", nullptr, "Play the sound while fast-forwarding (else muted)", true},
    {0, nullptr},
    {CommandLoadSlot, "读取槽(&L)", "F9", "Load the state of the chosen slot"},
    {CommandSaveSlot, "保存到槽(&S)", "Shift+F9", "Save the state into the chosen slot"},
    {CommandSlot1, "槽 1", "Alt+1", "Choose the slot (its time of saving is shown)", true},
    {CommandSlot1 + 1, "槽 2", "Alt+2", nullptr, true},
    {CommandSlot1 + 2, "槽 3", "Alt+3", nullptr, true},
    {CommandSlot1 + 3, "槽 4", "Alt+4", nullptr, true},
    {CommandSlot1 + 4, "槽 5", "Alt+5", nullptr, true},
    {CommandSlot1 + 5, "槽 6", "Alt+6", nullptr, true},
    {CommandSlot1 + 6, "槽 7", "Alt+7", nullptr, true},
    {CommandSlot1 + 7, "槽 8", "Alt+8", nullptr, true},
    {CommandSlot1 + 8, "槽 9", "Alt+9", nullptr, true},
    {0, nullptr},
    {CommandScreenshot, "截图(&C)", "F10", "Save the picture as a PNG beside the cartridge"},
};
const MenuItem SizeMenu[] = {
    {CommandSize1, "1:1 (240x160)"},
    {CommandSize1 + 1, "2:1 (480x320)"},
    {CommandSize1 + 2, "3:1 (720x480)"},
    {CommandSize1 + 3, "4:1 (960x640)"},
    {0, nullptr},
    {CommandFullscreen, "全屏(&F)", "Alt+Return", "Fullscreen on or off", true},
    {CommandKeepAspect, "保持比例(&K)", nullptr, "Keep the picture's shape (black bars beside it)", true},
    {CommandWholeMultiples, "整数倍缩放(&I)", nullptr, "Scale the picture by whole multiples only", true},
    {0, nullptr},
    {CommandRememberSize, "快照(&S)", nullptr, "Remember the window's size and place"},
};
const MenuItem HelpMenu[] = {
    {CommandGameInfo, "讯息(&I)"},
    {CommandAbout, "关于(&A)"},
};

constexpr int VisibleWidth = 240;
constexpr int VisibleHeight = 160;

void PresentFrame(void*, const uint16_t*) { ShowPicture(); }

void ReportProblem(void*, const char* message) { ShowProblem(message); }

void ReportNote(void*, const char* message) { ShowNote(message); }

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
    if (entered) RefreshMenuStates();
    SetActive(!entered);
}

// The keyboard's auto-repeat sends more key-downs for a held key (and, from
// the X server, a key-up before each); neither is a real change of the key.
void WindowKey(uint32_t keyCode, bool down, bool repeat) {
    if (repeat) return;
    HandleKey(keyCode, down);
}

void ReportFailedStart(StartFailure failure) {
    const std::string message = std::string("cannot start ") + Settings().Cartridge + ": " + StartFailureText(failure);
    ShowProblem(message.c_str());
}

// The window without a game shows black, not the last game's picture.
void ClearPicture() {
    Handheld().FrameSurface.fill(0);
    ShowPicture();
    ShowStatusText("");
    UpdateWindowTitle();
}

// The next game after a stop or an Open without a game: the cartridge in
// Settings().Cartridge, and the file dialog again while it cannot start
// (each failure said in a message box first). Cancelling leaves the window
// without a game until the player opens another one (or quits). True when
// a game runs.
bool StartChosenGame() {
    for (;;) {
        const GameStart start = BeginGame(Settings().Cartridge);
        if (start.Started()) return true;
        ClearPicture();
        ReportFailedStart(start.Failure);
        if (!AskForFile(Settings().Cartridge, CartridgeFilter, OpenCartridgeQuestion)) return false;
        MakeAbsolute(Settings().Cartridge);
    }
}

void CleanUp() {
    ReleaseMainWindow();
    CloseDesktop();
}

}  // namespace

const std::array<MenuPopup, 4> MainMenu = {{
    {"文件(&F)", FileMenu},
    {"游戏(&G)", GameMenu},
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

void (*EndProcess)(int status) = ExitEventLoop;
bool (*ChooseFile)(char* path, std::size_t capacity, std::span<const FileFilter> filters,
                   const FileQuestion& question) = AskFileName;
void (*ShowMessageBox)(const char* text) = WarnInBox;
void (*ShowNoteBox)(const char* text) = InformInBox;

void ShowProblem(const char* message) {
    std::fprintf(stderr, "koru: %s\n", message);
    if (!FrontEnd.QuitRequestedBySignal) ShowMessageBox(message);
}

void ShowNote(const char* message) {
    std::fprintf(stderr, "koru: %s\n", message);
    ShowStatusText(message);
    if (!FrontEnd.QuitRequestedBySignal) ShowNoteBox(message);
}

void MakeAbsolute(char* path) {
    if (!*path || *path == '/') return;
    std::array<char, 4096> directory{};
    if (!getcwd(directory.data(), directory.size())) return;
    const std::string absolute = std::string(directory.data()) + "/" + path;
    if (absolute.size() > MaxPathLength) return;
    std::memcpy(path, absolute.c_str(), absolute.size() + 1);
}

void UpdateWindowTitle() {
    std::string title = "KORU";
    if (FrontEnd.GameRunning) {
        const std::string path = Settings().Cartridge;
        title += " - " + path.substr(path.rfind('/') + 1);
        if (IsPausedByPlayer()) title += " [暂停]";
        if (IsFastForwarding()) title += " [快进]";
    }
    SetWindowTitleText(title.c_str());
}

bool CreateMainWindow() {
    WindowCallbacks callbacks;
    callbacks.Resized = WindowResized;
    callbacks.ActivationChanged = WindowActivationChanged;
    callbacks.MenuLoop = WindowMenuLoop;
    callbacks.Key = WindowKey;
    callbacks.Command = HandleCommand;
    callbacks.CloseRequested = QuitProgram;
    callbacks.FileDropped = OpenCartridge;
    if (!OpenMainWindow("KORU", MainMenu, callbacks, 500, 160)) return false;

    Handheld().FrameSurface.fill(0);
    SetPictureSource(Handheld().FrameSurface.data(), SurfaceWidth, SurfaceHeight, SurfaceWidth * sizeof(uint16_t),
                     LineGuard, 0, VisibleWidth, VisibleHeight);

    return true;
}

void ReleaseMainWindow() {
    CloseMainWindow();
    StopFrameTimer();
    CloseSoundDevice(Handheld());
    CloseGamepads();
}

void ResizeClient(int width, int height) { ResizeClientArea(width, height); }

void MoveWindowTo(int x, int y) { MoveMainWindow(x, y); }

bool AskForFile(char* path, std::span<const FileFilter> filters, const FileQuestion& question) {
    return WithFramesStopped([&] { return ChooseFile(path, MaxPathLength + 1, filters, question); });
}

GameStart BeginGame(const char* cartridgePath) {
    ApplyGameSettings(cartridgePath);
    const GameStart start = StartGame(Handheld(), cartridgePath);
    FrontEnd.GameRunning = start.Started();
    if (!start.Started()) EndGame(Handheld());
    if (start.Started()) RememberRecentCartridge(cartridgePath);
    UpdateWindowTitle();
    return start;
}

void EndCurrentGame() {
    FrontEnd.GameRunning = false;
    EndGame(Handheld());
}

void RestartGame() {
    // A running game ends at its next vertical blank (RunNextFrame then
    // starts the game); without one the game starts now. A paused game
    // must get to that vertical blank.
    if (IsPausedByPlayer()) TogglePause();
    if (FrontEnd.GameRunning)
        Handheld().StopRequested = true;
    else
        StartChosenGame();
}

void OpenCartridge(const char* path) {
    if (std::strlen(path) > MaxPathLength) {
        ShowProblem("the cartridge's path is too long");
        return;
    }
    std::strcpy(Settings().Cartridge, path);
    MakeAbsolute(Settings().Cartridge);
    RestartGame();
}

bool EmulationPaused() {
    return FrontEnd.MenuOpen || FrontEnd.ModalDepth > 0 || IsPausedByPlayer() || (Settings().SaveCPU && !IsActive());
}

void RunNextFrame() {
    if (!FrontEnd.GameRunning || FrontEnd.InFrame || FrontEnd.Quitting || EmulationPaused()) return;
    FrontEnd.InFrame = true;
    if (RunFrame(Handheld()) == FrameEnd::Stopped && !FrontEnd.Quitting) {
        // Another game was opened, CheckCRC changed, or the settings
        // dialog's reset: the run ends and the (next) game starts.
        EndCurrentGame();
        if (!StartChosenGame()) ClearPicture();
    }
    CountFrameRate();
    FrontEnd.InFrame = false;
}

void HandleCommand(uint32_t id) {
    const uint32_t command = id & 0xFFFF;
    if (command >= CommandSlot1 && command < CommandSlot1 + SlotCount) {
        ChooseSlot(int32_t(command - CommandSlot1 + 1));
        return;
    }
    if (command >= CommandRecent1 && command < CommandRecent1 + RecentCount) {
        const std::string path = RecentCartridge(int32_t(command - CommandRecent1));
        if (!path.empty()) OpenCartridge(path.c_str());
        return;
    }
    switch (command) {
    case CommandOpen:
        if (AskForFile(Settings().Cartridge, CartridgeFilter, OpenCartridgeQuestion)) {
            MakeAbsolute(Settings().Cartridge);
            RestartGame();
        }
        return;
    case CommandSettings: WithFramesStopped([] { RunDialog(SettingsDialog, SettingsDialogProc); }); return;
    case CommandKeyBindings: WithFramesStopped([] { RunKeyBindingsDialog(); }); return;
    case CommandLoadState:
        if (AskForFile(FrontEnd.StatePath, StateFilter, {"读取状态", false, nullptr}) && FrontEnd.GameRunning &&
            !LoadState(Handheld(), FrontEnd.StatePath))
            ShowProblem((std::string("cannot load the snapshot ") + FrontEnd.StatePath).c_str());
        return;
    case CommandSaveState:
        // SaveState says itself why a file could not be written.
        if (AskForFile(FrontEnd.StatePath, StateFilter, {"记忆状态", true, "sta"}) && FrontEnd.GameRunning)
            SaveState(Handheld(), FrontEnd.StatePath);
        return;
    case CommandQuit: QuitProgram(); return;
    case CommandSize1:
    case CommandSize1 + 1:
    case CommandSize1 + 2:
    case CommandSize1 + 3: {
        const int scale = int(command - CommandSize1 + 1);
        if (IsFullscreen()) ToggleFullscreen();
        ResizeClient(scale * VisibleWidth, scale * VisibleHeight);
        return;
    }
    case CommandRememberSize: SaveWindowPlacement(); return;
    case CommandGameInfo:
        // The dialog describes the running game's header.
        if (FrontEnd.GameRunning) WithFramesStopped([] { RunDialog(GameInfoDialog, GameInfoDialogProc); });
        return;
    case CommandAbout: WithFramesStopped([] { RunDialog(AboutDialog, AboutDialogProc); }); return;
    case CommandPause: TogglePause(); return;
    case CommandFastForward: ToggleFastForward(); return;
    case CommandSpeed2: SetFastForwardSpeed(2); return;
    case CommandSpeed4: SetFastForwardSpeed(4); return;
    case CommandSpeedUnlimited: SetFastForwardSpeed(0); return;
    case CommandFastForwardSound: SetFastForwardSound(!Play.FastForwardSound); return;
    case CommandLoadSlot: LoadSlot(CurrentSlot()); return;
    case CommandSaveSlot: SaveSlot(CurrentSlot()); return;
    case CommandScreenshot: TakeScreenshot(); return;
    case CommandFullscreen: ToggleFullscreen(); return;
    case CommandKeepAspect: SetScaling(!Play.KeepAspect, Play.WholeMultiples); return;
    case CommandWholeMultiples: SetScaling(Play.KeepAspect, !Play.WholeMultiples); return;
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
    // Asked for help or the version, the program needs no display.
    const CommandLine early = ParseCommandLine(argc, argv);
    if (early.Help || early.Version) {
        std::printf("%s\n", early.Help ? UsageText() : VersionText());
        return 0;
    }
    if (!OpenDesktop(argc, argv)) {
        std::fprintf(stderr, "koru: no display to open the window on\n");
        return 1;
    }
    // The window system has taken its own options out of argv by now.
    const CommandLine line = ParseCommandLine(argc, argv);
    if (!line.Error.empty()) {
        std::fprintf(stderr, "koru: %s\n%s", line.Error.c_str(), UsageText());
        CloseDesktop();
        return 2;
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
    host.ReportNote = ReportNote;
    host.PollInput = PollInput;
    host.PresentFrame = PresentFrame;
    if (!CreateMainWindow()) {
        std::fprintf(stderr, "koru: the window cannot be made\n");
        CleanUp();
        return 1;
    }
    ReadWindowSettings(line.Cartridge.c_str());
    if (line.Scale) {
        // Also the size every game start applies, before the window system
        // has told the new size back.
        Settings().ClientWidth = line.Scale * VisibleWidth;
        Settings().ClientHeight = line.Scale * VisibleHeight;
        ResizeClient(Settings().ClientWidth, Settings().ClientHeight);
    }
    if (line.Fullscreen) ToggleFullscreen();
    SetActive(true);

    // Without a cartridge on the command line the file dialog offers the
    // last one; a file that cannot start is said and the dialog offered
    // again, until one starts or the player cancels.
    if (line.Cartridge.empty()) {
        if (!AskForFile(Settings().Cartridge, CartridgeFilter, OpenCartridgeQuestion) || !StartChosenGame()) {
            CleanUp();
            return 1;
        }
    } else {
        const GameStart first = BeginGame(Settings().Cartridge);
        if (!first.Started()) {
            ReportFailedStart(first.Failure);
            CleanUp();
            return 1;
        }
    }
    if (!line.StateFile.empty() && !LoadState(Handheld(), line.StateFile.c_str()))
        ShowProblem(("cannot load the snapshot " + line.StateFile).c_str());
    if (line.Slot) LoadSlot(line.Slot);
    // From here the event loop runs the program; it ends through the quit path.
    const int status = RunEventLoop();
    CloseDesktop();
    return status;
}
