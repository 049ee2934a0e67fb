#pragma once
// State snapshot files: the whole machine frozen into one gzip stream.

// Restores the machine from a snapshot file; false leaves it as it was.
bool LoadState(const char* fileName);
// Writes the machine to a snapshot file.
bool SaveState(const char* fileName);
