#include "frontend/input.h"

#include "frontend/key_bindings.h"
#include "frontend/main_window.h"
#include "frontend/play_control.h"
#include "game/game.h"
#include "game/save_place.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "platform/qt/gamepad.h"
#include "sound/midi_log.h"
#include "sound/sound_output.h"
#include "video/render_line.h"

InputState Input;

namespace {

using enum KeyAction;

constexpr int32_t AllChannelsOn = 0x800F;

// F7 works on the game run's own snapshot file, F8 on the newer copy of it
// (beside the cartridge or in the per-user folder), while a game runs.
void SaveDefaultState() {
    if (FrontEnd.GameRunning) ::SaveState(Handheld(), Handheld().StateFileName.c_str());
}

void LoadDefaultState() {
    if (FrontEnd.GameRunning) ::LoadState(Handheld(), PlaceGameFile(Settings().Cartridge, ".sta").read.c_str());
}

// Up by 10 while below 250, down by 10 while above 0.
void StepVolume(int32_t step) {
    if (step > 0 ? Settings().SoundVolume < 250 : Settings().SoundVolume > 0) Settings().SoundVolume += step;
    ApplyPlayVolume();
}

// The function actions, on key-down.
void RunFunction(KeyAction action) {
    switch (action) {
    case Quit: QuitProgram(); return;
    case Reset:
        if (FrontEnd.GameRunning) ResetHardware(Handheld());
        return;
    case MidiLog: SetMidiLog(Handheld().MidiLog, MidiLogSwitch::Toggle); return;
    case AutoFireA: Settings().AutoFire ^= KeyA; return;
    case AutoFireB: Settings().AutoFire ^= KeyB; return;
    case AutoFireL: Settings().AutoFire ^= KeyL; return;
    case AutoFireR: Settings().AutoFire ^= KeyR; return;
    case SaveState: SaveDefaultState(); return;
    case LoadState: LoadDefaultState(); return;
    case AllChannels:
        Settings().SoundSwitch = Settings().SoundSwitch ? 0 : AllChannelsOn;
        ApplyPlayVolume();
        return;
    case Channel1:
    case Channel2:
    case Channel3:
    case Channel4:
        Settings().SoundSwitch ^= 1 << (int(action) - int(Channel1));
        ApplyPlayVolume();
        return;
    case Background0:
    case Background1:
    case Background2:
    case Background3:
    case Sprites: Handheld().LayerHideMask ^= uint8_t(1u << (int(action) - int(Background0))); return;
    case VolumeUp: StepVolume(10); return;
    case VolumeDown: StepVolume(-10); return;
    case Pause:
        if (FrontEnd.GameRunning) TogglePause();
        return;
    case FastForwardHold: SetFastForwardHeld(true); return;
    case FastForwardToggle: ToggleFastForward(); return;
    case Fullscreen: ToggleFullscreen(); return;
    case Screenshot: TakeScreenshot(); return;
    case LoadSlot: ::LoadSlot(CurrentSlot()); return;
    case SaveSlot: ::SaveSlot(CurrentSlot()); return;
    default:
        if (action >= Slot1 && action <= Slot9) ChooseSlot(int32_t(action) - int32_t(Slot1) + 1);
        return;
    }
}

}  // namespace

int HandleKey(uint32_t keyCode, bool down) {
    const KeyAction action = FindKeyAction(keyCode, down);
    if (action == None) return 0;
    if (const uint16_t bit = KeypadBitOf(action)) {
        if (down)
            Input.KeyboardState |= bit;
        else
            Input.KeyboardState &= uint16_t(~bit);
        return 1;
    }
    if (action == FastForwardHold && !down) SetFastForwardHeld(false);
    if (!down) return 0;
    RunFunction(action);
    return 1;
}

void SetActive(bool active) {
    Input.Active = active;
    ApplyPlayVolume();
}

bool IsActive() { return Input.Active; }

uint16_t GamepadKeys(uint32_t buttons) {
    uint16_t keys = 0;
    for (const PadBinding& binding : CurrentBindings.Pad)
        if (buttons & (1u << binding.Button)) keys |= KeypadBitOf(binding.Action);
    return keys;
}

uint32_t PollInput(void*) {
    const uint32_t buttons = ReadGamepads();
    // A pad button bound to a function acts as that key would: once when
    // pressed, and the held fast-forward for as long as it is held.
    static uint32_t before = 0;
    for (const PadBinding& binding : CurrentBindings.Pad) {
        if (KeypadBitOf(binding.Action)) continue;
        const uint32_t bit = 1u << binding.Button;
        if ((buttons & bit) && !(before & bit)) RunFunction(binding.Action);
        if (binding.Action == FastForwardHold && !(buttons & bit) && (before & bit)) SetFastForwardHeld(false);
    }
    before = buttons;
    return Input.KeyboardState | GamepadKeys(buttons);
}
