#include "frontend/command_line.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "frontend/play_control.h"

namespace {

bool ReadNumber(const char* text, int32_t low, int32_t high, int32_t& value) {
    if (!text) return false;
    const std::string_view view(text);
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    return error == std::errc() && end == view.data() + view.size() && value >= low && value <= high;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (word == "--help" || word == "-h") {
            line.Help = true;
        } else if (word == "--version") {
            line.Version = true;
        } else if (word == "--fullscreen") {
            line.Fullscreen = true;
        } else if (word == "--scale") {
            if (!ReadNumber(next, 1, 8, line.Scale)) line.Error = "--scale takes a number from 1 to 8";
            ++i;
        } else if (word == "--slot") {
            if (!ReadNumber(next, 1, SlotCount, line.Slot)) line.Error = "--slot takes a number from 1 to 9";
            ++i;
        } else if (word == "--state") {
            if (!next || !*next) line.Error = "--state takes a snapshot file";
            line.StateFile = next ? next : "";
            ++i;
        } else if (word == "--") {
            if (next) line.Cartridge = next;
            break;
        } else if (word.starts_with("-") && word.size() > 1) {
            line.Error = "unknown option " + std::string(word);
        } else if (line.Cartridge.empty()) {
            line.Cartridge = std::string(word);
        } else {
            line.Error = "more than one cartridge named";
        }
        if (!line.Error.empty()) break;
    }
    if (line.Error.empty() && line.Slot && !line.StateFile.empty()) line.Error = "--state and --slot both given";
    return line;
}

const char* UsageText() {
    return "usage: koru [OPTIONS] [CARTRIDGE]\n"
           "Plays a Game Boy Advance cartridge image (.gba, .bin, or gzip-compressed .gz).\n"
           "Without CARTRIDGE the last one played is offered in the file dialog.\n"
           "\n"
           "  --fullscreen   start in fullscreen (Alt+Return switches)\n"
           "  --scale N      the picture at N times 240 x 160 (1-8)\n"
           "  --state FILE   load this snapshot once the game has started\n"
           "  --slot N       load state slot N (1-9) once the game has started\n"
           "  --help         show this text and exit\n"
           "  --version      show the version and exit\n"
           "\n"
           "Settings: ./KORU.ini when it exists, else $XDG_CONFIG_HOME/koru/KORU.ini.\n"
           "Saves: beside the cartridge, or in $XDG_DATA_HOME/koru/ when its folder is read-only.\n";
}

const char* VersionText() { return "koru " KORU_VERSION; }
