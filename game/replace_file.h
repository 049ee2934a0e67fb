#pragma once
// Writing a file without ever leaving a damaged one behind.

#include <cstdint>
#include <initializer_list>
#include <span>

// Replaces the file at path by the concatenated blocks: the data go to a
// temporary file in the same folder, are flushed to the disk, and the
// temporary file is renamed over the old one. On any failure the old file
// stays as it was and the temporary one is removed. Battery files,
// snapshots and the settings file all go through it.
bool ReplaceFile(const char* path, std::initializer_list<std::span<const uint8_t>> blocks);
