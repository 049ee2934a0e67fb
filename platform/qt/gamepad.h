#pragma once
// Gamepads through SDL's game-controller mapping, which names the buttons
// alike on every pad it knows (a, b, back, start, the shoulders, the
// D-pad). Pads are opened as they are plugged in and closed as they go;
// all of them are read by polling, once per frame, never blocking.

#include <cstdint>

// The buttons in SDL's game-controller numbering.
inline constexpr int32_t PadDpadUp = 11;
inline constexpr int32_t PadDpadDown = 12;
inline constexpr int32_t PadDpadLeft = 13;
inline constexpr int32_t PadDpadRight = 14;
inline constexpr int32_t PadButtonCount = 15;

// Opens pads plugged in since the last call, closes those pulled out, and
// returns the buttons held on any of them (bit n = button n); the left
// stick counts as the D-pad when pushed more than halfway.
uint32_t ReadGamepads();

// A button pressed since the last call on any pad, or -1 (for the
// remapping dialog).
int32_t PressedGamepadButton();

void CloseGamepads();
