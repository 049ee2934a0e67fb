#include "frontend/input.h"

#include "frontend/main_window.h"
#include "game/game.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "sound/midi_log.h"
#include "sound/sound_output.h"
#include "video/render_line.h"

InputState Input;

// clang-format off
const std::array<KeyBinding, 35> KeyTable = {{
    {0x0D, KeyStart}, {0x09, KeySelect}, {0x11, KeyB}, {0x20, KeyA},  // Enter, Tab, Ctrl, Space
    {0x28, KeyDown}, {0x26, KeyUp}, {0x25, KeyLeft}, {0x27, KeyRight},  // the arrows
    {'Z', KeyB}, {'X', KeyB}, {'C', KeyB}, {'V', KeyB}, {'B', KeyB}, {'N', KeyB}, {'M', KeyB},
    {'A', KeyA}, {'S', KeyA}, {'D', KeyA}, {'F', KeyA}, {'G', KeyA}, {'H', KeyA}, {'J', KeyA}, {'K', KeyA}, {'L', KeyA},
    {'Q', KeyL}, {'E', KeyL}, {'T', KeyL}, {'U', KeyL}, {'O', KeyL},
    {'W', KeyR}, {'R', KeyR}, {'Y', KeyR}, {'I', KeyR}, {'P', KeyR},
    {0, 0},
}};
// clang-format on

namespace {

constexpr uint32_t KeyEscape = 0x1B;
constexpr uint32_t KeyF2 = 0x71;
constexpr uint32_t KeyF12 = 0x7B;
constexpr uint32_t KeyPlus = 0xBB;
constexpr uint32_t KeyMinus = 0xBD;
constexpr int32_t AllChannels = 0x800F;

void ApplySoundSwitch() { SetMasterVolume(Handheld(), Settings().SoundVolume, Settings().SoundSwitch); }

// F7 and F8 work on the game run's own snapshot file, while a game runs.
void SaveDefaultState() {
    if (FrontEnd.GameRunning) SaveState(Handheld(), Handheld().StateFileName.c_str());
}

void LoadDefaultState() {
    if (FrontEnd.GameRunning) LoadState(Handheld(), Handheld().StateFileName.c_str());
}

// The function keys; false for a key that is none of them.
bool RunFunctionKey(uint32_t keyCode) {
    switch (keyCode) {
    case KeyEscape:
    case KeyF12: QuitProgram(); return true;
    case 0x7A:  // F11
        if (FrontEnd.GameRunning) ResetHardware(Handheld());
        return true;
    case KeyF2: SetMidiLog(Handheld().MidiLog, MidiLogSwitch::Toggle); return true;
    case 0x72: Settings().AutoFire ^= KeyA; return true;  // F3
    case 0x73: Settings().AutoFire ^= KeyB; return true;  // F4
    case 0x74: Settings().AutoFire ^= KeyL; return true;  // F5
    case 0x75: Settings().AutoFire ^= KeyR; return true;  // F6
    case 0x76: SaveDefaultState(); return true;         // F7
    case 0x77: LoadDefaultState(); return true;         // F8
    case '0':
        Settings().SoundSwitch = Settings().SoundSwitch ? 0 : AllChannels;
        ApplySoundSwitch();
        return true;
    case '1':
    case '2':
    case '3':
    case '4':
        Settings().SoundSwitch ^= 1 << (keyCode - '1');
        ApplySoundSwitch();
        return true;
    case '5':
    case '6':
    case '7':
    case '8':
    case '9': Handheld().LayerHideMask ^= uint8_t(1u << (keyCode - '5')); return true;
    case KeyPlus:
        if (Settings().SoundVolume < 250) Settings().SoundVolume += 10;
        ApplySoundSwitch();
        return true;
    case KeyMinus:
        if (Settings().SoundVolume > 0) Settings().SoundVolume -= 10;
        ApplySoundSwitch();
        return true;
    default: return false;
    }
}

}  // namespace

int HandleKey(uint32_t keyCode, bool down) {
    for (const KeyBinding& binding : KeyTable) {
        if (binding.KeyCode == 0) break;
        if (binding.KeyCode != keyCode) continue;
        if (down)
            Input.KeyboardState |= binding.KeypadBit;
        else
            Input.KeyboardState &= uint16_t(~binding.KeypadBit);
        return 1;
    }
    if (!down) return 0;
    return RunFunctionKey(keyCode) ? 1 : 0;
}

void SetActive(bool active) {
    Input.Active = active;
    SetMasterVolume(Handheld(), Settings().SoundVolume, active ? Settings().SoundSwitch : 0);
}

bool IsActive() { return Input.Active; }

uint32_t JoystickKeys(const JoystickReading& reading, const JoystickRange& range) {
    const uint32_t thirdX = (range.XMax - range.XMin) / 3;
    const uint32_t thirdY = (range.YMax - range.YMin) / 3;
    uint32_t keys = 0;
    if (reading.X < range.XMin + thirdX)
        keys |= KeyLeft;
    else if (reading.X > range.XMax - thirdX)
        keys |= KeyRight;
    if (reading.Y < range.YMin + thirdY)
        keys |= KeyUp;
    else if (reading.Y > range.YMax - thirdY)
        keys |= KeyDown;
    if (reading.Buttons & 1) keys |= KeyA;
    if (reading.Buttons & 2) keys |= KeyB;
    if (reading.Buttons & 4) keys |= KeyL;
    if (reading.Buttons & 8) keys |= KeyR;
    return keys;
}

uint32_t PollInput(void*) {
    uint32_t joystickKeys = 0;
    JoystickReading reading;
    if (Input.JoystickCount && ReadJoystick(reading)) joystickKeys = JoystickKeys(reading, Input.Joystick);
    return Input.KeyboardState | joystickKeys;
}
