#include "frontend/headless/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "game/save_type.h"

namespace {

bool ParseNumber(std::string_view text, int base, uint32_t& value) {
    if (text.empty()) return false;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(copy.c_str(), &end, base);
    if (errno || *end != '\0' || parsed > 0xFFFFFFFFull || copy[0] == '-') return false;
    value = uint32_t(parsed);
    return true;
}

bool ParseHex(std::string_view text, uint32_t& value) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    return ParseNumber(text, 16, value);
}

// Splits "A:B" or "A:B:C" at the first separators.
std::vector<std::string_view> SplitFields(std::string_view text, size_t count) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos) break;
        fields.push_back(text.substr(0, colon));
        text.remove_prefix(colon + 1);
    }
    fields.push_back(text);
    return fields;
}

struct OptionEntry {
    const char* name;
    const char* argument;  // null for a flag
    const char* help;
    bool (*apply)(HeadlessOptions& options, std::string_view argument);
};

const OptionEntry OptionTable[] = {
    {"--frames", "N", "stop after N frames (default 60)",
     [](HeadlessOptions& o, std::string_view a) { return ParseNumber(a, 10, o.frames); }},
    {"--regs", nullptr, "print R0-R15 and CPSR after the run",
     [](HeadlessOptions& o, std::string_view) { return o.printRegisters = true; }},
    {"--dump", "ADDR:LEN:FILE", "write LEN bytes of bus memory from hex ADDR to FILE after the run",
     [](HeadlessOptions& o, std::string_view a) {
         const auto fields = SplitFields(a, 3);
         MemoryDump dump;
         if (fields.size() != 3 || fields[2].empty() || !ParseHex(fields[0], dump.address) ||
             !ParseNumber(fields[1], 0, dump.length))
             return false;
         dump.file = std::string(fields[2]);
         o.dumps.push_back(dump);
         return true;
     }},
    {"--verbose", "MASK", "diagnostic message mask (decimal or 0x hex)",
     [](HeadlessOptions& o, std::string_view a) { return ParseNumber(a, 0, o.verbose); }},
    {"--until", "ADDR:VALUE", "stop after the first frame that leaves the word at hex ADDR equal to hex VALUE",
     [](HeadlessOptions& o, std::string_view a) {
         const auto fields = SplitFields(a, 2);
         return o.untilSet =
                    fields.size() == 2 && ParseHex(fields[0], o.untilAddress) && ParseHex(fields[1], o.untilValue);
     }},
    {"--keys", "F:MASK[,F:MASK...]", "from frame F on, hold the keypad MASK (bit 0 A ... 9 L; hex or decimal)",
     [](HeadlessOptions& o, std::string_view a) {
         while (!a.empty()) {
             const size_t comma = a.find(',');
             const auto fields = SplitFields(a.substr(0, comma), 2);
             KeyChange change;
             if (fields.size() != 2 || !ParseNumber(fields[0], 10, change.frame) ||
                 !ParseNumber(fields[1], 0, change.keys) || change.keys > 0x3FF)
                 return false;
             o.keys.push_back(change);
             a = comma == std::string_view::npos ? std::string_view() : a.substr(comma + 1);
         }
         std::stable_sort(o.keys.begin(), o.keys.end(),
                          [](const KeyChange& x, const KeyChange& y) { return x.frame < y.frame; });
         return true;
     }},
    {"--bios", "FILE", "read the BIOS image from FILE instead of GBA.ROM",
     [](HeadlessOptions& o, std::string_view a) {
         o.bios = std::string(a);
         return !a.empty();
     }},
    {"--screenshot", "FILE.png", "write the last presented frame as a 240x160 RGB PNG",
     [](HeadlessOptions& o, std::string_view a) {
         o.screenshot = std::string(a);
         return !a.empty();
     }},
    {"--screenshot-every", "K:PREFIX", "write every K-th presented frame as PREFIX-NNNNNN.png",
     [](HeadlessOptions& o, std::string_view a) {
         const auto fields = SplitFields(a, 2);
         if (fields.size() != 2 || fields[1].empty() || !ParseNumber(fields[0], 10, o.screenshotEvery) ||
             o.screenshotEvery == 0)
             return false;
         o.screenshotPrefix = std::string(fields[1]);
         return true;
     }},
    {"--save-state", "FILE", "write a state snapshot to FILE after the last frame",
     [](HeadlessOptions& o, std::string_view a) {
         o.saveState = std::string(a);
         return !a.empty();
     }},
    {"--load-state", "FILE", "load the state snapshot FILE right after the start-up",
     [](HeadlessOptions& o, std::string_view a) {
         o.loadState = std::string(a);
         return !a.empty();
     }},
    {"--no-default-state", nullptr, "do not load the cartridge's .sta snapshot at start-up",
     [](HeadlessOptions& o, std::string_view) {
         o.defaultState = false;
         return true;
     }},
    {"--no-battery", nullptr, "neither read nor write the cartridge's .sav battery file",
     [](HeadlessOptions& o, std::string_view) {
         o.battery = false;
         return true;
     }},
    {"--no-header-check", nullptr, "run a cartridge whose header complement byte is wrong",
     [](HeadlessOptions& o, std::string_view) {
         o.headerCheck = false;
         return true;
     }},
    {"--save-type", "NAME", "the cartridge's backup chip, as the SaveType key names it (SRAM, FLASH128, EEPROM8K...)",
     [](HeadlessOptions& o, std::string_view a) {
         o.saveType = FindSaveTypeChoice(a);
         return o.saveType >= 0;
     }},
    {"--sound-rate", "N", "sound device: 0 none (default), 1-8191 MIDI, 8192+ PCM at N Hz (the rate of --wav)",
     [](HeadlessOptions& o, std::string_view a) {
         return o.soundRateSet = ParseNumber(a, 10, o.soundRate) && o.soundRate <= 0x7FFFFFFF;
     }},
    {"--wav", "FILE", "render the PCM sound in emulated time into FILE (8-bit mono WAV, 22050 Hz by default)",
     [](HeadlessOptions& o, std::string_view a) {
         o.wav = std::string(a);
         return !a.empty();
     }},
    {"--midi-log", "FILE", "record the music into the MIDI file FILE from the start",
     [](HeadlessOptions& o, std::string_view a) {
         o.midiLog = std::string(a);
         return !a.empty() && a.size() <= 250;
     }},
    {"--bench", nullptr, "print frames run, emulation seconds and frames per second",
     [](HeadlessOptions& o, std::string_view) { return o.bench = true; }},
};

}  // namespace

std::string HeadlessUsage() {
    std::string usage = "usage: koru-headless [options] CARTRIDGE\n";
    for (const OptionEntry& option : OptionTable) {
        std::string left = std::string("  ") + option.name;
        if (option.argument) left += std::string(" ") + option.argument;
        left.resize(std::max<size_t>(left.size() + 2, 24), ' ');
        usage += left + option.help + "\n";
    }
    return usage;
}

bool ParseHeadlessOptions(int argc, char** argv, HeadlessOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (!word.starts_with("--")) {
            if (!options.cartridge.empty()) {
                error = "more than one cartridge given";
                return false;
            }
            options.cartridge = argv[i];
            continue;
        }
        const OptionEntry* entry = nullptr;
        for (const OptionEntry& candidate : OptionTable)
            if (word == candidate.name) entry = &candidate;
        if (!entry) {
            error = "unknown option " + std::string(word);
            return false;
        }
        std::string_view argument;
        if (entry->argument) {
            if (i + 1 >= argc) {
                error = std::string(word) + " needs " + entry->argument;
                return false;
            }
            argument = argv[++i];
        }
        if (!entry->apply(options, argument)) {
            error = "bad value for " + std::string(word) + ": " + std::string(argument);
            return false;
        }
    }
    if (options.cartridge.empty()) {
        error = "no cartridge given";
        return false;
    }
    if (!options.wav.empty() && options.soundRateSet && options.soundRate < 8192) {
        error = "--wav needs a --sound-rate of 8192 or more";
        return false;
    }
    return true;
}
