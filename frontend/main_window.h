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
    CommandKeyBindings = 162,
    // The game menu.
    CommandPause = 163,
    CommandFastForward = 164,
    CommandSpeed2 = 165,
    CommandSpeed4 = 166,
    CommandSpeedUnlimited = 167,
    CommandFastForwardSound = 168,
    CommandScreenshot = 169,
    CommandLoadSlot = 170,
    CommandSaveSlot = 171,
    CommandSlot1 = 180,  // ... CommandSlot1 + 8: choose slot 1 to 9
    // The size menu's picture commands.
    CommandFullscreen = 172,
    CommandKeepAspect = 173,
    CommandWholeMultiples = 174,
    CommandRecent1 = 190,  // ... CommandRecent1 + RecentCount - 1: the cartridges played last
};

extern const std::array<MenuPopup, 4> MainMenu;
extern const std::array<FileFilter, 2> CartridgeFilter;
extern const std::array<FileFilter, 2> StateFilter;

// The last step of the quit path: leaves the event loop, so that RunProgram
// returns. Tests put a recorder in its place.
extern void (*EndProcess)(int status);
// The file dialog; tests put an answering machine in its place.
extern bool (*ChooseFile)(char* path, std::size_t capacity, std::span<const FileFilter> filters,
                          const FileQuestion& question);
// The message boxes that tell the player of a problem, and of something
// to know; tests record instead.
extern void (*ShowMessageBox)(const char* text);
extern void (*ShowNoteBox)(const char* text);

// A problem the player must hear of (a game that cannot start, a battery
// file, snapshot or KORU.ini that cannot be written): on standard error,
// and in a message box unless the program is quitting on a signal.
void ShowProblem(const char* message);
// Something the player should know once (where a save went): on standard
// error, at the end of the menu bar and in a message box.
void ShowNote(const char* message);

// Makes a path absolute (from the working directory); a path that would
// not fit MaxPathLength stays as it was.
void MakeAbsolute(char* path);

// The window's title: the game's name and whether it is paused or fast.
void UpdateWindowTitle();

// The main window with the picture, the keyboard and the joystick.
bool CreateMainWindow();
// Closes the window, stops the frame timer and closes the sound device.
void ReleaseMainWindow();

// Sizes the window so that its client area is width x height.
void ResizeClient(int width, int height);
void MoveWindowTo(int x, int y);

// Offers a file dialog on a path buffer of MaxPathLength + 1 bytes.
bool AskForFile(char* path, std::span<const FileFilter> filters, const FileQuestion& question);
inline constexpr FileQuestion OpenCartridgeQuestion{"打开", false, nullptr};

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
// Whether frames stand still: a menu or modal dialog is open, the player
// paused the game, or the window is inactive with SaveCPU on.
bool EmulationPaused();

// A cartridge dropped on the window, or chosen from the recent ones: it
// becomes the cartridge and starts.
void OpenCartridge(const char* path);

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
