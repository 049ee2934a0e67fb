#pragma once
// The handheld's ten keys from the keyboard and the gamepads, the function
// keys (frontend/key_bindings.h says which key does what), and the active
// state that mutes (and with SaveCPU pauses) the emulation.

#include <cstdint>

// Keypad bits, 1 = pressed.
inline constexpr uint16_t KeyA = 0x001;
inline constexpr uint16_t KeyB = 0x002;
inline constexpr uint16_t KeySelect = 0x004;
inline constexpr uint16_t KeyStart = 0x008;
inline constexpr uint16_t KeyRight = 0x010;
inline constexpr uint16_t KeyLeft = 0x020;
inline constexpr uint16_t KeyUp = 0x040;
inline constexpr uint16_t KeyDown = 0x080;
inline constexpr uint16_t KeyR = 0x100;
inline constexpr uint16_t KeyL = 0x200;

struct InputState {
    bool Active = true;          // false while a menu is open or the window is inactive
    uint16_t KeyboardState = 0;  // keypad bits held on the keyboard
};
extern InputState Input;

// A key went down or up. Table keys set or clear their keypad bit; function
// keys act on key-down only. 1 when the key was handled.
int HandleKey(uint32_t keyCode, bool down);

// Sets the active flag: inactive mutes the sound channels, active restores
// them.
void SetActive(bool active);
bool IsActive();

// The keypad bits of the gamepad buttons held (bit n = SDL's button n).
uint16_t GamepadKeys(uint32_t buttons);

// The host's input operation, once per frame from the scanline driver: the
// keys held on the keyboard and the gamepads, and the fast-forward held on
// a gamepad.
uint32_t PollInput(void* context);
