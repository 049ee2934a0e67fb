#pragma once
// Shared pieces of the fuzz harnesses: a private scratch folder for the
// files a harness hands to the loaders, an in-memory gzip compressor, a
// reader for the bytes the fuzzer supplies, and a machine that is brought up
// and torn down completely for every input, so no run sees another's state.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A folder of this process's own under $TMPDIR (or /tmp), removed at exit.
const std::string& ScratchFolder();
// Writes bytes to a file of that name in the scratch folder; returns its path.
std::string WriteScratchFile(const char* name, std::span<const uint8_t> bytes);
Bytes ReadWholeFile(const std::string& path);

// A complete gzip stream of the bytes (fast compression).
Bytes Gzip(std::span<const uint8_t> bytes);

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

// Puts back every setting a harness may touch: Settings, Verbose, the
// battery and snapshot switches, and a BIOS path in the scratch folder that
// does not exist, so a GBA.ROM in the working directory is never read.
void ResetGlobals();

// Allocates and maps the machine around the image (std::malloc'd, a multiple
// of 16 KB; EndGame frees it) and resets the hardware, as a game start does.
// False when memory runs out (the machine is then already released).
bool StartMachine(uint8_t* image, int32_t roundedSize);
// EndGame and ResetGlobals.
void StopMachine();

// The run loop with a budget: at most normalSlices slices handed over to the
// scanline driver (each up to 960 cycles) and at most maxSlices in all.
void RunSlices(int normalSlices, int maxSlices);

// Aborts with a message when a harness's own check fails, so the fuzzer
// keeps the input.
void Require(bool condition, const char* what);
