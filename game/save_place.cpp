#include "game/save_place.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "game/file_access.h"
#include "game/game.h"
#include "machine/machine.h"

namespace {

std::string AbsoluteFolder(const std::string& path) {
    char resolved[PATH_MAX];
    const std::string folder = FolderOf(path);
    return ::realpath(folder.c_str(), resolved) ? std::string(resolved) : folder;
}

// Two cartridges of the same name in two folders must not share a save:
// the per-user name carries a hash (FNV-1a) of the cartridge's folder.
uint32_t FolderHash(const std::string& folder) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : folder) hash = (hash ^ c) * 16777619u;
    return hash;
}

// The per-user data folder (XDG_DATA_HOME, by default ~/.local/share).
std::string PerUserDataFolder() { return PerUserFolder("XDG_DATA_HOME", ".local/share"); }

// Whether new files can be made in the folder (for root too: a read-only
// mount refuses them).
bool FolderTakesFiles(const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

int64_t ModifiedTime(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return -1;
    return int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

}  // namespace

std::string PerUserFolder(const char* variable, const char* underHome) {
    const char* folder = std::getenv(variable);
    if (folder && *folder == '/') return std::string(folder) + "/koru";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/" + underHome + "/koru";
    return {};
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

GameFilePlace PlaceGameFile(const std::string& cartridgePath, const std::string& extension) {
    GameFilePlace place;
    const std::string beside = ReplaceExtension(cartridgePath, extension.c_str());
    place.write = beside;
    std::string perUser;
    const std::string userFolder = PerUserDataFolder();
    if (!userFolder.empty()) {
        const std::string folder = AbsoluteFolder(cartridgePath);
        char hash[16];
        std::snprintf(hash, sizeof hash, "-%08x", FolderHash(folder));
        const std::string stem = ReplaceExtension(NameOf(cartridgePath), "");
        perUser = userFolder + "/" + stem + hash + extension;
        // A cartridge inside the per-user folder keeps its files beside it.
        if (perUser == beside) perUser.clear();
    }
    if (!perUser.empty() && !FolderTakesFiles(FolderOf(beside)) && MakeFolders(userFolder)) place.write = perUser;
    const int64_t besideTime = ModifiedTime(beside);
    const int64_t perUserTime = perUser.empty() ? -1 : ModifiedTime(perUser);
    if (besideTime < 0 && perUserTime < 0)
        place.read = place.write;
    else
        place.read = perUserTime > besideTime ? perUser : beside;
    return place;
}

void NoteNewPerUserFile(Machine& m, const std::string& path, bool existedBefore) {
    const std::string userFolder = PerUserDataFolder();
    if (existedBefore || userFolder.empty() || FolderOf(path) != userFolder) return;
    const std::string message = "the cartridge's folder takes no files: " + NameOf(path) + " was saved in " + userFolder;
    m.Host.ReportNote(m.Host.Context, message.c_str());
}
