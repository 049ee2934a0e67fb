#pragma once
// The file dialogs: choosing a file to open, and a name to save under.

#include <cstddef>
#include <span>

// One entry of the file-type list: "Cartridges", "*.gba;*.bin;*.gz".
struct FileFilter {
    const char* Description;
    const char* Pattern;
};

// What the dialog asks for. An open dialog takes only files that exist; a
// save dialog adds DefaultSuffix to a name typed without one and asks
// before an existing file is replaced.
struct FileQuestion {
    const char* Title = nullptr;
    bool Save = false;
    const char* DefaultSuffix = nullptr;  // without the dot
};

// Asks for a file name, starting from the name in path (capacity bytes
// including the terminator). Returns true and the chosen name in path when
// the user confirmed; otherwise path is left as it was.
bool AskFileName(char* path, std::size_t capacity, std::span<const FileFilter> filters, const FileQuestion& question);
