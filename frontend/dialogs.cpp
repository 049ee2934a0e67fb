#include "frontend/dialogs.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "frontend/config.h"
#include "frontend/input.h"
#include "frontend/main_window.h"
#include "game/game.h"
#include "game/header.h"
#include "game/save_type.h"
#include "game/settings.h"
#include "machine/machine.h"
#include "machine/rtc.h"
#include "sound/midi_log.h"
#include "sound/sound_output.h"

namespace {

using enum ControlKind;
constexpr int32_t NoId = -1;

const DialogControl SettingsControls[] = {
    {NoId, Bitmap, "Logo", 20, 20, 100, 60},
    {NoId, GroupBox, "选项", 5, 5, 100, 175},
    {AutoFireABox, CheckBox, "连射 A", 10, 70, 90, 10},
    {AutoFireBBox, CheckBox, "连射 B", 10, 80, 90, 10},
    {AutoFireLBox, CheckBox, "连射 L", 10, 90, 90, 10},
    {AutoFireRBox, CheckBox, "连射 R", 10, 100, 90, 10},
    // Checked means the header complement is checked, so the box says so.
    {CheckCrcBox, CheckBox, "效验 CRC", 10, 115, 90, 10},
    {SaveCpuBox, CheckBox, "无反映时待机", 10, 125, 90, 10},
    {UseDrumsBox, CheckBox, "控制噪声", 10, 135, 90, 10},
    {LogFileEdit, Edit, "", 10, 152, 90, 12},
    {RecordMidiBox, CheckBox, "记录声音文件", 10, 165, 90, 10},
    {NoId, GroupBox, "调速", 110, 5, 105, 60},
    {UpdatePeriodBar, HScrollBar, "", 115, 20, 95, 10},
    {UpdatePeriodBar + ScrollLabelOffset, RightLabel, "更新Period", 115, 30, 95, 10},
    {TimerPeriodBar, HScrollBar, "", 115, 40, 95, 10},
    {TimerPeriodBar + ScrollLabelOffset, RightLabel, "时间Period", 115, 50, 95, 10},
    {NoId, GroupBox, "声音", 110, 70, 105, 110},
    {Channel1Box, CheckBox, "1", 115, 85, 20, 10},
    {Channel1Box + 1, CheckBox, "2", 140, 85, 20, 10},
    {Channel1Box + 2, CheckBox, "3", 165, 85, 20, 10},
    {Channel1Box + 3, CheckBox, "4", 190, 85, 20, 10},
    {NoId, Label, "通道", 115, 95, 95, 10},
    {VolumeBar, HScrollBar, "", 115, 105, 95, 10},
    {VolumeBar + ScrollLabelOffset, RightLabel, "音量", 115, 115, 95, 10},
    {RateBar, HScrollBar, "", 115, 125, 95, 10},
    {RateBar + ScrollLabelOffset, RightLabel, "声音比率", 115, 135, 95, 10},
    {BuffersBar, HScrollBar, "", 115, 145, 95, 10},
    {BuffersBar + ScrollLabelOffset, RightLabel, "缓存", 115, 155, 95, 10},
    {PlayMidiBox, CheckBox, "以形式MIDI播放声音", 115, 165, 95, 10},
    {OkButton, DefaultButton, "确定", 5, 185, 40, 15},
    {ResetButton, Button, "重置", 90, 185, 40, 15},
    {CancelButton, Button, "删除", 175, 185, 40, 15},
};

const DialogControl AboutControls[] = {
    {OkButton, DefaultButton, "确定", 81, 90, 40, 15},
    {NoId, Bitmap, "Logo", 15, 15, 100, 60},
    {NoId, EtchedFrame, "", 5, 5, 190, 80},
    {NoId, Label, "KORU\nGame Boy Advance 模拟器", 90, 20, 100, 35},
    {BuildLineLabel, Label, "", 90, 40, 100, 10},
    {NoId, Label, "以 C++20 写成；窗口与对话框用 Qt6，手柄与计时用 SDL2。", 12, 55, 171, 27},
};

const DialogControl GameInfoControls[] = {
    {OkButton, DefaultButton, "确定", 70, 130, 30, 15},
    {NameGroup, GroupBox, "名字", 5, 5, 160, 120},
    {NoId, Label, "厂商", 10, 20, 45, 10},
    {MakerField, SunkenLabel, "未知", 55, 20, 105, 10},
    {NoId, Label, "检查", 10, 35, 45, 10},
    {CheckField, SunkenLabel, "0000h (computed as 0000h)", 55, 35, 105, 10},
    {NoId, Label, "补足", 10, 50, 45, 10},
    {ComplementField, SunkenLabel, "00h (computed as 00h)", 55, 50, 105, 10},
    {NoId, Label, "译本", 10, 65, 45, 10},
    {VersionField, SunkenLabel, "00h", 65, 65, 20, 10},
    {NoId, Label, "计量ID", 95, 65, 45, 10},
    {UnitField, SunkenLabel, "00h", 140, 65, 20, 10},
    {NoId, Label, "设计类型", 10, 80, 45, 10},
    {DeviceField, SunkenLabel, "00h", 65, 80, 20, 10},
    {NoId, Label, "存档", 10, 95, 45, 10},
    {SaveTypeField, SunkenLabel, "", 55, 95, 105, 10},
    {NoId, Label, "时钟", 10, 110, 45, 10},
    {ClockField, SunkenLabel, "", 55, 110, 105, 10},
};

struct ScrollBarRange {
    int32_t Id;
    int Minimum, Maximum;
};
constexpr std::array<ScrollBarRange, 5> ScrollRanges = {{
    {UpdatePeriodBar, MinUpdatePeriod, MaxUpdatePeriod},
    {TimerPeriodBar, 0, 120},
    {VolumeBar, 0, 255},
    {BuffersBar, 2, 32},
    {RateBar, FirstPcmRate, 44100},
}};

bool IsScrollBar(int32_t id) {
    return std::any_of(ScrollRanges.begin(), ScrollRanges.end(), [id](const auto& bar) { return bar.Id == id; });
}

// Header bytes shown as characters; a control character would cut the text.
char Printable(uint8_t c) { return c < 0x20 ? ' ' : char(c); }

}  // namespace

const DialogTemplate SettingsDialog = {"设置 KORU", 10, 10, 220, 205, SettingsControls};
const DialogTemplate AboutDialog = {"关于 KORU", 10, 10, 199, 112, AboutControls};
const DialogTemplate GameInfoDialog = {"游戏讯息", 10, 10, 170, 150, GameInfoControls};

void UpdateScrollLabel(Dialog* dialog, int32_t scrollId, int value) {
    int minimum = 0, maximum = 0;
    GetScrollRange(dialog, scrollId, minimum, maximum);
    value = std::clamp(value, minimum, maximum);
    SetScrollPosition(dialog, scrollId, value);
    char text[64];
    switch (scrollId) {
    case UpdatePeriodBar: std::snprintf(text, sizeof text, "Update x %d frames", value); break;
    case TimerPeriodBar:
        if (value == 0)
            std::snprintf(text, sizeof text, "Don't sync updates");
        else
            std::snprintf(text, sizeof text, "Sync updates to %dHz", value);
        break;
    case VolumeBar: std::snprintf(text, sizeof text, "Volume %d", value); break;
    case BuffersBar: std::snprintf(text, sizeof text, "Sound Buffers %d", value); break;
    case RateBar: std::snprintf(text, sizeof text, "Sound Rate %dHz", value); break;
    default: return;
    }
    SetControlText(dialog, scrollId + ScrollLabelOffset, text);
}

void SettingsDialogProc(Dialog* dialog, DialogEvent event, int32_t id, ScrollCode code, int position) {
    switch (event) {
    case DialogEvent::Open:
        for (const ScrollBarRange& bar : ScrollRanges) SetScrollRange(dialog, bar.Id, bar.Minimum, bar.Maximum);
        UpdateScrollLabel(dialog, UpdatePeriodBar, Settings().UpdatePeriod);
        UpdateScrollLabel(dialog, TimerPeriodBar, Settings().TimerPeriod);
        UpdateScrollLabel(dialog, VolumeBar, Settings().SoundVolume);
        UpdateScrollLabel(dialog, RateBar,
                          Settings().SoundRate >= FirstPcmRate ? Settings().SoundRate : DefaultPcmRate);
        UpdateScrollLabel(dialog, BuffersBar, Settings().SoundBuffers);
        SetChecked(dialog, CheckCrcBox, Settings().CheckCRC);
        SetChecked(dialog, UseDrumsBox, Settings().UseDrums);
        SetChecked(dialog, SaveCpuBox, Settings().SaveCPU);
        SetChecked(dialog, AutoFireABox, Settings().AutoFire & KeyA);
        SetChecked(dialog, AutoFireBBox, Settings().AutoFire & KeyB);
        SetChecked(dialog, AutoFireLBox, Settings().AutoFire & KeyL);
        SetChecked(dialog, AutoFireRBox, Settings().AutoFire & KeyR);
        SetChecked(dialog, RecordMidiBox, MidiLogRecording(Handheld().MidiLog));
        for (int channel = 0; channel < 4; ++channel)
            SetChecked(dialog, Channel1Box + channel, Settings().SoundSwitch & (1 << channel));
        SetChecked(dialog, PlayMidiBox, Settings().SoundRate < FirstPcmRate);
        SetControlText(dialog, LogFileEdit, Settings().SoundLogFile);
        FocusControl(dialog, OkButton);
        return;
    case DialogEvent::HScroll: {
        if (!IsScrollBar(id)) return;
        int value = GetScrollPosition(dialog, id);
        switch (code) {
        case ScrollCode::LineLeft:
        case ScrollCode::PageLeft: --value; break;
        case ScrollCode::LineRight:
        case ScrollCode::PageRight: ++value; break;
        case ScrollCode::ThumbPosition:
        case ScrollCode::ThumbTrack: value = position; break;
        default: break;
        }
        UpdateScrollLabel(dialog, id, value);
        return;
    }
    case DialogEvent::Command:
        if (id == OkButton || id == ResetButton) {
            EndDialog(dialog, id);
            SaveSettingsFromDialog(dialog);
            if (id == ResetButton) RestartGame();
            SetActive(true);
        } else if (id == CancelButton) {
            EndDialog(dialog, id);
            SetActive(true);
        }
        return;
    case DialogEvent::Close:
        EndDialog(dialog, CancelButton);
        SetActive(true);
        return;
    }
}

void AboutDialogProc(Dialog* dialog, DialogEvent event, int32_t, ScrollCode, int) {
    switch (event) {
    case DialogEvent::Open:
        SetActive(false);
        SetControlText(dialog, BuildLineLabel, "compiled on Aug 03 2001");
        return;
    case DialogEvent::Command:
    case DialogEvent::Close:
        EndDialog(dialog, OkButton);
        SetActive(true);
        return;
    case DialogEvent::HScroll: return;
    }
}

std::string DescribeClock() {
    const Machine& m = Handheld();
    if (!m.RealTimeClock.Present) return "none";
    uint8_t date[7];
    ReadClockDate(m, date);
    const int hour = ((date[4] >> 4) & 3) * 10 + (date[4] & 15);
    char text[40];
    std::snprintf(text, sizeof text, "20%02X-%02X-%02X %02d:%02X:%02X", date[0], date[1], date[2],
                  (m.RealTimeClock.Control & 0x40) ? hour : hour + ((date[4] & 0x80) ? 12 : 0), date[5], date[6]);
    return text;
}

GameDescription DescribeGame(const uint8_t* header) {
    GameDescription description;
    char text[96];
    const uint8_t* code = header + HeaderGameCodeOffset;
    std::snprintf(text, sizeof text, "%s (%c%c%c%c)", GetGameTitle(header).c_str(), Printable(code[0]),
                  Printable(code[1]), Printable(code[2]), Printable(code[3]));
    description.TitleAndCode = text;
    const char* maker = FindMakerName(header);
    std::snprintf(text, sizeof text, "%s (%c%c)", maker ? maker : "Unknown", Printable(header[HeaderMakerOffset]),
                  Printable(header[HeaderMakerOffset + 1]));
    description.Maker = text;
    std::snprintf(text, sizeof text, "%02Xh (computed as %02Xh)", header[HeaderComplementOffset],
                  HeaderComplement(header));
    description.Complement = text;
    std::snprintf(text, sizeof text, "%02Xh", header[HeaderVersionOffset]);
    description.Version = text;
    std::snprintf(text, sizeof text, "%02Xh", header[HeaderUnitOffset]);
    description.Unit = text;
    std::snprintf(text, sizeof text, "%02Xh", header[HeaderDeviceOffset]);
    description.Device = text;
    return description;
}

// Each value stands beside the label that names it; the title and game code
// take the place of the "name" caption, and the check row, which has no
// value in this header, stays empty. The last two rows name the backup chip
// the game start chose and show the cartridge's clock, if it has one.
void GameInfoDialogProc(Dialog* dialog, DialogEvent event, int32_t id, ScrollCode, int) {
    switch (event) {
    case DialogEvent::Open: {
        if (!Handheld().RomImage) return;
        const GameDescription description = DescribeGame(Handheld().RomImage.get());
        SetControlText(dialog, NameGroup, description.TitleAndCode.c_str());
        SetControlText(dialog, MakerField, description.Maker.c_str());
        SetControlText(dialog, CheckField, "");
        SetControlText(dialog, ComplementField, description.Complement.c_str());
        SetControlText(dialog, VersionField, description.Version.c_str());
        SetControlText(dialog, UnitField, description.Unit.c_str());
        SetControlText(dialog, DeviceField, description.Device.c_str());
        SetControlText(dialog, SaveTypeField, SaveTypeText(Handheld()));
        SetControlText(dialog, ClockField, DescribeClock().c_str());
        return;
    }
    case DialogEvent::Command:
        if (id == OkButton) EndDialog(dialog, OkButton);
        return;
    case DialogEvent::Close: EndDialog(dialog, OkButton); return;
    case DialogEvent::HScroll: return;
    }
}
