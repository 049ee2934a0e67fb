#include "game/battery_file.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "game/file_access.h"
#include "game/replace_file.h"
#include "game/save_place.h"
#include "machine/machine.h"

namespace {

void Tell(Machine& m, const char* action, int error) {
    if (error == m.Battery.toldError) return;
    m.Battery.toldError = error;
    if (error == FileInUse) {
        const std::string message = m.Battery.path + " is in use by another KORU: this one will not save into it";
        m.Host.ReportProblem(m.Host.Context, message.c_str());
    } else {
        ReportFileProblem(m.Host, action, m.Battery.path.c_str(), error);
    }
}

bool WriteFailed(Machine& m, int error) {
    m.Battery.writeFailed = true;
    Tell(m, "write", error);
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

void ForgetClaim(Machine& m) {
    if (m.Battery.lockedFile >= 0) ::close(m.Battery.lockedFile);
    m.Battery = BatteryClaim{};
}

}  // namespace

std::FILE* ClaimBatteryFile(Machine& m, const char* path, const char* newerCopy) {
    ForgetClaim(m);
    m.Battery.path = path;
    RemoveStaleTemporaries(path);
    int fd = -1;
    const int error = TryToClaim(path, fd);
    if (error == FileInUse) {
        // Read what the other KORU saved last; never write.
        m.Battery.lockedOut = true;
        Tell(m, "write", FileInUse);
        int ignored = 0;
        return OpenRegularStream(path, ignored);
    }
    if (error == NotRegularFile) {
        // Said once: the writes are refused for the same reason.
        m.Battery.refused = true;
        Tell(m, "read", error);
    } else if (error && error != ENOENT) {
        ReportFileProblem(m.Host, "read", path, error);
    }
    if (fd >= 0) m.Battery.lockedFile = fd;
    if (newerCopy && *newerCopy && std::string(newerCopy) != path) {
        int copyError = 0;
        std::FILE* copy = OpenRegularStream(newerCopy, copyError);
        if (!copy && copyError != ENOENT) ReportFileProblem(m.Host, "read", newerCopy, copyError);
        if (copy) return copy;
    }
    return fd >= 0 ? SecondReadStream(fd) : nullptr;
}

bool StoreBatteryFile(Machine& m, const char* path, std::initializer_list<std::span<const uint8_t>> blocks) {
    if (m.Battery.path != path) {
        // Written without a claim at game start (the claim is then made here).
        ForgetClaim(m);
        m.Battery.path = path;
    }
    if (m.Battery.refused) return WriteFailed(m, NotRegularFile);
    if (m.Battery.lockedOut) return WriteFailed(m, FileInUse);
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool createOnly = false;
        if (m.Battery.lockedFile < 0) {
            // No file at game start (or none that could be opened): claim
            // one that appeared since, or create it without replacing one
            // that appears in the meantime.
            const int error = TryToClaim(path, m.Battery.lockedFile);
            if (error == FileInUse) m.Battery.lockedOut = true;
            if (error == NotRegularFile) m.Battery.refused = true;
            if (error == FileInUse || error == NotRegularFile) return WriteFailed(m, error);
            createOnly = error == ENOENT;
        }
        int newFile = -1;
        const FileResult result = ReplaceFile(path, blocks, {.createOnly = createOnly, .lockedFile = &newFile});
        if (createOnly && result.error == EEXIST) continue;
        if (!result) return WriteFailed(m, result.error);
        if (m.Battery.lockedFile >= 0) ::close(m.Battery.lockedFile);
        m.Battery.lockedFile = newFile;
        m.Battery.writeFailed = false;
        m.Battery.toldError = 0;
        NoteNewPerUserFile(m, path, !createOnly);
        return true;
    }
    return WriteFailed(m, FileInUse);
}

void ReleaseBatteryFile(Machine& m) {
    if (m.Battery.lockedFile >= 0) ::close(m.Battery.lockedFile);
    m.Battery.lockedFile = -1;
    m.Battery.path.clear();
}

bool BatteryWriteFailed(const Machine& m) { return m.Battery.writeFailed; }
