#pragma once
// The open-file dialog.

#include <cstddef>
#include <span>

// One entry of the file-type list: "Cartridges", "*.gba;*.bin;*.gz".
struct FileFilter {
    const char* Description;
    const char* Pattern;
};

// Asks for a file name, starting from the name in path (capacity bytes
// including the terminator). A name that does not exist yet may be chosen,
// provided its folder exists. Returns true and the chosen name in path when
// the user confirmed; otherwise path is left as it was.
bool AskOpenFileName(char* path, std::size_t capacity, std::span<const FileFilter> filters);
