#include "frontend/config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frontend/dialogs.h"
#include "frontend/frame_timer.h"
#include "frontend/ini_file.h"
#include "frontend/input.h"
#include "frontend/key_bindings.h"
#include "frontend/main_window.h"
#include "frontend/play_control.h"
#include "game/cartridge.h"
#include "game/file_access.h"
#include "game/game.h"
#include "game/header.h"
#include "game/save_place.h"
#include "game/save_type.h"
#include "game/settings.h"
#include "machine/machine.h"
#include "platform/qt/dialog.h"
#include "sound/midi_log.h"
#include "sound/sound_output.h"

namespace {

// Copies text into a fixed buffer, cut after MaxPathLength characters.
template <size_t Size>
void CopyPath(char (&buffer)[Size], const std::string& text) {
    static_assert(Size > MaxPathLength);
    const size_t length = std::min(text.size(), MaxPathLength);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = 0;
}

std::string IniPath() { return Settings().IniPath; }

const char* Flag(int32_t value) { return value ? "1" : "0"; }

// Every write of the file is checked here, so that a failure is said.
void CheckSettingsWrite(FileResult result) {
    if (!result) ReportFileProblem(Handheld().Host, "write", Settings().IniPath, result.error);
}

// The integer keys the global section and each game's section may set,
// beside the SaveCPU flag.
struct IntegerKey {
    const char* Name;
    int32_t GameSettings::*Field;
};
constexpr IntegerKey IntegerKeys[] = {
    {"UpdatePeriod", &GameSettings::UpdatePeriod}, {"TimerPeriod", &GameSettings::TimerPeriod},
    {"AutoFire", &GameSettings::AutoFire},         {"CheckCRC", &GameSettings::CheckCRC},
    {"UseDrums", &GameSettings::UseDrums},         {"SoundSwitch", &GameSettings::SoundSwitch},
    {"SoundVolume", &GameSettings::SoundVolume},   {"SoundBuffers", &GameSettings::SoundBuffers},
    {"SoundRate", &GameSettings::SoundRate},
};

void ReadIntegerKeys(const IniFile& file, const char* section) {
    for (const IntegerKey& key : IntegerKeys)
        Settings().*key.Field = GetIniInt(file, section, key.Name, Settings().*key.Field);
    // A flag is any nonzero value; stored in a byte, 256 would read as off.
    Settings().SaveCPU = GetIniInt(file, section, "SaveCPU", Settings().SaveCPU) != 0;
}

}  // namespace

void BuildIniPath(const char* directory) {
    std::string path = IniFileName;
    if (directory && *directory) {
        const std::string folder = directory;
        path = folder.back() == '/' ? folder + IniFileName : folder + "/" + IniFileName;
    }
    if (path.size() >= sizeof Settings().IniPath) path = IniFileName;
    std::memcpy(Settings().IniPath, path.c_str(), path.size() + 1);
}

void FindGameSection(const char* cartridgePath) {
    std::array<uint8_t, 512> header{};
    if (ReadCartridgePrefix(cartridgePath, header.data(), int32_t(header.size())) != int32_t(header.size())) {
        std::strcpy(Settings().GameSection, "UNKNOWN");
        return;
    }
    // The title becomes a section header line: characters that would end the
    // line or the name early are replaced.
    const std::string title = GetGameTitle(header.data());
    size_t length = 0;
    for (; length < sizeof Settings().GameSection - 1 && length < title.size(); ++length) {
        const uint8_t c = uint8_t(title[length]);
        Settings().GameSection[length] = (c < 0x20 || c >= 0x7F || c == '[' || c == ']') ? '_' : char(c);
    }
    Settings().GameSection[length] = 0;
}

std::string IniFolder() {
    std::array<char, 4096> directory{};
    const char* current = getcwd(directory.data(), directory.size());
    const std::string here = current ? std::string(current) : std::string();
    // Whatever stands there is the portable file (a FIFO is refused when
    // it is read).
    struct stat info {};
    if (!here.empty() && ::lstat((here + "/" + IniFileName).c_str(), &info) == 0) return here;
    const std::string folder = PerUserFolder("XDG_CONFIG_HOME", ".config");
    if (folder.empty()) return here;
    // A folder that cannot be made is found out when KORU.ini is written.
    MakeFolders(folder);
    return folder;
}

void WriteSettingsFile(const IniFile& file) { CheckSettingsWrite(WriteIniFile(IniPath(), file)); }

void WriteGlobalKey(const std::string& key, const std::string& value) {
    IniFile file = ReadIniFile(IniPath());
    SetIniValue(file, GlobalSection, key, value);
    WriteSettingsFile(file);
}

void ReadWindowSettings(const char* commandLine) {
    Settings().ClientWidth = 240;
    Settings().ClientHeight = 160;
    BuildIniPath(IniFolder().c_str());
    // Temporary files of a KORU killed while writing the file.
    RemoveStaleTemporaries(Settings().IniPath);

    int error = 0;
    const IniFile file = ReadIniFile(IniPath(), &error);
    if (error && error != ENOENT) ReportFileProblem(Handheld().Host, "read", Settings().IniPath, error);
    Settings().ClientWidth = std::clamp(GetIniInt(file, GlobalSection, "Width", 240), 1, MaxClientSize);
    Settings().ClientHeight = std::clamp(GetIniInt(file, GlobalSection, "Height", 160), 1, MaxClientSize);
    const int x = GetIniInt(file, GlobalSection, "X", 50);
    const int y = GetIniInt(file, GlobalSection, "Y", 50);
    ResizeClient(Settings().ClientWidth, Settings().ClientHeight);
    MoveWindowTo(x, y);
    ReadPlaySettings(file);
    ReadKeyBindings(file);

    if (!commandLine || !*commandLine) {
        const auto stored = FindIniValue(file, GlobalSection, "Cartridge");
        CopyPath(Settings().Cartridge, stored ? *stored : std::string("CART.GBA"));
    } else {
        CopyPath(Settings().Cartridge, commandLine);
    }
    // Stored absolute, so that the next start finds it from any folder.
    MakeAbsolute(Settings().Cartridge);
}

void ReadGameSettings(const char* cartridgePath) {
    FindGameSection(cartridgePath);
    const IniFile file = ReadIniFile(IniPath());
    const GameSettings builtIn;
    for (const IntegerKey& key : IntegerKeys) Settings().*key.Field = builtIn.*key.Field;
    Settings().SaveCPU = builtIn.SaveCPU;
    ReadIntegerKeys(file, GlobalSection);
    const auto logFile = FindIniValue(file, GlobalSection, "SoundLogFile");
    CopyPath(Settings().SoundLogFile, logFile ? *logFile : std::string(builtIn.SoundLogFile));
    const auto soundFont = FindIniValue(file, GlobalSection, "SoundFont");
    CopyPath(Settings().SoundFont, soundFont ? *soundFont : std::string());
    ReadIntegerKeys(file, Settings().GameSection);
    // The chip is the cartridge's own, so only its section names one.
    Settings().SaveType = 0;
    if (const auto saveType = FindIniValue(file, Settings().GameSection, "SaveType")) {
        const int32_t choice = FindSaveTypeChoice(*saveType);
        if (choice < 0)
            std::fprintf(stderr, "koru: SaveType=%s names no save chip; the cartridge's markers decide\n",
                         saveType->c_str());
        Settings().SaveType = std::max(choice, 0);
    }

    // Below 1 the frame-skip count would never run out; the settings dialog
    // offers no more than 20.
    Settings().UpdatePeriod = std::clamp(Settings().UpdatePeriod, MinUpdatePeriod, MaxUpdatePeriod);
    Settings().TimerPeriod = std::clamp(Settings().TimerPeriod, 0, MaxTimerPeriod);
}

void ApplyGameSettings(const char* cartridgePath) {
    ReadGameSettings(cartridgePath);
    ResizeClient(Settings().ClientWidth, Settings().ClientHeight);
    OpenSoundDevice(Handheld(), Settings().SoundRate, Settings().SoundBuffers);
    ApplyPlayVolume();
    if (!StartFrameTimer(Settings().TimerPeriod)) Settings().TimerPeriod = 0;
}

void SaveSettingsFromDialog(Dialog* dialog) {
    GameSettings& settings = Settings();
    settings.SaveCPU = IsChecked(dialog, SaveCpuBox);
    settings.UseDrums = IsChecked(dialog, UseDrumsBox);
    settings.AutoFire = (IsChecked(dialog, AutoFireABox) ? KeyA : 0) | (IsChecked(dialog, AutoFireBBox) ? KeyB : 0) |
                        (IsChecked(dialog, AutoFireLBox) ? KeyL : 0) | (IsChecked(dialog, AutoFireRBox) ? KeyR : 0);
    // The cartridge check decides whether the game may run at all, so a
    // change restarts it under the new rule.
    const bool checkCrc = IsChecked(dialog, CheckCrcBox);
    const bool restart = checkCrc != (settings.CheckCRC != 0);
    settings.CheckCRC = checkCrc;
    SetMidiLog(Handheld().MidiLog, IsChecked(dialog, RecordMidiBox) ? MidiLogSwitch::On : MidiLogSwitch::Off);
    CopyPath(settings.SoundLogFile, GetControlText(dialog, LogFileEdit));
    settings.UpdatePeriod = GetScrollPosition(dialog, UpdatePeriodBar);
    settings.TimerPeriod = GetScrollPosition(dialog, TimerPeriodBar);
    settings.SoundSwitch = 0x8000;
    for (int channel = 0; channel < 4; ++channel)
        if (IsChecked(dialog, Channel1Box + channel)) settings.SoundSwitch |= 1 << channel;
    settings.SoundVolume = GetScrollPosition(dialog, VolumeBar);
    settings.SoundBuffers = GetScrollPosition(dialog, BuffersBar);
    settings.SoundRate = IsChecked(dialog, PlayMidiBox) ? 1 : GetScrollPosition(dialog, RateBar);

    OpenSoundDevice(Handheld(), settings.SoundRate, settings.SoundBuffers);
    ApplyPlayVolume();

    IniFile file = ReadIniFile(IniPath());
    SetIniValue(file, GlobalSection, "SoundRate", std::to_string(Settings().SoundRate));
    SetIniValue(file, GlobalSection, "SoundBuffers", std::to_string(Settings().SoundBuffers));
    SetIniValue(file, GlobalSection, "SoundVolume", std::to_string(Settings().SoundVolume));
    SetIniValue(file, GlobalSection, "SaveCPU", Flag(Settings().SaveCPU));
    SetIniValue(file, GlobalSection, "CheckCRC", Flag(Settings().CheckCRC));
    SetIniValue(file, GlobalSection, "UpdatePeriod", std::to_string(Settings().UpdatePeriod));
    SetIniValue(file, GlobalSection, "TimerPeriod", std::to_string(Settings().TimerPeriod));
    SetIniValue(file, GlobalSection, "SoundLogFile", Settings().SoundLogFile);
    SetIniValue(file, Settings().GameSection, "SoundSwitch", std::to_string(Settings().SoundSwitch));
    SetIniValue(file, Settings().GameSection, "AutoFire", std::to_string(Settings().AutoFire));
    SetIniValue(file, Settings().GameSection, "UseDrums", Flag(Settings().UseDrums));
    WriteSettingsFile(file);

    // The dialog offers up to 120 Hz, which the timer refuses: the value
    // stays in the file and the next game start reads it as 60.
    if (!StartFrameTimer(settings.TimerPeriod)) settings.TimerPeriod = 0;
    if (restart) RestartGame();
}

void SaveWindowPlacement() {
    int x = 0, y = 0;
    if (!GetMainWindowPosition(x, y)) return;
    IniFile file = ReadIniFile(IniPath());
    SetIniValue(file, GlobalSection, "Width", std::to_string(Settings().ClientWidth));
    SetIniValue(file, GlobalSection, "Height", std::to_string(Settings().ClientHeight));
    SetIniValue(file, GlobalSection, "X", std::to_string(x));
    SetIniValue(file, GlobalSection, "Y", std::to_string(y));
    WriteSettingsFile(file);
}

void SaveCartridgePath() {
    IniFile file = ReadIniFile(IniPath());
    SetIniValue(file, GlobalSection, "Cartridge", Settings().Cartridge);
    StoreRecentCartridges(file);
    WriteSettingsFile(file);
}
