#pragma once
// The program entry, the main window with its menu, and the quit path.
// Emulation and window share the main thread: the event loop is the
// program's, and a frame timer in it runs the machine one frame at a time
// (RunFrame), so every command and dialog runs with the machine standing
// between two frames. While a menu or a modal dialog is open, or (with
// SaveCPU) the window is in the background, the timer runs no frames.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "game/game.h"
#include "game/settings.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/window.h"

struct Machine;

struct FrontEndState {
    Machine* Handheld = nullptr;  // the one machine the program plays on
    bool GameRunning = false;     // a game started and has not ended
    bool Quitting = false;
    bool QuitRequestedBySignal = false;  // nobody may be there to close a message box
    bool MenuOpen = false;
    int32_t ModalDepth = 0;    // modal dialogs open (file dialogs and message boxes too)
    bool InFrame = false;      // RunFrame, or the switch to the next game, is under way
    char StatePath[251] = "";  // the load and save state dialogs' file name
};
extern FrontEndState FrontEnd;

inline Machine& Handheld() { return *FrontEnd.Handheld; }
// The handheld's settings: KORU.ini's values for the running game.
GameSettings& Settings();

// Menu command numbers.
enum MenuCommand : uint32_t {
    CommandSize1 = 150,  // ... CommandSize1 + 3: the client area at 1:1 to 4:1
    CommandRememberSize = 154,
    CommandOpen = 155,
    CommandSettings = 156,
    CommandQuit = 157,
    CommandAbout = 158,
    CommandGameInfo = 159,
    CommandLoadState = 160,
    CommandSaveState = 161,
};

extern const std::array<MenuPopup, 3> MainMenu;
extern const std::array<FileFilter, 2> CartridgeFilter;
extern const std::array<FileFilter, 2> StateFilter;

// The last step of the quit path: leaves the event loop, so that RunProgram
// returns. Tests put a recorder in its place.
extern void (*EndProcess)(int status);
// The file dialog; tests put an answering machine in its place.
extern bool (*ChooseFile)(char* path, std::size_t capacity, std::span<const FileFilter> filters);
// The message box that tells the player of a problem; tests record instead.
extern void (*ShowMessageBox)(const char* text);

// A problem the player must hear of (a battery file or KORU.ini that
// cannot be written): on standard error, and in a message box unless the
// program is quitting on a signal.
void ShowProblem(const char* message);

// The main window with the picture, the keyboard and the joystick.
bool CreateMainWindow();
// Closes the window, stops the frame timer and closes the sound device.
void ReleaseMainWindow();

// Sizes the window so that its client area is width x height.
void ResizeClient(int width, int height);
void MoveWindowTo(int x, int y);

// Offers the open-file dialog on a path buffer of MaxPathLength + 1 bytes.
bool AskForFile(char* path, std::span<const FileFilter> filters);

// A menu command; only the low 16 bits of id count.
void HandleCommand(uint32_t id);

// Reads the game's settings, opens the sound device, starts the frame
// timer and starts the game; a game that cannot start is ended again (the
// failure is reported on standard error).
GameStart BeginGame(const char* cartridgePath);
// Ends the running game (its battery file is written).
void EndCurrentGame();
// Starts Settings().Cartridge anew: another game was opened, or the
// settings ask for a restart.
void RestartGame();

// One tick of the frame timer: runs a frame unless the program is paused;
// after a stop, ends the game and starts the next one (Settings().Cartridge,
// with the file dialog while it cannot start).
void RunNextFrame();
// Whether frames stand still: a menu or modal dialog is open, or the
// window is inactive with SaveCPU on.
bool EmulationPaused();

// Runs a modal dialog (settings, about, information, file choice, message
// box) with the frames stopped.
template <typename Show>
auto WithFramesStopped(Show&& show) {
    ++FrontEnd.ModalDepth;
    struct Leave {
        ~Leave() { --FrontEnd.ModalDepth; }
    } leave;
    return show();
}

// Writes the cartridge path, ends the game with its battery save, releases
// the window and leaves the event loop (EndProcess).
void QuitProgram();

// The quit path for SIGTERM, SIGINT and SIGHUP, taken from the event loop.
void QuitOnSignal();

// The whole program: returns 1 when it could not get going (no window, the
// first file dialog cancelled, the first game not starting), 0 after a quit.
int RunProgram(int argc, char** argv);
