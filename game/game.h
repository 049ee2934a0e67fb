#pragma once
// One game run on a machine: mapping the emulated memories, loading the BIOS
// image (or the built-in interrupt stub) and the cartridge, resetting the
// machine, and at the end writing the battery file and letting go of the
// cartridge. Between StartGame and EndGame the front-end runs the machine a
// frame at a time (RunFrame, cpu/run_loop.h).

#include <cstdint>
#include <memory>
#include <string>

struct Machine;

inline constexpr int32_t MaxRomSize = 0x2000000;  // 32 MB

// Why a game could not start.
enum class StartFailure { None, OutOfMemory, CannotOpen, Empty, TooLarge, ReadError, HeaderCheck, NotRegular };

// A short English description of a start failure, for the front-ends.
const char* StartFailureText(StartFailure failure);

// What StartGame came to: the game is ready to run, or it could not start
// and Failure says why.
struct GameStart {
    StartFailure Failure = StartFailure::None;
    bool Started() const { return Failure == StartFailure::None; }
};

// Loads the cartridge and the BIOS, reads the battery file, resets the
// machine and loads the cartridge's own snapshot (unless the machine's
// LoadDefaultState is cleared). The machine's settings (CheckCRC, SaveType,
// UseDrums, SoundLogFile) apply. After a failure EndGame still tidies up.
GameStart StartGame(Machine& m, const char* cartridgePath);

// Writes the battery file and lets go of the cartridge (its windows then
// lead to the scratch page) and the files of the run; safe after a failed
// start and when no game runs.
void EndGame(Machine& m);

// The first steps of a game start, also used by tests: every memory
// cleared and mapped, the backup chips new, and "GBA.ROM" or the interrupt
// stub in the BIOS area.
void PowerOnMachine(Machine& m);

// Enters a cartridge image (size a multiple of 16 KB) at the three
// cartridge windows; the machine owns it from now on.
void MapCartridge(Machine& m, std::unique_ptr<uint8_t[]> image, int32_t roundedSize);

// The six-instruction interrupt dispatcher placed at 0x18 without a BIOS image.
inline constexpr uint32_t BiosStubSize = 48;
extern const uint8_t BiosStub[BiosStubSize];

// The path with the extension of its last path component replaced by (or,
// without one, extended with) the given extension. Both '/' and '\'
// separate components.
std::string ReplaceExtension(const std::string& path, const char* extension);
