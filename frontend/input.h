#pragma once
// The handheld's ten keys from the keyboard and the first joystick, the
// function keys, and the active state that mutes (and with SaveCPU pauses)
// the emulation.

#include <array>
#include <cstdint>

#include "platform/qt/joystick.h"

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

// Keyboard keys by PC virtual-key code; looked up in order, the first match
// wins, and the entry with key code 0 ends the table.
struct KeyBinding {
    uint32_t KeyCode;
    uint16_t KeypadBit;
};
extern const std::array<KeyBinding, 35> KeyTable;

struct InputState {
    bool Active = true;          // false while a menu is open or the window is inactive
    uint16_t KeyboardState = 0;  // keypad bits held on the keyboard
    uint8_t JoystickCount = 0;   // 0 = no joystick
    JoystickRange Joystick;
};
extern InputState Input;

// A key went down or up. Table keys set or clear their keypad bit; function
// keys act on key-down only. 1 when the key was handled.
int HandleKey(uint32_t keyCode, bool down);

// Sets the active flag: inactive mutes the sound channels, active restores
// them.
void SetActive(bool active);
bool IsActive();

// The keypad bits of a joystick position: each axis is cut into thirds of
// its range, buttons 1 to 4 are A, B, L and R.
uint32_t JoystickKeys(const JoystickReading& reading, const JoystickRange& range);

// The host's input operation, once per frame from the scanline driver: the
// keys held on the keyboard and the joystick.
uint32_t PollInput(void* context);
