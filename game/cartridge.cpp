#include "game/cartridge.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game/settings.h"
#include "machine/page_table.h"

static constexpr int32_t CountBlock = 16384;

// True when zlib met a damaged stream: a gzip file cut short or with a bad
// checksum still yields the bytes before the damage, which must not pass
// for the whole cartridge.
static bool StreamDamaged(gzFile file) {
    int error = Z_OK;
    gzerror(file, &error);
    return error != Z_OK;
}

// gzopen reads gzip streams and passes plain files through unchanged. zlib
// refuses to seek to the end of a stream opened for reading, so the size is
// found by reading the stream once. Counting stops just past the 32 MB
// limit: a larger file is refused anyway, and the count can never overflow.
// -1 for a damaged stream.
static int64_t CountStreamBytes(gzFile file) {
    static uint8_t scratch[CountBlock];
    if (gzseek(file, 0, SEEK_END) >= 0) {
        const z_off_t end = gztell(file);
        gzseek(file, 0, SEEK_SET);
        return end;
    }
    int64_t total = 0;
    for (;;) {
        const int count = gzread(file, scratch, CountBlock);
        if (count > 0) total += count;
        // Only the call after the last bytes reports a stream cut short.
        if (count <= 0 || total > MaxRomSize) break;
    }
    if (StreamDamaged(file)) return -1;
    gzseek(file, 0, SEEK_SET);
    return total;
}

uint8_t* LoadCartridgeImage(const char* path, int32_t& size, int32_t& roundedSize, StartFailure& failure) {
    size = roundedSize = 0;
    gzFile file = gzopen(path, "rb");
    if (!file) {
        failure = StartFailure::CannotOpen;
        return nullptr;
    }
    const int64_t length = CountStreamBytes(file);
    if (length < 0) {
        gzclose(file);
        failure = StartFailure::ReadError;
        return nullptr;
    }
    if (Verbose) std::printf("%dkB...", int(length / 1024));
    const int64_t rounded = (length + PageSize - 1) / PageSize * PageSize;
    if (length <= 0 || rounded > MaxRomSize) {
        // An empty image has no header to read; a larger one cannot be mapped.
        gzclose(file);
        failure = length <= 0 ? StartFailure::Empty : StartFailure::TooLarge;
        return nullptr;
    }
    auto* image = static_cast<uint8_t*>(std::calloc(size_t(rounded), 1));
    if (!image) {
        gzclose(file);
        failure = StartFailure::OutOfMemory;
        return nullptr;
    }
    const int count = gzread(file, image, unsigned(length));
    const bool damaged = StreamDamaged(file);
    gzclose(file);
    if (count != length || damaged) {
        std::free(image);
        failure = StartFailure::ReadError;
        return nullptr;
    }
    size = int32_t(length);
    roundedSize = int32_t(rounded);
    return image;
}

int32_t ReadCartridgePrefix(const char* path, uint8_t* buffer, int32_t length) {
    gzFile file = gzopen(path, "rb");
    if (!file) return -1;
    const int count = gzread(file, buffer, unsigned(length));
    gzclose(file);
    return count < 0 ? 0 : count;
}
