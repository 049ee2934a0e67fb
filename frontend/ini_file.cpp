#include "frontend/ini_file.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>

#include "game/file_access.h"

namespace {

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The name of a "[Section]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// The key of a "Key=Value" line, or nothing for comments and other lines.
std::optional<std::string_view> KeyName(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, equals));
}

// The lines of a section's body: [begin, end), where end is the next
// section's header or the end of the file. Nothing when it is missing.
std::optional<std::pair<size_t, size_t>> FindSection(const IniFile& file, std::string_view section) {
    const std::string_view wanted = Trim(section);
    for (size_t i = 0; i < file.Lines.size(); ++i) {
        const auto name = SectionName(file.Lines[i]);
        if (!name || !SameIniName(*name, wanted)) continue;
        size_t end = i + 1;
        while (end < file.Lines.size() && !SectionName(file.Lines[end])) ++end;
        return std::pair{i + 1, end};
    }
    return std::nullopt;
}

std::string_view OneLine(std::string_view value) { return value.substr(0, value.find_first_of("\r\n")); }

}  // namespace

bool SameIniName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

IniFile ReadIniFile(const std::string& path, int* error) {
    IniFile file;
    int openError = 0;
    const int fd = OpenRegularFile(path.c_str(), openError);
    if (error) *error = openError;
    if (fd < 0) return file;
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        text.append(chunk, size_t(count));
    }
    ::close(fd);
    // Lines end at '\n'; a last line without one counts too.
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            file.WindowsLineEnds = true;
        }
        file.Lines.push_back(std::move(line));
        start = end + 1;
    }
    return file;
}

FileResult WriteIniFile(const std::string& path, const IniFile& file) {
    const char* lineEnd = file.WindowsLineEnds ? "\r\n" : "\n";
    std::string text;
    for (const std::string& line : file.Lines) text += line + lineEnd;
    return ReplaceFile(path.c_str(), {std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())});
}

std::optional<std::string> FindIniValue(const IniFile& file, std::string_view section, std::string_view key) {
    const auto body = FindSection(file, section);
    if (!body) return std::nullopt;
    const std::string_view wanted = Trim(key);
    for (size_t i = body->first; i < body->second; ++i) {
        const std::string_view line = file.Lines[i];
        const auto name = KeyName(line);
        if (name && SameIniName(*name, wanted)) return std::string(Trim(line.substr(line.find('=') + 1)));
    }
    return std::nullopt;
}

void SetIniValue(IniFile& file, std::string_view section, std::string_view key, std::string_view value) {
    std::string line = std::string(Trim(key)) + "=" + std::string(OneLine(value));
    const auto body = FindSection(file, section);
    if (!body) {
        if (!file.Lines.empty() && !Trim(file.Lines.back()).empty()) file.Lines.emplace_back();
        std::string header = "[";
        header += Trim(section);
        header += ']';
        file.Lines.push_back(std::move(header));
        file.Lines.push_back(std::move(line));
        return;
    }
    const std::string_view wanted = Trim(key);
    size_t insertAt = body->first;
    for (size_t i = body->first; i < body->second; ++i) {
        const auto name = KeyName(file.Lines[i]);
        if (name && SameIniName(*name, wanted)) {
            file.Lines[i] = std::move(line);
            return;
        }
        // New keys go after the section's last non-blank line, ahead of the
        // blank lines that separate it from the next section.
        if (!Trim(file.Lines[i]).empty()) insertAt = i + 1;
    }
    file.Lines.insert(file.Lines.begin() + std::ptrdiff_t(insertAt), std::move(line));
}

int32_t GetIniInt(const IniFile& file, std::string_view section, std::string_view key, int32_t fallback) {
    const auto value = FindIniValue(file, section, key);
    if (!value || value->empty()) return fallback;
    const char* first = value->data();
    const char* last = first + value->size();
    // from_chars takes a minus sign but no plus; a plus takes no second sign.
    if (*first == '+' && last - first > 1 && first[1] != '-') ++first;
    int32_t number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last) return fallback;
    return number;
}
