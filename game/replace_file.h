#pragma once
// Writing a file without ever leaving a damaged one behind.

#include <cstdint>
#include <initializer_list>
#include <span>

// The outcome of a write: error is 0, an errno value (ENOSPC for a full
// disk, EFBIG for a file size limit, EACCES, EROFS, ...) or NotRegularFile
// (game/file_access.h).
struct FileResult {
    int error = 0;
    explicit operator bool() const { return error == 0; }
};

struct ReplaceOptions {
    // Only create the file: fail with EEXIST when one exists (or appeared
    // in the meantime) rather than replace it.
    bool createOnly = false;
    // When set, receives the new file's descriptor, still open and holding
    // an exclusive flock; the caller closes it.
    int* lockedFile = nullptr;
};

// Replaces the file at path by the concatenated blocks. A symbolic link is
// followed and the file it leads to is replaced, in its own folder. The
// data go to a temporary file in that folder, are flushed to the disk, the
// temporary file is renamed over the old one and the folder is flushed, so
// that after a crash or a kill the name leads to the old file or to the
// new one, whole. On failure the old file stays as it was and the temporary
// one is removed. Anything other than a regular file is never replaced.
// Battery files, snapshots and the settings file all go through it.
FileResult ReplaceFile(const char* path, std::initializer_list<std::span<const uint8_t>> blocks,
                       ReplaceOptions options = {});

// Removes the temporary files that replacements of path left behind in a
// process killed while writing: only names of the pattern ReplaceFile
// uses for this file, in its folder, that no running writer holds.
void RemoveStaleTemporaries(const char* path);
