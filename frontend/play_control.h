#pragma once
// What the player does to the running game beyond its own keys: pause,
// fast-forward, fullscreen, screenshots and the numbered state slots. Keys
// and menu items both come here.

#include <cstdint>

// Number of state slots (1 to SlotCount).
inline constexpr int32_t SlotCount = 9;

void TogglePause();
bool IsPausedByPlayer();

// Fast-forward while a key is held, and the toggle that keeps it on.
void SetFastForwardHeld(bool held);
void ToggleFastForward();
bool IsFastForwarding();

void ToggleFullscreen();

// Writes the current picture as a PNG beside the cartridge (or in the
// per-user folder); says where in the status bar.
void TakeScreenshot();

// The current slot (1 to SlotCount), and loading and saving it.
void ChooseSlot(int32_t slot);
int32_t CurrentSlot();
void LoadSlot(int32_t slot);
void SaveSlot(int32_t slot);
