#pragma once
// The program entry, the main window with its menu, and the quit path.
// Emulation and window share the main thread: the emulation runs inside
// StartGame and lets the window handle its events once per frame from
// PollInput, so every command and dialog runs with the machine standing
// between two frames.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/qt/file_dialog.h"
#include "platform/qt/window.h"

struct FrontEndState {
    bool GameRunning = false;  // inside StartGame: the machine exists
    bool Quitting = false;
    bool QuitRequestedBySignal = false;  // nobody may be there to close a message box
    char StatePath[251] = "";  // the load and save state dialogs' file name
};
extern FrontEndState FrontEnd;

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

// The last step of the quit path; tests put a recorder in its place.
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

// Writes the cartridge path, ends the game with its battery save, releases
// the window and ends the process with status 0.
void QuitProgram();

// The quit path for SIGTERM, SIGINT and SIGHUP, taken from the event loop.
void QuitOnSignal();

// The whole program: returns 1 when it could not get going (no window, the
// first file dialog cancelled, the first game not starting).
int RunProgram(int argc, char** argv);
