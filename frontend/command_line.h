#pragma once
// The desktop program's command line:
//   koru [--fullscreen] [--scale N] [--state FILE | --slot N] [CARTRIDGE]
//   koru --help | --version

#include <cstdint>
#include <string>

struct CommandLine {
    std::string Cartridge;  // empty: the one KORU.ini names, offered in the file dialog
    bool Fullscreen = false;
    int32_t Scale = 0;      // 1-8: the picture area at that multiple of 240 x 160; 0 as KORU.ini says
    std::string StateFile;  // a snapshot to load once the game has started
    int32_t Slot = 0;       // a state slot to load once the game has started; 0 none
    bool Help = false;
    bool Version = false;
    std::string Error;      // what was wrong with the line; empty when nothing
};

// argv without the options the window system took for itself.
CommandLine ParseCommandLine(int argc, char** argv);

// The text --help prints.
const char* UsageText();
// "koru VERSION".
const char* VersionText();
