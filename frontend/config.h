#pragma once
// KORU.ini: the global section "KORU" and one section per game, named by
// the cartridge's title. Window placement is read once at start, the
// emulation and sound settings at the start of every game run, and the
// settings dialog, the remember-size command and the exit write them back.

#include <cstddef>
#include <cstdint>
#include <string>

struct Dialog;
struct IniFile;

inline constexpr const char* GlobalSection = "KORU";
inline constexpr const char* IniFileName = "KORU.ini";
// Paths taken from the file, the command line or a dialog are cut here.
inline constexpr size_t MaxPathLength = 250;
// The largest client area the file may ask for.
inline constexpr int32_t MaxClientSize = 4096;
// The settings dialog's frame-skip range, also enforced on the file's value.
inline constexpr int32_t MinUpdatePeriod = 1;
inline constexpr int32_t MaxUpdatePeriod = 20;
// Frame pacing runs at 1 to this many Hz.
inline constexpr int32_t MaxTimerPeriod = 60;

// Settings().IniPath: the directory joined with "KORU.ini" by '/', without a
// doubled separator; just "KORU.ini" (the same file, relative to the
// working directory) when there is no directory or the path would not fit.
void BuildIniPath(const char* directory);

// Settings().GameSection from the cartridge file's header: its title up to
// the first zero byte, or "UNKNOWN" when 512 bytes cannot be read.
void FindGameSection(const char* cartridgePath);

// At program start, once the main window exists: the INI path, the
// window's client size and position, and the cartridge path, which is the
// command-line argument as given or, when there is none, the file's
// "Cartridge" key.
void ReadWindowSettings(const char* commandLine);

// The emulation and sound keys: the global section, then the game section
// over it. Absurd values are brought into range here.
void ReadGameSettings(const char* cartridgePath);

// Before a game starts: reads its settings, sizes the window, opens the
// sound device and starts the frame timer.
void ApplyGameSettings(const char* cartridgePath);

// Takes the confirmed settings dialog's controls into the settings, reopens
// the sound device, writes the keys and restarts the frame timer; a changed
// CheckCRC restarts the game under the new rule.
void SaveSettingsFromDialog(Dialog* dialog);

// The remember-size command: client size and window position to the file.
void SaveWindowPlacement();

// At exit: the cartridge path to the file.
void SaveCartridgePath();

// Where KORU.ini is: "./KORU.ini" when the working directory holds one
// (a portable set-up), else $XDG_CONFIG_HOME/koru (by default
// ~/.config/koru), which is made when missing. Empty when neither the
// working directory nor a home is known.
std::string IniFolder();

// Writes the file; a failed write is said to the player.
void WriteSettingsFile(const IniFile& file);
// Writes a key of the global section; a failed write is said to the player.
void WriteGlobalKey(const std::string& key, const std::string& value);
