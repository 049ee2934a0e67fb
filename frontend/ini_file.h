#pragma once
// A settings file in the classic INI layout: "[Section]" lines followed by
// "Key=Value" lines; lines starting with ';' are comments. Section and key
// names compare without regard to case. Writing a key changes only its own
// line (or adds one), so everything else in the file stays as it was.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/replace_file.h"

struct IniFile {
    std::vector<std::string> Lines;
    bool WindowsLineEnds = false;  // the file came with CR LF line ends
};

// Reads the file; a missing or unreadable file, or anything other than a
// regular file, gives an empty one (and, when error is given, the reason:
// an errno value or NotRegularFile).
IniFile ReadIniFile(const std::string& path, int* error = nullptr);
// Replaces the file with the new contents.
FileResult WriteIniFile(const std::string& path, const IniFile& file);

// Whether two names are the same without regard to (ASCII) case, as
// section and key names compare; the names within values (keys and
// buttons) compare so too.
bool SameIniName(std::string_view a, std::string_view b);

// The value of a key (spaces around it removed), or nothing when the
// section or the key is missing.
std::optional<std::string> FindIniValue(const IniFile& file, std::string_view section, std::string_view key);

// Sets a key, adding the section at the end of the file when it is new.
// A value is one line: anything from a line break on is dropped.
void SetIniValue(IniFile& file, std::string_view section, std::string_view key, std::string_view value);

// A decimal integer key. A missing key, or a value that is not a decimal
// number within the 32-bit range, gives the default.
int32_t GetIniInt(const IniFile& file, std::string_view section, std::string_view key, int32_t fallback);
