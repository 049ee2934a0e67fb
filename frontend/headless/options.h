#pragma once
// Command-line options of koru-headless, parsed through one table.

#include <cstdint>
#include <string>
#include <vector>

struct MemoryDump {
    uint32_t address;
    uint32_t length;
    std::string file;
};

// From frame `frame` on, the keypad reports `keys` (1 = pressed).
struct KeyChange {
    uint32_t frame;
    uint32_t keys;
};

struct HeadlessOptions {
    uint32_t frames = 60;
    bool printRegisters = false;
    std::vector<MemoryDump> dumps;
    uint32_t verbose = 0;
    bool untilSet = false;
    uint32_t untilAddress = 0;
    uint32_t untilValue = 0;
    bool bench = false;
    std::vector<KeyChange> keys;  // in frame order
    std::string bios;
    std::string screenshot;        // PNG of the last presented frame
    uint32_t screenshotEvery = 0;  // every K presented frames, 0 = never
    std::string screenshotPrefix;  // ...as PREFIX-NNNNNN.png
    std::string saveState;         // snapshot written after the last frame
    std::string loadState;         // snapshot loaded right after the start-up
    bool defaultState = true;      // load the cartridge's own .sta at start-up
    bool battery = true;           // read and write the cartridge's .sav
    bool headerCheck = true;       // refuse a cartridge whose header complement is wrong
    int32_t saveType = 0;          // entry of SaveTypeChoices, 0 = by the cartridge's markers
    uint32_t soundRate = 0;    // SoundRate for the run: 0 none, 1-8191 MIDI, 8192+ PCM
    bool soundRateSet = false;
    std::string wav;           // PCM sound rendered offline into this WAV file
    std::string midiLog;       // MIDI log recorded from the start
    std::string cartridge;
};

// Parses argv; on error writes a message to `error` and returns false.
bool ParseHeadlessOptions(int argc, char** argv, HeadlessOptions& options, std::string& error);

// The option summary printed for --help and after a usage error.
std::string HeadlessUsage();
