#include "frontend/key_bindings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

#include "frontend/config.h"
#include "frontend/ini_file.h"
#include "frontend/main_window.h"
#include "platform/qt/bindings_dialog.h"
#include "platform/qt/key_codes.h"

Bindings CurrentBindings = DefaultBindings();

// clang-format off
const std::array<ActionName, KeyActionCount> ActionNames = {{
    {"", ""},
    {"A", "A"}, {"B", "B"}, {"Select", "Select"}, {"Start", "Start"}, {"Right", "右 Right"}, {"Left", "左 Left"},
    {"Up", "上 Up"}, {"Down", "下 Down"}, {"R", "R"}, {"L", "L"},
    {"Quit", "退出 Quit"}, {"Reset", "重置 Reset"}, {"MidiLog", "记录 MIDI log"},
    {"AutoFireA", "连射 A"}, {"AutoFireB", "连射 B"}, {"AutoFireL", "连射 L"}, {"AutoFireR", "连射 R"},
    {"SaveState", "记忆状态 Save .sta"}, {"LoadState", "读取状态 Load .sta"},
    {"AllChannels", "全部通道 All channels"}, {"Channel1", "通道 1"}, {"Channel2", "通道 2"}, {"Channel3", "通道 3"},
    {"Channel4", "通道 4"}, {"Background0", "背景 0"}, {"Background1", "背景 1"}, {"Background2", "背景 2"},
    {"Background3", "背景 3"}, {"Sprites", "精灵 Sprites"}, {"VolumeUp", "音量+ Louder"}, {"VolumeDown", "音量- Softer"},
    {"Pause", "暂停 Pause"}, {"FastForwardHold", "快进(按住) Fast-forward held"},
    {"FastForward", "快进 Fast-forward on/off"}, {"Fullscreen", "全屏 Fullscreen"}, {"Screenshot", "截图 Screenshot"},
    {"LoadSlot", "读取槽 Load slot"}, {"SaveSlot", "保存到槽 Save slot"},
    {"Slot1", "槽 1"}, {"Slot2", "槽 2"}, {"Slot3", "槽 3"}, {"Slot4", "槽 4"}, {"Slot5", "槽 5"},
    {"Slot6", "槽 6"}, {"Slot7", "槽 7"}, {"Slot8", "槽 8"}, {"Slot9", "槽 9"},
}};
// clang-format on

namespace {

using enum KeyAction;

struct NamedKey {
    uint32_t Code;
    const char* Name;
};
constexpr NamedKey KeyNames[] = {
    {0x08, "Backspace"}, {0x09, "Tab"},    {0x0D, "Return"},   {0x11, "Ctrl"},     {0x13, "Pause"},
    {0x1B, "Esc"},       {0x20, "Space"},  {0x21, "PageUp"},   {0x22, "PageDown"}, {0x23, "End"},
    {0x24, "Home"},      {0x25, "Left"},   {0x26, "Up"},       {0x27, "Right"},    {0x28, "Down"},
    {0x2C, "Print"},     {0x2D, "Insert"}, {0x2E, "Delete"},   {0xBB, "="},        {0xBD, "-"},
};

constexpr const char* PadNames[] = {"a",        "b",          "x",         "y",            "back",
                                    "guide",    "start",      "leftstick", "rightstick",   "leftshoulder",
                                    "rightshoulder", "dpup", "dpdown",    "dpleft",       "dpright"};

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(" \t,", at);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(text.find_first_of(" \t,", start), text.size());
        words.emplace_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

// The names of the keys or buttons bound to an action, in one line.
template <typename Binding, typename Name>
std::string NamesOf(const std::vector<Binding>& list, KeyAction action, Name name) {
    std::string names;
    for (const Binding& binding : list)
        if (binding.Action == action) names += (names.empty() ? "" : " ") + name(binding);
    return names;
}

// Binds the named keys (or buttons) to the action, and only them. A key
// given to this action is taken from any other; the new ones go first, so
// they win over an older binding of the same key. False, and nothing
// changed, when a name is unknown.
template <typename Binding, typename Code, typename Parse>
bool Rebind(std::vector<Binding>& list, Code Binding::*field, KeyAction action, std::string_view names, Parse parse) {
    std::vector<Binding> added;
    for (const std::string& word : Words(names)) {
        const std::optional<Code> code = parse(word);
        if (!code) return false;
        Binding binding{};
        binding.*field = *code;
        binding.Action = action;
        added.push_back(binding);
    }
    std::erase_if(list, [&](const Binding& binding) {
        return binding.Action == action || std::any_of(added.begin(), added.end(), [&](const Binding& other) {
                   return other.*field == binding.*field;
               });
    });
    list.insert(list.begin(), added.begin(), added.end());
    return true;
}

}  // namespace

uint16_t KeypadBitOf(KeyAction action) {
    if (action < ButtonA || action > ButtonL) return 0;
    return uint16_t(1u << (int(action) - int(ButtonA)));
}

Bindings DefaultBindings() {
    Bindings bindings;
    auto add = [&](uint32_t code, KeyAction action) { bindings.Keys.push_back({code, action}); };
    // The handheld's keys, in the classic table's order.
    add(0x0D, ButtonStart);
    add(0x09, ButtonSelect);
    add(0x11, ButtonB);
    add(0x20, ButtonA);
    add(0x28, ButtonDown);
    add(0x26, ButtonUp);
    add(0x25, ButtonLeft);
    add(0x27, ButtonRight);
    for (char key : std::string_view("ZXCVBNM")) add(uint32_t(key), ButtonB);
    for (char key : std::string_view("ASDFGHJKL")) add(uint32_t(key), ButtonA);
    for (char key : std::string_view("QETUO")) add(uint32_t(key), ButtonL);
    for (char key : std::string_view("WRYIP")) add(uint32_t(key), ButtonR);
    // The function keys.
    add(0x1B, Quit);
    add(0x7B, Quit);
    add(0x7A, Reset);
    add(0x71, MidiLog);
    add(0x72, AutoFireA);
    add(0x73, AutoFireB);
    add(0x74, AutoFireL);
    add(0x75, AutoFireR);
    add(0x76, SaveState);
    add(0x77, LoadState);
    add('0', AllChannels);
    for (int i = 0; i < 4; ++i) add(uint32_t('1' + i), KeyAction(int(Channel1) + i));
    for (int i = 0; i < 5; ++i) add(uint32_t('5' + i), KeyAction(int(Background0) + i));
    add(0xBB, VolumeUp);
    add(0xBD, VolumeDown);
    // The player's controls, on keys the table above leaves free.
    add(0x70, Pause);
    add(0x08, FastForwardHold);
    add(0x08 | ShiftHeld, FastForwardToggle);
    add(0x0D | AltHeld, Fullscreen);
    add(0x79, Screenshot);
    add(0x78, LoadSlot);
    add(0x78 | ShiftHeld, SaveSlot);
    for (int i = 0; i < 9; ++i) add(uint32_t('1' + i) | AltHeld, KeyAction(int(Slot1) + i));
    // The gamepad: SDL's game-controller buttons.
    const std::pair<int32_t, KeyAction> pad[] = {{0, ButtonA},      {1, ButtonB},     {2, ButtonB},     {3, ButtonA},
                                                 {4, ButtonSelect}, {6, ButtonStart}, {9, ButtonL},     {10, ButtonR},
                                                 {11, ButtonUp},    {12, ButtonDown}, {13, ButtonLeft}, {14, ButtonRight}};
    for (const auto& [button, action] : pad) bindings.Pad.push_back({button, action});
    return bindings;
}

std::string KeyName(uint32_t keyCode) {
    std::string prefix;
    if (keyCode & ShiftHeld) prefix += "Shift+";
    if (keyCode & AltHeld) prefix += "Alt+";
    const uint32_t key = keyCode & KeyCodeMask;
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return prefix + char(key);
    if (key >= 0x70 && key <= 0x87) return prefix + "F" + std::to_string(key - 0x70 + 1);
    for (const NamedKey& named : KeyNames)
        if (named.Code == key) return prefix + named.Name;
    return {};
}

uint32_t KeyFromName(std::string_view name) {
    uint32_t flags = 0;
    for (;;) {
        if (name.size() > 6 && SameIniName(name.substr(0, 6), "Shift+")) {
            flags |= ShiftHeld;
            name.remove_prefix(6);
        } else if (name.size() > 4 && SameIniName(name.substr(0, 4), "Alt+")) {
            flags |= AltHeld;
            name.remove_prefix(4);
        } else {
            break;
        }
    }
    if (name.size() == 1 && std::isalnum(uint8_t(name[0]))) return flags | uint32_t(std::toupper(uint8_t(name[0])));
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        int number = 0;
        for (char c : name.substr(1)) number = std::isdigit(uint8_t(c)) && number < 100 ? number * 10 + (c - '0') : 100;
        if (number >= 1 && number <= 24) return flags | uint32_t(0x70 + number - 1);
    }
    for (const NamedKey& named : KeyNames)
        if (SameIniName(name, named.Name)) return flags | named.Code;
    return 0;
}

std::string PadButtonName(int32_t button) {
    return button >= 0 && size_t(button) < std::size(PadNames) ? PadNames[button] : std::string();
}

int32_t PadButtonFromName(std::string_view name) {
    for (size_t i = 0; i < std::size(PadNames); ++i)
        if (SameIniName(name, PadNames[i])) return int32_t(i);
    return -1;
}

std::string KeysOf(const Bindings& bindings, KeyAction action) {
    return NamesOf(bindings.Keys, action, [](const KeyBinding& binding) { return KeyName(binding.KeyCode); });
}

std::string PadButtonsOf(const Bindings& bindings, KeyAction action) {
    return NamesOf(bindings.Pad, action, [](const PadBinding& binding) { return PadButtonName(binding.Button); });
}

bool SetKeysOf(Bindings& bindings, KeyAction action, std::string_view names) {
    return Rebind(bindings.Keys, &KeyBinding::KeyCode, action, names, [](const std::string& word) {
        const uint32_t code = KeyFromName(word);
        return code ? std::optional<uint32_t>(code) : std::nullopt;
    });
}

bool SetPadButtonsOf(Bindings& bindings, KeyAction action, std::string_view names) {
    return Rebind(bindings.Pad, &PadBinding::Button, action, names, [](const std::string& word) {
        const int32_t button = PadButtonFromName(word);
        return button >= 0 ? std::optional<int32_t>(button) : std::nullopt;
    });
}

void ReadKeyBindings(const IniFile& file) {
    CurrentBindings = DefaultBindings();
    for (size_t i = 1; i < KeyActionCount; ++i) {
        const KeyAction action = KeyAction(i);
        const std::string name = ActionNames[i].Key;
        if (const auto keys = FindIniValue(file, GlobalSection, "Key" + name);
            keys && !SetKeysOf(CurrentBindings, action, *keys))
            std::fprintf(stderr, "koru: Key%s=%s names a key KORU does not know; the default stays\n", name.c_str(),
                         keys->c_str());
        if (const auto buttons = FindIniValue(file, GlobalSection, "Pad" + name);
            buttons && !SetPadButtonsOf(CurrentBindings, action, *buttons))
            std::fprintf(stderr, "koru: Pad%s=%s names a button KORU does not know; the default stays\n",
                         name.c_str(), buttons->c_str());
    }
}

void StoreKeyBindings(IniFile& file, const Bindings& bindings) {
    for (size_t i = 1; i < KeyActionCount; ++i) {
        const std::string name = ActionNames[i].Key;
        SetIniValue(file, GlobalSection, "Key" + name, KeysOf(bindings, KeyAction(i)));
        SetIniValue(file, GlobalSection, "Pad" + name, PadButtonsOf(bindings, KeyAction(i)));
    }
}

KeyAction FindKeyAction(uint32_t keyCode, bool down) {
    const uint32_t bare = keyCode & KeyCodeMask;
    auto find = [&](uint32_t code) {
        for (const KeyBinding& binding : CurrentBindings.Keys)
            if (binding.KeyCode == code) return binding.Action;
        return None;
    };
    if (!down) return find(bare);
    const KeyAction exact = find(keyCode);
    if (exact != None || (keyCode & AltHeld) || keyCode == bare) return exact;
    return find(bare);
}

void RunKeyBindingsDialog() {
    std::vector<BindingRow> rows;
    const Bindings defaults = DefaultBindings();
    for (size_t i = 1; i < KeyActionCount; ++i) {
        const KeyAction action = KeyAction(i);
        rows.push_back({ActionNames[i].Label, KeysOf(CurrentBindings, action), PadButtonsOf(CurrentBindings, action),
                        KeysOf(defaults, action), PadButtonsOf(defaults, action)});
    }
    BindingNames names{KeyName, PadButtonName};
    if (!RunBindingsDialog(rows, names)) return;
    Bindings edited = CurrentBindings;
    for (size_t i = 1; i < KeyActionCount; ++i) {
        const BindingRow& row = rows[i - 1];
        if (!SetKeysOf(edited, KeyAction(i), row.Keys) || !SetPadButtonsOf(edited, KeyAction(i), row.Pad)) {
            ShowProblem(("unknown key or button for " + std::string(ActionNames[i].Label)).c_str());
            return;
        }
    }
    CurrentBindings = edited;
    IniFile file = ReadIniFile(Settings().IniPath);
    StoreKeyBindings(file, CurrentBindings);
    WriteSettingsFile(file);
}
