#include "game/battery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "game/battery_file.h"
#include "game/game.h"
#include "game/settings.h"
#include "machine/backup.h"
#include "machine/page_table.h"

bool BatteryFileEnabled = true;

namespace {

constexpr uint32_t BackupRamSize = 0x10000;
constexpr uint32_t BatteryCheckInterval = 4;  // frames between two looks at the memories

// The backup RAM block, or null when the machine has none mapped.
uint8_t* BackupRam() {
    uint8_t* block = PageTable.Write[0x0E000000u >> PageShift];
    return block == DummyRam ? nullptr : block;
}

// Every byte equals its neighbour and the first is zero: one memcmp, which
// the C library runs many bytes at a time.
bool HasData(std::span<const uint8_t> bytes) {
    return !bytes.empty() && (bytes[0] != 0 || std::memcmp(bytes.data(), bytes.data() + 1, bytes.size() - 1) != 0);
}

// What the game saved, as the file keeps it: while the FLASH shows its
// identifier in bytes 0 and 1, the game's own bytes are held aside.
struct BackupImage {
    uint8_t head[2];
    std::span<const uint8_t> rest;
};

BackupImage SavedBackupRam(const uint8_t* backup) {
    BackupImage image{{backup[0], backup[1]}, std::span<const uint8_t>(backup + 2, BackupRamSize - 2)};
    if (Flash.IdentifyMode) {
        image.head[0] = uint8_t(Flash.SavedBytes);
        image.head[1] = uint8_t(Flash.SavedBytes >> 8);
    }
    return image;
}

// The memories as BatteryFrameTick last saw them, and whether they changed
// since the file was last read or written.
struct BatteryWatch {
    bool armed = false;
    bool changed = false;
    uint32_t framesToCheck = 0;
    uint32_t quietFrames = 0;
    std::vector<uint8_t> lastSeen;
};
BatteryWatch Watch;

// Both memories side by side in one buffer, for comparing.
void TakePicture(std::vector<uint8_t>& picture) {
    picture.resize(BackupRamSize + EepromSize);
    std::memcpy(picture.data(), BackupRam(), BackupRamSize);
    std::memcpy(picture.data() + BackupRamSize, EepromData, EepromSize);
}

bool MatchesPicture(const std::vector<uint8_t>& picture) {
    return picture.size() == BackupRamSize + EepromSize &&
           std::memcmp(picture.data(), BackupRam(), BackupRamSize) == 0 &&
           std::memcmp(picture.data() + BackupRamSize, EepromData, EepromSize) == 0;
}

void ArmWatch() {
    TakePicture(Watch.lastSeen);
    Watch.changed = false;
    Watch.quietFrames = 0;
    Watch.framesToCheck = BatteryCheckInterval;
    Watch.armed = true;
}

}  // namespace

bool LoadBatteryFile() {
    Watch.armed = false;
    uint8_t* backup = BackupRam();
    if (!BatteryFileEnabled || !SaveFileName || !backup) return false;
    if (Verbose) std::printf("Opening %s...", SaveFileName);
    std::FILE* file = ClaimBatteryFile(SaveFileName);
    if (!file) {
        if (Verbose) std::printf("FAILED\n");
        ArmWatch();
        return false;
    }
    if (Verbose) std::printf("reading...");
    bool complete = std::fread(backup, 1, BackupRamSize, file) == BackupRamSize;
    // A file of the EEPROM block alone: start again for the EEPROM.
    if (!complete) std::rewind(file);
    complete = std::fread(EepromData, 1, EepromSize, file) == EepromSize || complete;
    std::fclose(file);
    if (Verbose) std::printf(complete ? "OK\n" : "FAILED\n");
    ArmWatch();
    return complete;
}

bool WriteBatteryFile() {
    const uint8_t* backup = BackupRam();
    if (!BatteryFileEnabled || !SaveFileName || !backup) return false;
    const BackupImage ram = SavedBackupRam(backup);
    const bool ramHasData = ram.head[0] || ram.head[1] || HasData(ram.rest);
    const bool eepromHasData = HasData(EepromData);
    if (!ramHasData && !eepromHasData) return true;

    if (Verbose) std::printf("\nOpening %s...writing...", SaveFileName);
    const std::span<const uint8_t> none;
    const bool ok = StoreBatteryFile(SaveFileName, {ramHasData ? std::span<const uint8_t>(ram.head) : none,
                                                    ramHasData ? ram.rest : none, eepromHasData ? EepromData : none});
    if (Verbose) std::printf(ok ? "OK\n" : "FAILED\n");
    return ok;
}

void BatteryFrameTick() {
    if (!Watch.armed || !BatteryFileEnabled || !SaveFileName || !BackupRam()) return;
    if (--Watch.framesToCheck != 0) return;
    Watch.framesToCheck = BatteryCheckInterval;
    if (!MatchesPicture(Watch.lastSeen)) {
        TakePicture(Watch.lastSeen);
        Watch.changed = true;
        Watch.quietFrames = 0;
        return;
    }
    Watch.quietFrames += BatteryCheckInterval;
    if (!Watch.changed || Watch.quietFrames < BatteryQuietFrames) return;
    // A failed write is tried again after the next quiet spell.
    Watch.quietFrames = 0;
    if (WriteBatteryFile()) Watch.changed = false;
}
