#include "game/cartridge.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "game/file_access.h"
#include "game/settings.h"
#include "machine/machine.h"

static constexpr uint32_t CountBlock = 16384;

// True when zlib met a damaged stream while reading.
static bool StreamDamaged(gzFile file) {
    int error = Z_OK;
    gzerror(file, &error);
    return error != Z_OK;
}

// The unpacked length of a gzip file, member after member as gzread takes
// them (bytes after a member that start no new one are ignored, as zlib
// does). gzread alone cannot be trusted with a damaged file: it hands out
// the bytes before the damage, and a file cut short where its output buffer
// happens to fill even ends without an error. Here every member must reach
// its end and pass its checksum; -1 otherwise. Counting stops just past the
// 32 MB limit: a larger image is refused anyway, and the count can never
// overflow.
static int64_t CountGzipBytes(std::FILE* file) {
    std::vector<uint8_t> inputBuffer(CountBlock), outputBuffer(CountBlock);
    uint8_t* const input = inputBuffer.data();
    uint8_t* const output = outputBuffer.data();
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) return -1;
    int64_t total = 0;
    bool memberEnded = false;
    for (;;) {
        if (stream.avail_in == 0) {
            stream.next_in = input;
            stream.avail_in = uInt(std::fread(input, 1, CountBlock, file));
            if (stream.avail_in == 0) break;
        }
        if (memberEnded) {
            // Another member follows only where both magic bytes do.
            if (stream.avail_in < 2 && !std::feof(file)) {
                std::memmove(input, stream.next_in, stream.avail_in);
                stream.avail_in += uInt(std::fread(input + stream.avail_in, 1, CountBlock - stream.avail_in, file));
                stream.next_in = input;
            }
            if (stream.avail_in < 2 || stream.next_in[0] != 0x1F || stream.next_in[1] != 0x8B) break;
            inflateReset(&stream);
            memberEnded = false;
        }
        stream.next_out = output;
        stream.avail_out = CountBlock;
        const int result = inflate(&stream, Z_NO_FLUSH);
        total += CountBlock - stream.avail_out;
        if (result == Z_STREAM_END) {
            memberEnded = true;
        } else if (result != Z_OK && !(result == Z_BUF_ERROR && stream.avail_in == 0)) {
            break;  // damaged data, or no progress with input left
        }
        if (total > MaxRomSize) {
            inflateEnd(&stream);
            return total;
        }
    }
    inflateEnd(&stream);
    return memberEnded && !std::ferror(file) ? total : -1;
}

// zlib reads gzip streams and passes plain files through unchanged; the
// size is the unpacked length of the one or the length of the other. Reads
// through a second descriptor of the open file and leaves it at its start.
static int64_t CountStreamBytes(int fd) {
    std::FILE* file = SecondReadStream(fd);
    if (!file) return -1;
    uint8_t magic[2] = {};
    const size_t magicBytes = std::fread(magic, 1, 2, file);
    int64_t length = -1;
    if (std::ferror(file)) {
        // a read error
    } else if (magicBytes == 2 && magic[0] == 0x1F && magic[1] == 0x8B) {
        std::rewind(file);
        length = CountGzipBytes(file);
    } else if (std::fseek(file, 0, SEEK_END) == 0) {
        length = std::ftell(file);
    }
    std::fclose(file);
    return ::lseek(fd, 0, SEEK_SET) == 0 ? length : -1;
}

// The cartridge file opened through zlib, only when it is a regular file:
// null with the reason otherwise.
static gzFile OpenCartridgeFile(const char* path, int& fd, StartFailure& failure) {
    int error = 0;
    fd = OpenRegularFile(path, error);
    if (fd < 0) {
        failure = error == NotRegularFile ? StartFailure::NotRegular : StartFailure::CannotOpen;
        return nullptr;
    }
    // gzdopen does not take a second descriptor: zlib's own reads start
    // where the descriptor stands, and gzclose closes it.
    gzFile file = gzdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        failure = StartFailure::OutOfMemory;
    }
    return file;
}

std::unique_ptr<uint8_t[]> LoadCartridgeImage(const Machine& m, const char* path, int32_t& size, int32_t& roundedSize,
                                              StartFailure& failure) {
    size = roundedSize = 0;
    int fd = -1;
    gzFile file = OpenCartridgeFile(path, fd, failure);
    if (!file) return nullptr;
    const int64_t length = CountStreamBytes(fd);
    if (length < 0) {
        gzclose(file);
        failure = StartFailure::ReadError;
        return nullptr;
    }
    if (m.Verbose) std::printf("%dkB...", int(length / 1024));
    const int64_t rounded = (length + PageSize - 1) / PageSize * PageSize;
    if (length <= 0 || rounded > MaxRomSize) {
        // An empty image has no header to read; a larger one cannot be mapped.
        gzclose(file);
        failure = length <= 0 ? StartFailure::Empty : StartFailure::TooLarge;
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[size_t(rounded)]());
    if (!image) {
        gzclose(file);
        failure = StartFailure::OutOfMemory;
        return nullptr;
    }
    const int count = gzread(file, image.get(), unsigned(length));
    const bool damaged = StreamDamaged(file);
    gzclose(file);
    if (count != length || damaged) {
        failure = StartFailure::ReadError;
        return nullptr;
    }
    size = int32_t(length);
    roundedSize = int32_t(rounded);
    return image;
}

int32_t ReadCartridgePrefix(const char* path, uint8_t* buffer, int32_t length) {
    int fd = -1;
    StartFailure failure = StartFailure::None;
    gzFile file = OpenCartridgeFile(path, fd, failure);
    if (!file) return -1;
    const int count = gzread(file, buffer, unsigned(length));
    gzclose(file);
    return count < 0 ? 0 : count;
}
