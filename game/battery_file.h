#pragma once
// The battery file as one running KORU holds it. At game start the file is
// claimed with an advisory lock (flock), so that a second KORU started on
// the same save reads it but never writes over it: without the lock the
// one that ended last would put its older copy over the other's newer
// save. Every write replaces the file safely and carries the lock over to
// the new file. Each failure is said to the player once, not at every
// retry. All decisions about where the battery file goes and what a
// failure tells the player are made here.

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>

// The claim of one machine (its Battery).
struct BatteryClaim {
    std::string path;
    int lockedFile = -1;     // the file, open and locked by this process
    bool lockedOut = false;  // another KORU holds it: not written in this run
    bool refused = false;    // not a regular file: neither read nor written
    int toldError = 0;       // the failure last said to the player
    bool writeFailed = false;
};

struct Machine;

// At game start: gives up any earlier claim, removes temporary files that
// a killed KORU left beside the save, claims the file and opens it for
// reading, or opens newerCopy instead when that names another, newer copy
// of the save (game/save_place.h). Returns the stream (the caller closes
// it), or null when there is nothing to read: no file yet, or one that
// cannot or must not be read.
std::FILE* ClaimBatteryFile(Machine& m, const char* path, const char* newerCopy = nullptr);

// Replaces the file by the blocks. False when it was not written: the disk
// is full, the folder or medium read-only, it is not a regular file, or
// another KORU holds it.
bool StoreBatteryFile(Machine& m, const char* path, std::initializer_list<std::span<const uint8_t>> blocks);

// At game end: gives up the claim.
void ReleaseBatteryFile(Machine& m);

// True when the last write of this game run failed (or was held back
// because another KORU holds the file): the file on disk lacks the game's
// latest progress. Kept after the release, cleared by the next claim.
bool BatteryWriteFailed(const Machine& m);
