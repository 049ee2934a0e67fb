#pragma once
// The remapping dialog: one row per action, its keyboard keys and its
// gamepad buttons as lines of names. Selecting a cell and pressing a key
// (or a gamepad button) puts that key's name there; the cells can also be
// edited as text. "默认" gives every row its defaults back, "清除" empties
// the selected cell.

#include <cstdint>
#include <string>
#include <vector>

struct BindingRow {
    std::string Label;
    std::string Keys;
    std::string Pad;
    std::string DefaultKeys;
    std::string DefaultPad;
};

struct BindingNames {
    std::string (*KeyName)(uint32_t keyCode);  // window.h numbering; empty for an unknown key
    std::string (*PadButtonName)(int32_t button);
};

// Runs the dialog modally; true (and the rows changed) when confirmed.
bool RunBindingsDialog(std::vector<BindingRow>& rows, const BindingNames& names);
