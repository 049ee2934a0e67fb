#pragma once
// Reading cartridge images: plain files and gzip streams through the same
// zlib calls, delivering a plain file byte for byte.

#include <cstdint>
#include <memory>

#include "game/game.h"

// Loads the image into a fresh buffer of the size rounded up to 16 KB (the
// padding is zero). On success returns the buffer and sets size and
// roundedSize; on failure returns null and the reason. The machine's
// Verbose mask chooses the trace.
std::unique_ptr<uint8_t[]> LoadCartridgeImage(const Machine& m, const char* path, int32_t& size, int32_t& roundedSize,
                                              StartFailure& failure);

// Reads the first `length` bytes of a cartridge file (plain or gzip) into
// buffer; returns the count read, or -1 when it cannot be opened.
int32_t ReadCartridgePrefix(const char* path, uint8_t* buffer, int32_t length);
