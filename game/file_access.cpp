#include "game/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "machine/host.h"

int OpenRegularFile(const char* path, int& error) {
    // O_NONBLOCK lets the open of a FIFO return at once instead of waiting
    // for its other end; fstat then tells what was opened.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = S_ISREG(info.st_mode) ? errno : NotRegularFile;
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    error = 0;
    return fd;
}

std::FILE* OpenRegularStream(const char* path, int& error) {
    const int fd = OpenRegularFile(path, error);
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, "rb");
    if (!stream) {
        error = errno;
        ::close(fd);
    }
    return stream;
}

std::FILE* SecondReadStream(int fd) {
    const int reading = ::dup(fd);
    std::FILE* stream = reading >= 0 ? ::fdopen(reading, "rb") : nullptr;
    if (!stream && reading >= 0) ::close(reading);
    return stream;
}

const char* FileErrorText(int error) {
    switch (error) {
    case NotRegularFile: return "not a regular file";
    case FileInUse: return "in use by another KORU";
    default: return std::strerror(error);
    }
}

void ReportFileProblem(const HostInterface& host, const char* action, const char* path, int error) {
    const std::string message = std::string("cannot ") + action + " " + path + ": " + FileErrorText(error);
    host.ReportProblem(host.Context, message.c_str());
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
