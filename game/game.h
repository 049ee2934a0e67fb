#pragma once
// One game run: allocating and mapping the emulated memories, loading the
// BIOS image (or the built-in interrupt stub) and the cartridge, resetting
// the machine and running the CPU until the front-end asks to stop.

#include <cstdint>

// BIOS area, read-only at 0x00000000.
extern uint8_t* BiosImage;
// Set when "GBA.ROM" supplied exactly 16384 bytes.
extern bool BiosLoaded;
// Where the BIOS image is looked for: "GBA.ROM" in the current directory
// unless a front-end names another file.
extern const char* BiosPath;
// Cartridge image, RomSize bytes (the file length rounded up to 16 KB).
extern uint8_t* RomImage;
extern int32_t RomSize;
// Battery save and state snapshot file names of the running game.
extern char* SaveFileName;
extern char* StateFileName;
// Raised by the front-end to end the game run at the next vertical blank.
extern bool StopRequested;

// Why the last StartGame returned 0 (for the front-ends' messages).
enum class StartFailure { None, OutOfMemory, CannotOpen, Empty, TooLarge, ReadError, HeaderCheck, NotRegular };
extern StartFailure LastStartFailure;

// A short English description of a start failure, for the front-ends.
const char* StartFailureText(StartFailure failure);

// Front-end choices for the game runs. Clearing LoadDefaultState skips the
// automatic load of StateFileName at start-up. StartHook, when set, runs
// once the machine is reset and the default snapshot is loaded, just before
// the CPU starts (the headless runner loads a snapshot it was given there).
extern bool LoadDefaultState;
extern void (*StartHook)();

// Wall-clock seconds the last game run spent inside the run loop.
extern double LastRunSeconds;

inline constexpr int32_t MaxRomSize = 0x2000000;  // 32 MB

// What a game run came to: either it could not start (LastStartFailure
// says why), or it ran until the front-end stopped it, at StopPc. A game
// may well stop at address 0, so the PC alone cannot tell the two apart.
struct GameRunResult {
    bool Started = false;
    uint32_t StopPc = 0;
};

// Runs one game.
GameRunResult StartGame(const char* cartridgePath);

// The first steps of StartGame, also used by tests: allocates and maps every
// emulated memory and loads "GBA.ROM" or the interrupt stub. False (with
// LastStartFailure set) when memory runs out; EndGame releases the rest.
bool AllocateMachine();

// Enters a cartridge image (std::malloc'd, size a multiple of 16 KB) at the
// three cartridge windows; EndGame frees it.
void MapCartridge(uint8_t* image, int32_t roundedSize);

// Writes the battery file and releases everything; safe after a partial start.
void EndGame();

// The six-instruction interrupt dispatcher placed at 0x18 without a BIOS image.
inline constexpr uint32_t BiosStubSize = 48;
extern const uint8_t BiosStub[BiosStubSize];

// A copy of path with the extension of its last path component replaced by
// (or, without one, extended with) the given extension. Both '/' and '\'
// separate components. Returns a heap string (free with std::free) or null.
char* ReplaceExtension(const char* path, const char* extension);
