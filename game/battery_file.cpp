#include "game/battery_file.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "game/file_access.h"
#include "game/replace_file.h"
#include "machine/host.h"

namespace {

struct BatteryClaim {
    std::string path;
    int lockedFile = -1;     // the file, open and locked by this process
    bool lockedOut = false;  // another KORU holds it: not written in this run
    bool refused = false;    // not a regular file: neither read nor written
    int toldError = 0;       // the failure last said to the player
    bool writeFailed = false;
};
BatteryClaim Claim;

void Tell(const char* action, int error) {
    if (error == Claim.toldError) return;
    Claim.toldError = error;
    if (error == FileInUse) {
        const std::string message = Claim.path + " is in use by another KORU: this one will not save into it";
        Host.ReportProblem(message.c_str());
    } else {
        ReportFileProblem(action, Claim.path.c_str(), error);
    }
}

bool WriteFailed(int error) {
    Claim.writeFailed = true;
    Tell("write", error);
    return false;
}

// Opens and locks the file at path. 0 with the descriptor (unlocked where
// the file system has no locks), or FileInUse, NotRegularFile or an errno
// value (ENOENT: no file yet).
int TryToClaim(const char* path, int& fd) {
    fd = -1;
    // The holder may be replacing the file between our open and our lock:
    // a lock taken on the file the name no longer leads to is tried again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int error = 0;
        const int opened = OpenRegularFile(path, error);
        if (opened < 0) return error;
        if (::flock(opened, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) {
                ::close(opened);
                return FileInUse;
            }
            fd = opened;
            return 0;
        }
        struct stat locked {};
        struct stat named {};
        if (::fstat(opened, &locked) == 0 && ::stat(path, &named) == 0 && locked.st_ino == named.st_ino &&
            locked.st_dev == named.st_dev) {
            fd = opened;
            return 0;
        }
        ::close(opened);
    }
    return FileInUse;
}

void ForgetClaim() {
    if (Claim.lockedFile >= 0) ::close(Claim.lockedFile);
    Claim = BatteryClaim{};
}

}  // namespace

std::FILE* ClaimBatteryFile(const char* path) {
    ForgetClaim();
    Claim.path = path;
    RemoveStaleTemporaries(path);
    int fd = -1;
    const int error = TryToClaim(path, fd);
    if (error == FileInUse) {
        // Read what the other KORU saved last; never write.
        Claim.lockedOut = true;
        Tell("write", FileInUse);
        int ignored = 0;
        return OpenRegularStream(path, ignored);
    }
    if (error == NotRegularFile) {
        // Said once: the writes are refused for the same reason.
        Claim.refused = true;
        Tell("read", error);
    } else if (error && error != ENOENT) {
        ReportFileProblem("read", path, error);
    }
    if (fd < 0) return nullptr;
    Claim.lockedFile = fd;
    const int reading = ::dup(fd);
    std::FILE* stream = reading >= 0 ? ::fdopen(reading, "rb") : nullptr;
    if (!stream && reading >= 0) ::close(reading);
    return stream;
}

bool StoreBatteryFile(const char* path, std::initializer_list<std::span<const uint8_t>> blocks) {
    if (Claim.path != path) {
        // Written without a claim at game start (the claim is then made here).
        ForgetClaim();
        Claim.path = path;
    }
    if (Claim.refused) return WriteFailed(NotRegularFile);
    if (Claim.lockedOut) return WriteFailed(FileInUse);
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool createOnly = false;
        if (Claim.lockedFile < 0) {
            // No file at game start (or none that could be opened): claim
            // one that appeared since, or create it without replacing one
            // that appears in the meantime.
            const int error = TryToClaim(path, Claim.lockedFile);
            if (error == FileInUse) Claim.lockedOut = true;
            if (error == NotRegularFile) Claim.refused = true;
            if (error == FileInUse || error == NotRegularFile) return WriteFailed(error);
            createOnly = error == ENOENT;
        }
        int newFile = -1;
        const FileResult result = ReplaceFile(path, blocks, {.createOnly = createOnly, .lockedFile = &newFile});
        if (createOnly && result.error == EEXIST) continue;
        if (!result) return WriteFailed(result.error);
        if (Claim.lockedFile >= 0) ::close(Claim.lockedFile);
        Claim.lockedFile = newFile;
        Claim.writeFailed = false;
        Claim.toldError = 0;
        return true;
    }
    return WriteFailed(FileInUse);
}

void ReleaseBatteryFile() {
    if (Claim.lockedFile >= 0) ::close(Claim.lockedFile);
    Claim.lockedFile = -1;
    Claim.path.clear();
}

bool BatteryWriteFailed() { return Claim.writeFailed; }
