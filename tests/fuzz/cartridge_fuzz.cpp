// Cartridge images of any content and size: the loader must deliver a plain
// or gzip file byte for byte, zero-padded to 16 KB, refuse an empty or an
// over-large one, and the machine must then start on whatever header and
// code the image holds.
//
// Input: a mode byte, then
//   mode 0: the file itself (the fuzzer may write a gzip stream too);
//   mode 1: the plain image, stored gzip-compressed;
//   mode 2: a size word and a prefix: the image is the prefix padded with
//           zeros to the size (below 1 MB), stored plain or (bit 31 of the
//           word) gzip-compressed. Images around the 32 MB limit take a
//           thousand times longer than the rest; a unit test has them.
// Bit 7 of the mode byte turns the header check on. Bit 6 adds a half-word
// after the mode byte and cuts a gzip file of modes 1 and 2 short by that
// much (and at least one byte): such a file must be refused as unreadable.

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "game/cartridge.h"
#include "game/game.h"
#include "game/header.h"
#include "game/settings.h"
#include "machine/page_table.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Machine& m = FuzzMachine();
    InputReader input({data, size});
    const uint8_t mode = input.Byte();
    const bool checkHeader = mode & 0x80;
    const bool cutGzip = mode & 0x40;
    const uint16_t cutBack = cutGzip ? input.Half() : 0;

    // The image is `start` followed by zeros up to `length` bytes, unless
    // the fuzzer wrote a gzip stream of its own (content unknown).
    std::span<const uint8_t> start;
    size_t length = 0;
    bool knownContent = true;
    bool gzip = false;
    std::string path;
    switch (mode & 0x3F) {
    case 1:
        start = input.Rest();
        length = start.size();
        path = WriteScratchGzip("game.gba", start);
        gzip = true;
        break;
    case 2: {
        const uint32_t word = input.Word();
        length = word & 0xFFFFF;
        start = input.Rest().first(std::min(input.Rest().size(), length));
        if (word & 0x80000000u) {
            path = WriteScratchGzip("game.gba", start, length - start.size());
            gzip = true;
            break;
        }
        path = WriteScratchFile("game.gba", start, length - start.size());
        // Two bytes 1F 8B make zlib look for a gzip stream; anything else
        // is passed through as it is.
        knownContent = start.size() < 2 || start[0] != 0x1F || start[1] != 0x8B;
        break;
    }
    default:
        start = input.Rest();
        length = start.size();
        path = WriteScratchFile("game.gba", start);
        knownContent = start.size() < 2 || start[0] != 0x1F || start[1] != 0x8B;
        break;
    }

    // A cut between the 10-byte header and the 8-byte trailer loses data:
    // the file must be refused. A cut inside the trailer (checksum and
    // length) leaves every byte there; zlib notices it only sometimes, so
    // either outcome is right, but a loaded image must be whole.
    bool damaged = false, trailerCut = false;
    if (cutGzip && gzip) {
        const off_t fileSize = off_t(std::filesystem::file_size(path));
        const off_t cutTo = fileSize - 1 - cutBack % fileSize;
        Require(::truncate(path.c_str(), cutTo) == 0, "cannot cut a scratch file");
        trailerCut = cutTo >= fileSize - 8;
        damaged = cutTo >= 10 && !trailerCut;
        knownContent = trailerCut;
    }

    ResetMachineSettings();
    int32_t imageSize = -1, roundedSize = -1;
    StartFailure failure = StartFailure::None;
    std::unique_ptr<uint8_t[]> loaded = LoadCartridgeImage(m, path.c_str(), imageSize, roundedSize, failure);
    const uint8_t* image = loaded.get();
    if (!image) {
        Require(failure != StartFailure::None, "a refused image gives a reason");
        Require(imageSize == 0 && roundedSize == 0, "a refused image reports no size");
        if (damaged || trailerCut)
            Require(failure == StartFailure::ReadError, "a damaged gzip file is unreadable");
        else if (knownContent)
            Require(length == 0 && failure == StartFailure::Empty, "only an empty image is refused");
        return 0;
    }
    Require(!damaged, "a damaged gzip file is refused");
    Require(imageSize > 0 && roundedSize % PageSize == 0 && roundedSize >= imageSize &&
                roundedSize - imageSize < int32_t(PageSize) && roundedSize <= MaxRomSize,
            "image size rounded up to 16 KB, within 32 MB");
    Require(AllZero(image + imageSize, size_t(roundedSize - imageSize)), "padding is zero");
    if (knownContent)
        Require(size_t(imageSize) == length && std::memcmp(image, start.data(), start.size()) == 0 &&
                    AllZero(image + start.size(), length - start.size()),
                "image delivered byte for byte");

    uint8_t prefix[512];
    const int32_t prefixLength = ReadCartridgePrefix(path.c_str(), prefix, sizeof prefix);
    Require(prefixLength == std::min<int32_t>(imageSize, 512) && std::memcmp(prefix, image, size_t(prefixLength)) == 0,
            "the prefix is the image's start");

    if (!StartMachine(std::move(loaded), roundedSize)) return 0;
    const uint8_t* rom = m.RomImage.get();
    m.Settings.CheckCRC = checkHeader;
    GetGameTitle(rom);
    FindMakerName(rom);
    HeaderEntryAddress(rom);
    if (!m.Settings.CheckCRC || HeaderComplement(rom) == rom[HeaderComplementOffset]) RunSlices(6, 64);
    StopMachine();
    return 0;
}
