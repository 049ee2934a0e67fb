#pragma once
// Which key, and which gamepad button, does what: the handheld's ten
// buttons and the program's functions. The defaults are the classic table
// (several keys per button, looked up in order, the first match wins) and
// the function keys; KORU.ini's global section may name others, as
// "KeyA=Space A S D" or "KeySaveSlot=Shift+F9" for the keyboard and
// "PadA=a" for a gamepad's buttons (SDL's game-controller names).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct IniFile;

enum class KeyAction : uint8_t {
    None,
    // The handheld's buttons in keypad bit order: bit (action - ButtonA).
    ButtonA, ButtonB, ButtonSelect, ButtonStart, ButtonRight, ButtonLeft, ButtonUp, ButtonDown, ButtonR, ButtonL,
    Quit, Reset, MidiLog, AutoFireA, AutoFireB, AutoFireL, AutoFireR, SaveState, LoadState,
    AllChannels, Channel1, Channel2, Channel3, Channel4, Background0, Background1, Background2, Background3, Sprites,
    VolumeUp, VolumeDown,
    Pause, FastForwardHold, FastForwardToggle, Fullscreen, Screenshot, LoadSlot, SaveSlot,
    Slot1, Slot2, Slot3, Slot4, Slot5, Slot6, Slot7, Slot8, Slot9,
    Count
};
inline constexpr size_t KeyActionCount = size_t(KeyAction::Count);

// The keypad bit of a button action; 0 for a function.
uint16_t KeypadBitOf(KeyAction action);

struct ActionName {
    const char* Key;    // the INI key after "Key" / "Pad"
    const char* Label;  // the remapping dialog's text
};
extern const std::array<ActionName, KeyActionCount> ActionNames;

struct KeyBinding {
    uint32_t KeyCode;  // window.h numbering, with the Shift and Alt flags
    KeyAction Action;
};
// The gamepad's buttons in SDL's game-controller numbering (a, b, x, y,
// back, guide, start, leftstick, rightstick, leftshoulder, rightshoulder,
// dpup, dpdown, dpleft, dpright).
struct PadBinding {
    int32_t Button;
    KeyAction Action;
};

struct Bindings {
    std::vector<KeyBinding> Keys;  // in lookup order
    std::vector<PadBinding> Pad;
};
extern Bindings CurrentBindings;
Bindings DefaultBindings();

// Key names as the file and the dialog write them ("Space", "F9",
// "Shift+F9", "Alt+Return", "A"); 0 for a name no key has.
std::string KeyName(uint32_t keyCode);
uint32_t KeyFromName(std::string_view name);
std::string PadButtonName(int32_t button);
int32_t PadButtonFromName(std::string_view name);  // -1 for none

// The keys (or buttons) of one action as one line of names, and back.
std::string KeysOf(const Bindings& bindings, KeyAction action);
std::string PadButtonsOf(const Bindings& bindings, KeyAction action);
// Replaces the action's keys and buttons by the named ones; false (and
// nothing changed) when a name is unknown.
bool SetKeysOf(Bindings& bindings, KeyAction action, std::string_view names);
bool SetPadButtonsOf(Bindings& bindings, KeyAction action, std::string_view names);

// From KORU.ini at program start; absent keys keep the defaults.
void ReadKeyBindings(const IniFile& file);
// Every action's keys and buttons into the global section.
void StoreKeyBindings(IniFile& file, const Bindings& bindings);

// The action a key event leads to: an exact match (key and Shift/Alt)
// first; a key held with Shift alone falls back to its bare key, so that
// Shift does not get in the way of play; with Alt only exact matches
// count. A key-up releases what the bare key holds (a button, the held
// fast-forward) whatever is held beside it.
KeyAction FindKeyAction(uint32_t keyCode, bool down);

// The remapping dialog (File > 按键设置): changes are written to KORU.ini.
void RunKeyBindingsDialog();
