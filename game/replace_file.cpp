#include "game/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "game/file_access.h"

namespace {

// Temporary files are hidden and marked as ours: "." + the file's name +
// ".koru-" + six letters and digits from mkstemp. Nothing a player names a
// file by matches, so the clean-up never takes a file of theirs.
constexpr const char* TemporaryMark = ".koru-";
constexpr size_t RandomLength = 6;
constexpr size_t TemporaryExtra = 1 + 6 + RandomLength;  // the dot, the mark, the letters

struct Place {
    std::string folder;
    std::string name;
};

Place SplitPath(const std::string& path) { return {FolderOf(path), NameOf(path)}; }

// The file a path finally names: each symbolic link is replaced by its
// target, a relative target taken from the link's own folder. 0, or the
// error (ELOOP for a circle of links).
int FollowLinks(const char* path, std::string& target) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
        std::string link(4096, '\0');
        const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length < 0) return errno;
        if (size_t(length) >= link.size()) return ENAMETOOLONG;
        link.resize(size_t(length));
        const size_t slash = target.rfind('/');
        target = link.front() == '/' || slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
    }
    return ELOOP;
}

// The start of the temporary names of a file: its name cut so that the
// whole temporary name fits the folder's name limit (255 bytes on the
// usual file systems), cut between two UTF-8 characters.
std::string TemporaryPrefix(const Place& place) {
    long limit = ::pathconf(place.folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0 || limit > 255) limit = 255;
    if (size_t(limit) <= TemporaryExtra) limit = 255;
    size_t keep = std::min(place.name.size(), size_t(limit) - TemporaryExtra);
    while (keep > 0 && (uint8_t(place.name[keep]) & 0xC0) == 0x80) --keep;
    return "." + place.name.substr(0, keep) + TemporaryMark;
}

bool IsTemporaryName(const char* name, const std::string& prefix) {
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) return false;
    const char* letters = name + prefix.size();
    if (std::strlen(letters) != RandomLength) return false;
    for (const char* c = letters; *c; ++c)
        if (!((*c >= '0' && *c <= '9') || (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z'))) return false;
    return true;
}

// A new temporary file, locked for as long as this process writes it: the
// lock tells the clean-up of another process that a writer still lives.
// The clean-up may take a file in the instant between its creation and the
// lock; a file found unlinked once locked is given up for a new one.
int CreateTemporary(const Place& place, std::string& temporary) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        temporary = place.folder + "/" + TemporaryPrefix(place) + std::string(RandomLength, 'X');
        const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0) return -1;
        struct stat info {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0) return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

int WriteAll(int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        if (written == 0) return ENOSPC;
        bytes = bytes.subspan(size_t(written));
    }
    return 0;
}

// A new file gets the permissions an ordinary create would give it.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The rename is an entry in the folder: until the folder reaches the disk,
// a power cut can bring the old name back. Some file systems cannot flush a
// folder; the file itself is already safe, so that is not a failure.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

FileResult ReplaceFile(const char* path, std::initializer_list<std::span<const uint8_t>> blocks,
                       ReplaceOptions options) {
    std::string target;
    if (const int error = FollowLinks(path, target)) return {error};
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return {NotRegularFile};
    if (exists && options.createOnly) return {EEXIST};

    const Place place = SplitPath(target);
    std::string temporary;
    const int fd = CreateTemporary(place, temporary);
    if (fd < 0) return {errno};
    int error = 0;
    for (std::span<const uint8_t> block : blocks)
        if (!error) error = WriteAll(fd, block);
    // A replaced file keeps its permissions and, where we may give it, its owner.
    if (!error && ::fchmod(fd, exists ? old.st_mode & 07777 : NewFileMode()) != 0) error = errno;
    if (!error && exists && ::geteuid() == 0) ::fchown(fd, old.st_uid, old.st_gid);
    if (!error && ::fsync(fd) != 0) error = errno;
    bool temporaryNamed = true;
    if (!error && options.createOnly) {
        // link, unlike rename, refuses a name that exists.
        if (::link(temporary.c_str(), target.c_str()) != 0) error = errno;
        ::unlink(temporary.c_str());
        temporaryNamed = false;
    } else if (!error) {
        if (std::rename(temporary.c_str(), target.c_str()) == 0)
            temporaryNamed = false;
        else
            error = errno;
    }
    if (error) {
        if (temporaryNamed) ::unlink(temporary.c_str());
        ::close(fd);
        return {error};
    }
    SyncFolder(place.folder);
    if (options.lockedFile)
        *options.lockedFile = fd;
    else
        ::close(fd);
    return {};
}

void RemoveStaleTemporaries(const char* path) {
    std::string target;
    if (FollowLinks(path, target) != 0) return;
    const Place place = SplitPath(target);
    const std::string prefix = TemporaryPrefix(place);
    DIR* folder = ::opendir(place.folder.c_str());
    if (!folder) return;
    const int folderFd = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        if (!IsTemporaryName(entry->d_name, prefix)) continue;
        const int fd = ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        // Locked means a writer is still at work on it. Once we hold the
        // lock, the name must still lead to the file we locked.
        struct stat locked {};
        struct stat named {};
        if (::fstat(fd, &locked) == 0 && S_ISREG(locked.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == locked.st_ino &&
            named.st_dev == locked.st_dev)
            ::unlinkat(folderFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(folder);
}
