#pragma once
// Opening the files KORU reads (cartridge images, the BIOS image, battery
// files, snapshots, KORU.ini) only when they are regular files: a FIFO
// would wait for a writer for ever and a device such as /dev/zero never
// ends. And the one way a problem with such a file reaches the player.

#include <cstdio>
#include <string>

#include "machine/host.h"

// Error numbers of our own beside errno's (which are all positive): a path
// that leads to something other than a regular file, and a battery file
// that another running KORU has claimed.
inline constexpr int NotRegularFile = -1;
inline constexpr int FileInUse = -2;

// Opens path (symbolic links followed) for reading. Returns the descriptor,
// or -1 with error set to an errno value or NotRegularFile. Never blocks.
int OpenRegularFile(const char* path, int& error);

// The same as a buffered stream; null on failure.
std::FILE* OpenRegularStream(const char* path, int& error);

// A buffered stream reading an open file through a second descriptor of
// it, from where the descriptor stands; fd itself stays open. Null on
// failure.
std::FILE* SecondReadStream(int fd);

// A short text for an error number of either kind.
const char* FileErrorText(int error);

// Tells the player through the host "cannot ACTION PATH: REASON".
void ReportFileProblem(const HostInterface& host, const char* action, const char* path, int error);

// The folder of a path ("." without one, "/" at the root) and the name in it.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// Makes the folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& folder);
