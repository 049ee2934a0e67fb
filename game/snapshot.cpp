#include "game/snapshot.h"

// Snapshots need the complete hardware state; until it exists there is
// nothing to restore and nothing is written.
bool LoadState(const char*) { return false; }
bool SaveState(const char*) { return false; }
