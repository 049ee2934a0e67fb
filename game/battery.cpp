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
#include "game/battery_layout.h"
#include "game/game.h"
#include "game/settings.h"
#include "machine/backup.h"
#include "machine/rtc.h"

bool BatteryFileEnabled = true;

std::string BatteryRefusal;

namespace {

constexpr uint32_t BatteryCheckInterval = 4;  // frames between two looks at the memories

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
    std::vector<uint8_t> lastSeen;
    std::vector<uint8_t> inFile;
};
BatteryWatch Watch;

bool TakePicture(std::vector<uint8_t>& picture) { return BuildChipImage(picture); }

bool MatchesPicture(const std::vector<uint8_t>& picture) {
    static std::vector<uint8_t> now;
    TakePicture(now);
    return now == picture;
}

void ArmWatch() {
    TakePicture(Watch.lastSeen);
    Watch.inFile = Watch.lastSeen;
    Watch.changed = false;
    Watch.quietFrames = 0;
    Watch.framesToCheck = BatteryCheckInterval;
    Watch.armed = true;
}

}  // namespace

bool LoadBatteryFile() {
    Watch.armed = false;
    Watch.refused = false;
    BatteryRefusal.clear();
    if (!BatteryFileEnabled || !SaveFileName) return false;
    if (Verbose) std::printf("Opening %s...", SaveFileName);
    std::FILE* file = ClaimBatteryFile(SaveFileName);
    if (!file) {
        if (Verbose) std::printf("FAILED\n");
        ArmWatch();
        return false;
    }
    if (Verbose) std::printf("reading...");
    std::vector<uint8_t> bytes(LargestBatteryFile + 1);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    // An empty file holds no save: writing over it loses nothing.
    const bool complete = bytes.empty() || ApplyBatteryImage(bytes);
    if (Verbose) std::printf(complete ? "OK\n" : "FAILED\n");
    if (!complete) {
        Watch.refused = true;
        BatteryRefusal = DescribeRefusedBattery(SaveFileName, bytes.size());
    }
    ArmWatch();
    return complete && !bytes.empty();
}

bool WriteBatteryFile() {
    if (!BatteryFileEnabled || !SaveFileName || Watch.refused) return false;
    // Erased chips that were erased when the file was read (or that had no
    // file) leave nothing to keep; an old file stays as it is. Chips the
    // game erased over a saved file are written, erased.
    std::vector<uint8_t> picture;
    const bool holdsData = TakePicture(picture);
    if (!holdsData && (!Watch.armed || picture == Watch.inFile)) return true;
    std::vector<uint8_t> image;
    BuildBatteryImage(image, ClockHostTime());

    if (Verbose) std::printf("\nOpening %s...writing...", SaveFileName);
    const bool ok = StoreBatteryFile(SaveFileName, {std::span<const uint8_t>(image)});
    if (Verbose) std::printf(ok ? "OK\n" : "FAILED\n");
    if (ok) Watch.inFile = std::move(picture);
    return ok;
}

void BatteryFrameTick() {
    if (!Watch.armed || !BatteryFileEnabled || !SaveFileName || Watch.refused) return;
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
