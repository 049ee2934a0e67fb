// KORU.ini of any content, and a cartridge of any title: the settings a game
// start takes from them are always in range or the defaults, every text fits
// its buffer, the sound device sees a clamped buffer count and volume, and
// the reader, the writer and key updates agree with each other.
//
// Input: the cartridge's title field (12 bytes), one line that is the value
// for a key update, then the file.

#include <algorithm>
#include <cstring>
#include <string>

#include "frontend/config.h"
#include "frontend/ini_file.h"
#include "frontend/main_window.h"
#include "game/header.h"
#include "game/settings.h"
#include "machine/host.h"
#include "sound/sound_output.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

int32_t OpenedBuffers = 0;
int32_t DeviceVolume = 0;

bool Terminated(const char* text, size_t size, size_t longest) {
    const size_t length = strnlen(text, size);
    return length < size && length <= longest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Machine& m = FuzzMachine();
    InputReader input({data, size});
    uint8_t cartridge[512] = {};
    const auto title = input.Take(12);
    std::memcpy(cartridge + HeaderTitleOffset, title.data(), title.size());
    const auto rest = input.Rest();
    const auto lineEnd = std::find(rest.begin(), rest.end(), uint8_t('\n'));
    const std::string newValue(rest.begin(), lineEnd);
    const auto text = lineEnd == rest.end() ? rest.last(0) : rest.subspan(size_t(lineEnd - rest.begin()) + 1);

    ResetMachineSettings();
    // The desktop program's settings code works on the program's machine.
    FrontEnd.Handheld = &m;
    const std::string cartridgePath = WriteScratchFile("game.gba", cartridge);
    const std::string iniPath = WriteScratchFile("KORU.ini", text);
    BuildIniPath(ScratchFolder().c_str());
    Require(iniPath == m.Settings.IniPath, "the settings file is the scratch one");

    ReadGameSettings(cartridgePath.c_str());
    Require(m.Settings.UpdatePeriod >= MinUpdatePeriod && m.Settings.UpdatePeriod <= MaxUpdatePeriod, "UpdatePeriod");
    Require(m.Settings.TimerPeriod >= 0 && m.Settings.TimerPeriod <= MaxTimerPeriod, "TimerPeriod");
    Require(m.Settings.SaveCPU <= 1, "SaveCPU is a flag");
    Require(Terminated(m.Settings.SoundLogFile, sizeof m.Settings.SoundLogFile, MaxPathLength), "SoundLogFile fits");
    Require(Terminated(m.Settings.SoundFont, sizeof m.Settings.SoundFont, MaxPathLength), "SoundFont fits");
    Require(Terminated(m.Settings.GameSection, sizeof m.Settings.GameSection, 12), "GameSection fits");
    for (const char* c = m.Settings.GameSection; *c; ++c)
        Require(*c >= 0x20 && *c < 0x7F && *c != '[' && *c != ']', "GameSection makes one header line");

    // The sound device as a game start opens it, with a host that reports
    // what it was given.
    const HostInterface savedHost = m.Host;
    OpenedBuffers = DeviceVolume = -1;
    m.Host.OpenMidiOutput = [](void*) { return true; };
    m.Host.SetMidiVolume = [](void*, int32_t volume) { DeviceVolume = volume; };
    m.Host.OpenPcmOutput = [](void*, int32_t, int32_t buffers, bool (*)(void*, uint8_t*, int32_t), void*) {
        OpenedBuffers = buffers;
        return false;
    };
    OpenSoundDevice(m, m.Settings.SoundRate, m.Settings.SoundBuffers);
    SetMasterVolume(m, m.Settings.SoundVolume, m.Settings.SoundSwitch);
    CloseSoundDevice(m);
    m.Host = savedHost;
    Require(OpenedBuffers == -1 || (OpenedBuffers >= 2 && OpenedBuffers <= 32), "PCM buffers within 2-32");
    Require(DeviceVolume >= -1 && DeviceVolume <= 255, "volume within 0-255");

    // Written back unchanged, the file reads as the same lines; a key set in
    // the game's section reads back as its value's first line, trimmed.
    IniFile file = ReadIniFile(iniPath);
    const std::string copyPath = ScratchFolder() + "/copy.ini";
    Require(bool(WriteIniFile(copyPath, file)), "the file can be written");
    const IniFile copy = ReadIniFile(copyPath);
    Require(copy.Lines == file.Lines && copy.WindowsLineEnds == file.WindowsLineEnds, "written file reads the same");
    SetIniValue(file, m.Settings.GameSection, "AutoFire", newValue);
    const auto found = FindIniValue(file, m.Settings.GameSection, "AutoFire");
    std::string expected = newValue.substr(0, newValue.find_first_of("\r\n"));
    expected.erase(0, std::min(expected.size(), expected.find_first_not_of(" \t\r")));
    expected.erase(expected.find_last_not_of(" \t\r") + 1);
    Require(found && *found == expected, "a key reads back as it was set");
    ResetMachineSettings();
    return 0;
}
