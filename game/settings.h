#pragma once
// The configuration values every part reads (a machine's Settings), and the
// bits of its diagnostic mask (Verbose). The front-end fills the settings
// from KORU.ini; the core only reads them.

#include <cstdint>

struct GameSettings {
    int32_t ClientWidth = 240;
    int32_t ClientHeight = 160;
    int32_t UpdatePeriod = 1;   // present one frame in this many
    int32_t TimerPeriod = 60;   // frame pacing in Hz, 0 = none
    uint8_t SaveCPU = 1;        // pause while the window is inactive
    int32_t AutoFire = 0;       // keypad bits with automatic repeat
    int32_t CheckCRC = 1;       // refuse a cartridge whose header complement is wrong
    int32_t UseDrums = 0;
    int32_t SoundSwitch = 0x800F;
    int32_t SoundVolume = 200;
    int32_t SoundBuffers = 16;
    int32_t SoundRate = 1;      // 0 none, 1..8191 MIDI, 8192+ PCM at that rate
    int32_t SaveType = 0;       // entry of SaveTypeChoices (game/save_type.h); 0 = by the markers
    char SoundLogFile[251] = "LOG.MID";
    char SoundFont[256] = "";   // General MIDI soundfont for the MIDI synthesiser; empty = the system's
    char Cartridge[256] = "CART.GBA";
    char IniPath[216] = "KORU.ini";
    char GameSection[13] = "UNKNOWN";
};

// Diagnostic messages on standard output, selected by bit. 0 at program
// start; any nonzero value also prints start-up and teardown progress.
inline constexpr uint32_t VerboseIoWrites = 0x02;
inline constexpr uint32_t VerboseMemory = 0x04;
inline constexpr uint32_t VerboseDma = 0x08;
inline constexpr uint32_t VerboseUndefined = 0x10;
inline constexpr uint32_t VerboseBios = 0x20;
inline constexpr uint32_t VerboseBackup = 0x40;
