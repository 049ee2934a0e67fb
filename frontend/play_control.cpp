#include "frontend/play_control.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>

#include "frontend/config.h"
#include "frontend/frame_timer.h"
#include "frontend/screenshot.h"
#include "frontend/ini_file.h"
#include "frontend/input.h"
#include "frontend/main_window.h"
#include "game/save_place.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "machine/machine.h"
#include "platform/qt/timer.h"
#include "platform/qt/window.h"
#include "sound/sound_output.h"

PlayState Play;

namespace {

std::string SlotExtension(int32_t slot) { return "." + std::to_string(slot) + ".sta"; }

// "2024-05-01 12:34:56" of a file's last change; empty when there is none.
std::string ChangeTime(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    std::tm local{};
    localtime_r(&info.st_mtime, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// A message at the end of the menu bar, left there for a few seconds
// before the frame rate takes its place again.
void Status(const std::string& text) {
    ShowStatusText(text.c_str());
    Play.MessageUntil = MonotonicSeconds() + 4;
}

// The sound and the pace follow the pause and fast-forward states.
void ApplyPlayState() {
    SetFrameSpeed(IsFastForwarding() ? Play.FastForwardSpeed : 1);
    ApplyPlayVolume();
    UpdateWindowTitle();
}

}  // namespace

void ReadPlaySettings(const IniFile& file) {
    const PlayState defaults;
    Play.KeepAspect = GetIniInt(file, GlobalSection, "KeepAspect", defaults.KeepAspect) != 0;
    Play.WholeMultiples = GetIniInt(file, GlobalSection, "IntegerScale", defaults.WholeMultiples) != 0;
    const int32_t speed = GetIniInt(file, GlobalSection, "FastForwardSpeed", defaults.FastForwardSpeed);
    Play.FastForwardSpeed = speed == 2 || speed == 4 || speed == 0 ? speed : defaults.FastForwardSpeed;
    Play.FastForwardSound = GetIniInt(file, GlobalSection, "FastForwardSound", defaults.FastForwardSound) != 0;
    Play.Slot = std::clamp(GetIniInt(file, GlobalSection, "StateSlot", defaults.Slot), 1, SlotCount);
    for (size_t i = 0; i < Play.Recent.size(); ++i)
        Play.Recent[i] = FindIniValue(file, GlobalSection, "Recent" + std::to_string(i + 1)).value_or("");
    SetPictureScaling({Play.KeepAspect, Play.WholeMultiples});
}

void TogglePause() {
    Play.PausedByPlayer = !Play.PausedByPlayer;
    Status(Play.PausedByPlayer ? "暂停" : "");
    ApplyPlayState();
}

bool IsPausedByPlayer() { return Play.PausedByPlayer; }

void SetFastForwardHeld(bool held) {
    Play.FastForwardHeld = held;
    ApplyPlayState();
}

void ToggleFastForward() {
    Play.FastForwardOn = !Play.FastForwardOn;
    ApplyPlayState();
}

bool IsFastForwarding() { return Play.FastForwardHeld || Play.FastForwardOn; }

void SetFastForwardSpeed(int32_t speed) {
    Play.FastForwardSpeed = speed;
    WriteGlobalKey("FastForwardSpeed", std::to_string(speed));
    ApplyPlayState();
}

void SetFastForwardSound(bool on) {
    Play.FastForwardSound = on;
    WriteGlobalKey("FastForwardSound", on ? "1" : "0");
    ApplyPlayState();
}

void ToggleFullscreen() { SetFullscreen(!IsFullscreen()); }

void SetScaling(bool keepAspect, bool wholeMultiples) {
    Play.KeepAspect = keepAspect;
    Play.WholeMultiples = wholeMultiples;
    SetPictureScaling({keepAspect, wholeMultiples});
    WriteGlobalKey("KeepAspect", keepAspect ? "1" : "0");
    WriteGlobalKey("IntegerScale", wholeMultiples ? "1" : "0");
}

void ApplyPlayVolume() {
    if (!FrontEnd.Handheld) return;
    const bool muted = !IsActive() || Play.PausedByPlayer || (IsFastForwarding() && !Play.FastForwardSound);
    SetMasterVolume(Handheld(), Settings().SoundVolume, muted ? 0 : Settings().SoundSwitch);
}

void TakeScreenshot() {
    if (!FrontEnd.GameRunning) return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M%S", &local);
    // Two in one second get a number of their own.
    GameFilePlace place = PlaceGameFile(Settings().Cartridge, std::string(stamp) + ".png");
    for (int n = 2; FileExists(place.write) && n < 100; ++n)
        place = PlaceGameFile(Settings().Cartridge, std::string(stamp) + "-" + std::to_string(n) + ".png");
    if (!WriteScreenshot(place.write, Handheld().FrameSurface.data())) {
        ShowProblem(("cannot write the screenshot " + place.write).c_str());
        return;
    }
    NoteNewPerUserFile(Handheld(), place.write, false);
    Status("截图: " + place.write);
}

void ChooseSlot(int32_t slot) {
    Play.Slot = std::clamp(slot, 1, SlotCount);
    WriteGlobalKey("StateSlot", std::to_string(Play.Slot));
    const std::string time = ChangeTime(PlaceGameFile(Settings().Cartridge, SlotExtension(Play.Slot)).read);
    Status("槽 " + std::to_string(Play.Slot) + (time.empty() ? " (空)" : ": " + time));
}

int32_t CurrentSlot() { return Play.Slot; }

void LoadSlot(int32_t slot) {
    if (!FrontEnd.GameRunning) return;
    const GameFilePlace place = PlaceGameFile(Settings().Cartridge, SlotExtension(slot));
    if (!FileExists(place.read)) {
        Status("槽 " + std::to_string(slot) + " (空)");
        return;
    }
    if (!LoadState(Handheld(), place.read.c_str())) {
        ShowProblem(("cannot load the snapshot " + place.read).c_str());
        return;
    }
    Status("读取槽 " + std::to_string(slot));
}

void SaveSlot(int32_t slot) {
    if (!FrontEnd.GameRunning) return;
    // SaveState says itself why a file could not be written.
    const GameFilePlace place = PlaceGameFile(Settings().Cartridge, SlotExtension(slot));
    if (SaveState(Handheld(), place.write.c_str())) Status("保存到槽 " + std::to_string(slot));
}

void RememberRecentCartridge(const char* path) {
    const std::string entry = path;
    auto found = std::find(Play.Recent.begin(), Play.Recent.end(), entry);
    if (found == Play.Recent.begin()) return;
    if (found == Play.Recent.end()) found = Play.Recent.end() - 1;
    std::rotate(Play.Recent.begin(), found, found + 1);
    Play.Recent.front() = entry;
}

void StoreRecentCartridges(IniFile& file) {
    for (size_t i = 0; i < Play.Recent.size(); ++i)
        if (!Play.Recent[i].empty()) SetIniValue(file, GlobalSection, "Recent" + std::to_string(i + 1), Play.Recent[i]);
}

std::string RecentCartridge(int32_t index) {
    return index >= 0 && index < int32_t(Play.Recent.size()) ? Play.Recent[size_t(index)] : std::string();
}

void RefreshMenuStates() {
    SetMenuItemChecked(CommandPause, Play.PausedByPlayer);
    SetMenuItemChecked(CommandFastForward, IsFastForwarding());
    SetMenuItemChecked(CommandSpeed2, Play.FastForwardSpeed == 2);
    SetMenuItemChecked(CommandSpeed4, Play.FastForwardSpeed == 4);
    SetMenuItemChecked(CommandSpeedUnlimited, Play.FastForwardSpeed == 0);
    SetMenuItemChecked(CommandFastForwardSound, Play.FastForwardSound);
    SetMenuItemChecked(CommandFullscreen, IsFullscreen());
    SetMenuItemChecked(CommandKeepAspect, Play.KeepAspect);
    SetMenuItemChecked(CommandWholeMultiples, Play.WholeMultiples);
    for (int32_t slot = 1; slot <= SlotCount; ++slot) {
        const uint32_t id = CommandSlot1 + uint32_t(slot - 1);
        const std::string time =
            FrontEnd.GameRunning ? ChangeTime(PlaceGameFile(Settings().Cartridge, SlotExtension(slot)).read) : "";
        SetMenuItemText(id, ("槽 " + std::to_string(slot) + "  " + (time.empty() ? "(空)" : time)).c_str());
        SetMenuItemChecked(id, slot == Play.Slot);
    }
    for (int32_t i = 0; i < RecentCount; ++i) {
        const std::string& path = Play.Recent[size_t(i)];
        const uint32_t id = CommandRecent1 + uint32_t(i);
        SetMenuItemVisible(id, !path.empty());
        SetMenuItemText(id, (std::to_string(i + 1) + "  " + path).c_str());
    }
    for (uint32_t id : {CommandLoadSlot, CommandSaveSlot, CommandScreenshot, CommandPause})
        SetMenuItemEnabled(id, FrontEnd.GameRunning);
}

void CountFrameRate() {
    const double now = MonotonicSeconds();
    if (Play.RateFrames++ == 0) Play.RateStart = now;
    if (now - Play.RateStart < 1.0) return;
    char text[48];
    std::snprintf(text, sizeof text, "%.2f 帧/秒", (Play.RateFrames - 1) / (now - Play.RateStart));
    if (now >= Play.MessageUntil) ShowStatusText(text);
    Play.RateFrames = 0;
}
