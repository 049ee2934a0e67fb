#pragma once
// The battery save file beside the cartridge image (SaveFileName): the
// cartridge's backup chip, and its clock, in one of the layouts of
// game/battery_layout.h, without a header.

#include <cstdint>
#include <string>
#include <vector>

// The chips as BatteryFrameTick last saw them (as the file holds them), as
// they were when the file was last read or written, and whether they
// changed since. The clock's setting alone does not make a file: it is
// written with the chips' data.
struct BatteryWatch {
    bool armed = false;
    bool changed = false;
    bool refused = false;  // the file fitted no layout: it is never written over
    uint32_t framesToCheck = 0;
    uint32_t quietFrames = 0;
    uint32_t storesSeen = 0;  // Machine::CartridgeStores at the last look
    std::vector<uint8_t> lastSeen;
    std::vector<uint8_t> inFile;
    std::vector<uint8_t> now;  // scratch for the comparison
};

struct Machine;

// Reads SaveFileName into the backup chips at game start; false when the
// file is missing or empty, or fits no layout of the cartridge's chip. A
// file that fits none is refused: nothing is loaded from it, nothing is
// written over it in this game run, and the machine's BatteryRefusal says
// why.
bool LoadBatteryFile(Machine& m);

// Writes the chips to SaveFileName. Erased chips are written only over a
// file whose save the game has since erased: a new chip that was never used
// leaves no file, and an old file is kept. The old file is replaced only by
// a completely written new one.
bool WriteBatteryFile(Machine& m);

// Called once a frame at the start of vertical blank. Backup memory that
// changed and then stayed the same for BatteryQuietFrames frames is written
// at once, so a run that ends in a crash or a kill keeps what the game
// saved. Costs a copy and a comparison of the chip (at most 128 KB) every
// few frames in which the game stored anything on the cartridge bus.
void BatteryFrameTick(Machine& m);
inline constexpr uint32_t BatteryQuietFrames = 60;

// The machine's BatteryFileEnabled is cleared by front-ends whose runs must
// not touch files beside the cartridge (tests, benchmarks): nothing is then
// read or written.
