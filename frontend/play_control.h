#pragma once
// What the player does to the running game beyond its own keys: pause,
// fast-forward, fullscreen and the picture's scaling, screenshots, the
// numbered state slots and the recent cartridges. Keys and menu items both
// come here; the choices that last are kept in KORU.ini's global section.

#include <array>
#include <cstdint>
#include <string>

struct IniFile;

// Number of state slots (1 to SlotCount).
inline constexpr int32_t SlotCount = 9;
// Number of recent cartridges the File menu offers.
inline constexpr int32_t RecentCount = 8;

struct PlayState {
    bool PausedByPlayer = false;
    bool FastForwardHeld = false;  // the hold key is down
    bool FastForwardOn = false;    // the toggle
    int32_t FastForwardSpeed = 4;  // 2 or 4 times, 0 as fast as possible (FastForwardSpeed)
    bool FastForwardSound = false; // the sound plays on, faster, instead of being muted (FastForwardSound)
    bool KeepAspect = true;        // KeepAspect
    bool WholeMultiples = false;   // IntegerScale
    int32_t Slot = 1;              // StateSlot
    std::array<std::string, RecentCount> Recent;  // Recent1..Recent8, newest first
    // The frame rate shown at the end of the menu bar.
    double RateStart = 0;
    int32_t RateFrames = 0;
    double MessageUntil = 0;  // a message stands there until then
};
extern PlayState Play;

// The lasting choices from the file (at program start).
void ReadPlaySettings(const IniFile& file);

void TogglePause();
bool IsPausedByPlayer();

// Fast-forward while a key is held, and the toggle that keeps it on.
void SetFastForwardHeld(bool held);
void ToggleFastForward();
bool IsFastForwarding();
void SetFastForwardSpeed(int32_t speed);
void SetFastForwardSound(bool on);

void ToggleFullscreen();
void SetScaling(bool keepAspect, bool wholeMultiples);

// The sound switch the game plays with now: muted while the window is
// inactive, the game paused, or fast-forwarding without sound.
void ApplyPlayVolume();

// Writes the current picture as a PNG beside the cartridge (or in the
// per-user folder) and says where at the end of the menu bar.
void TakeScreenshot();

// The current slot (1 to SlotCount), and loading and saving a slot. Slot n
// of GAME.gba is the snapshot GAME.n.sta, kept where the battery save is.
void ChooseSlot(int32_t slot);
int32_t CurrentSlot();
void LoadSlot(int32_t slot);
void SaveSlot(int32_t slot);

// The recent cartridges: a started game goes to the top of the list, which
// is written with the cartridge path at exit.
void RememberRecentCartridge(const char* path);
void StoreRecentCartridges(IniFile& file);
std::string RecentCartridge(int32_t index);

// The menu's check marks, the slots' times and the recent cartridges, set
// before a menu opens.
void RefreshMenuStates();

// After each frame: counts presented frames and shows the rate once a second.
void CountFrameRate();
