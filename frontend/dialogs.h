#pragma once
// The settings, about and game information dialogs: their templates (as
// data, positions in dialog units) and their procedures.

#include <cstdint>
#include <string>

#include "platform/qt/dialog.h"

// Settings dialog controls.
enum SettingsControl : int32_t {
    UseDrumsBox = 119,
    AutoFireABox = 120,
    AutoFireBBox = 121,
    AutoFireLBox = 122,
    AutoFireRBox = 123,
    SaveCpuBox = 124,
    PlayMidiBox = 125,
    RecordMidiBox = 126,
    CheckCrcBox = 127,
    Channel1Box = 134,  // ... Channel1Box + 3
    LogFileEdit = 140,
    ResetButton = 146,
    UpdatePeriodBar = 100,
    TimerPeriodBar = 101,
    VolumeBar = 102,
    BuffersBar = 103,
    RateBar = 104,
    // The label of scroll bar n is the static n + ScrollLabelOffset.
    ScrollLabelOffset = 10,
};

inline constexpr int32_t OkButton = 1;
inline constexpr int32_t CancelButton = 2;
// The rate bar's place when MIDI or no sound is selected.
inline constexpr int32_t DefaultPcmRate = 22050;

// Game information dialog controls.
enum GameInfoControl : int32_t {
    MakerField = 170,
    CheckField = 171,
    ComplementField = 172,
    VersionField = 173,
    NameGroup = 174,
    UnitField = 175,
    DeviceField = 176,
    SaveTypeField = 177,
    ClockField = 178,
};

inline constexpr int32_t BuildLineLabel = 181;

extern const DialogTemplate SettingsDialog;
extern const DialogTemplate AboutDialog;
extern const DialogTemplate GameInfoDialog;

// Limits value to the bar's range, moves the bar there and writes the
// bar's label with that value.
void UpdateScrollLabel(Dialog* dialog, int32_t scrollId, int value);

void SettingsDialogProc(Dialog* dialog, DialogEvent event, int32_t id, ScrollCode code, int position);
void AboutDialogProc(Dialog* dialog, DialogEvent event, int32_t id, ScrollCode code, int position);
void GameInfoDialogProc(Dialog* dialog, DialogEvent event, int32_t id, ScrollCode code, int position);

// The game information dialog's texts for a cartridge header.
struct GameDescription {
    std::string TitleAndCode;  // "%s (%c%c%c%c)"
    std::string Maker;         // "%s (%c%c)"
    std::string Complement;    // "%02Xh (computed as %02Xh)"
    std::string Version;       // "%02Xh"
    std::string Unit;
    std::string Device;
};
GameDescription DescribeGame(const uint8_t* header);

// The clock's field: "none", or the date and time it shows now.
std::string DescribeClock();
