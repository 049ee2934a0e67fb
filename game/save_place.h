#pragma once
// Where a game's own files go (its battery save, its snapshots, its
// screenshots): beside the cartridge, named after it, when the cartridge's
// folder takes files; otherwise in the per-user data folder
// ($XDG_DATA_HOME/koru, by default ~/.local/share/koru), named after the
// cartridge and its folder, so that an installed or read-only game still
// keeps its progress. When both places hold a copy, the newer one is read:
// it is the one the game wrote last, whichever place could take it then.

#include <string>

struct Machine;

// A per-user folder of KORU's: $variable/koru when the variable names an
// absolute path, else $HOME/underHome/koru; empty when neither is set.
std::string PerUserFolder(const char* variable, const char* underHome);

struct GameFilePlace {
    std::string write;  // where the file is written
    std::string read;   // the newer existing copy, or write when there is none
};

// The place of the cartridge's file with this extension (".sav", ".sta",
// ".3.sta", "-20240101-120000.png"). The per-user folder is made when it
// is chosen.
GameFilePlace PlaceGameFile(const std::string& cartridgePath, const std::string& extension);

// A file was just written at path: when it is new in the per-user folder,
// the player is told once where it went (the host's note).
void NoteNewPerUserFile(Machine& m, const std::string& path, bool existedBefore);

bool FileExists(const std::string& path);
