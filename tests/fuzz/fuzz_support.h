#pragma once
// Shared pieces of the fuzz harnesses: a private scratch folder for the
// files a harness hands to the loaders, an in-memory gzip compressor, a
// reader for the bytes the fuzzer supplies, and the machine every input runs
// on.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tests/support/machine_state.h"

using Bytes = std::vector<uint8_t>;

// A folder of this process's own under $TMPDIR (or /dev/shm, or /tmp),
// removed at exit.
const std::string& ScratchFolder();
// Writes bytes, then zeroPadding zero bytes, to a file of that name in the
// scratch folder, plain or as one gzip stream (of stored blocks); returns
// its path.
std::string WriteScratchFile(const char* name, std::span<const uint8_t> bytes, size_t zeroPadding = 0);
std::string WriteScratchGzip(const char* name, std::span<const uint8_t> bytes, size_t zeroPadding = 0);
Bytes ReadWholeFile(const std::string& path);

// True when every byte is zero (one memcmp, not a traced loop).
bool AllZero(const uint8_t* bytes, size_t size);

// Takes values off the front of the fuzzer's input; past its end every
// read gives zeros. The spans it hands out never have a null data pointer,
// even for an empty input, so they can go straight to memcpy.
class InputReader {
public:
    explicit InputReader(std::span<const uint8_t> input);
    uint8_t Byte();
    uint16_t Half();
    uint32_t Word();
    // Up to count bytes (fewer when the input runs out).
    std::span<const uint8_t> Take(size_t count);
    std::span<const uint8_t> Rest() const { return rest; }
    bool Empty() const { return rest.empty(); }

private:
    std::span<const uint8_t> rest;
};

// The one machine every input of the process runs on. It is created once:
// rebuilding two page maps of 262144 entries for each input cost more than
// most inputs themselves.
Machine& FuzzMachine();

// Puts back every setting a harness may touch: the settings, Verbose, the
// battery and snapshot switches, the host, and a BIOS path in the scratch
// folder that does not exist, so a GBA.ROM in the working directory is
// never read.
void ResetMachineSettings();

// Maps the image (a multiple of 16 KB) and resets the hardware, as a game
// start does, with the memories put back to their power-on contents.
bool StartMachine(std::unique_ptr<uint8_t[]> image, int32_t roundedSize);
// A zero-filled image of that size, or null when memory runs out.
std::unique_ptr<uint8_t[]> NewImage(size_t size);
// The game's end (EndGame), and the settings put back.
void StopMachine();

// The run loop with a budget: at most normalSlices slices handed over to the
// scanline driver (each up to 960 cycles) and at most maxSlices in all.
void RunSlices(int normalSlices, int maxSlices);

// Aborts with a message when a harness's own check fails, so the fuzzer
// keeps the input.
void Require(bool condition, const char* what);
