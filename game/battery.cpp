#include "game/battery.h"

#include <array>
#include <cstdio>
#include <span>

#include "game/battery_file.h"
#include "game/battery_layout.h"
#include "machine/machine.h"
#include "machine/rtc.h"

namespace {

constexpr uint32_t BatteryCheckInterval = 4;  // frames between two looks at the memories

void ArmWatch(Machine& m) {
    BuildChipImage(m, m.BatteryChanges.lastSeen);
    m.BatteryChanges.inFile = m.BatteryChanges.lastSeen;
    m.BatteryChanges.changed = false;
    m.BatteryChanges.quietFrames = 0;
    m.BatteryChanges.framesToCheck = BatteryCheckInterval;
    m.BatteryChanges.storesSeen = m.CartridgeStores;
    m.BatteryChanges.armed = true;
}

}  // namespace

bool LoadBatteryFile(Machine& m) {
    m.BatteryChanges.armed = false;
    m.BatteryChanges.refused = false;
    m.BatteryRefusal.clear();
    if (!m.BatteryFileEnabled || m.SaveFileName.empty()) return false;
    if (m.Verbose) std::printf("Opening %s...", m.SaveFileName.c_str());
    std::FILE* file = ClaimBatteryFile(m, m.SaveFileName.c_str(), m.SaveReadFileName.c_str());
    if (!file) {
        if (m.Verbose) std::printf("FAILED\n");
        ArmWatch(m);
        return false;
    }
    if (m.Verbose) std::printf("reading...");
    std::vector<uint8_t> bytes(LargestBatteryFile + 1);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    // An empty file holds no save: writing over it loses nothing.
    const bool complete = bytes.empty() || ApplyBatteryImage(m, bytes);
    if (m.Verbose) std::printf(complete ? "OK\n" : "FAILED\n");
    if (!complete) {
        m.BatteryChanges.refused = true;
        m.BatteryRefusal = DescribeRefusedBattery(m, m.SaveFileName.c_str(), bytes.size());
    }
    ArmWatch(m);
    return complete && !bytes.empty();
}

bool WriteBatteryFile(Machine& m) {
    if (!m.BatteryFileEnabled || m.SaveFileName.empty() || m.BatteryChanges.refused) return false;
    // Erased chips that were erased when the file was read (or that had no
    // file) leave nothing to keep; an old file stays as it is. Chips the
    // game erased over a saved file are written, erased.
    std::vector<uint8_t> picture;
    const bool holdsData = BuildChipImage(m, picture);
    if (!holdsData && (!m.BatteryChanges.armed || picture == m.BatteryChanges.inFile)) return true;
    std::array<uint8_t, ClockTrailerSize> trailer{};
    const size_t trailerSize = m.RealTimeClock.Present ? trailer.size() : 0;
    if (trailerSize) WriteClockTrailer(m, trailer.data(), m.ClockHostTime());

    if (m.Verbose) std::printf("\nOpening %s...writing...", m.SaveFileName.c_str());
    const bool ok =
        StoreBatteryFile(m, m.SaveFileName.c_str(),
                         {std::span<const uint8_t>(picture), std::span<const uint8_t>(trailer.data(), trailerSize)});
    if (m.Verbose) std::printf(ok ? "OK\n" : "FAILED\n");
    if (ok) m.BatteryChanges.inFile = std::move(picture);
    return ok;
}

void BatteryFrameTick(Machine& m) {
    if (!m.BatteryChanges.armed || !m.BatteryFileEnabled || m.SaveFileName.empty() || m.BatteryChanges.refused) return;
    if (--m.BatteryChanges.framesToCheck != 0) return;
    m.BatteryChanges.framesToCheck = BatteryCheckInterval;
    // The chips change only by stores on the cartridge bus (or a snapshot).
    const bool touched = m.CartridgeStores != m.BatteryChanges.storesSeen;
    m.BatteryChanges.storesSeen = m.CartridgeStores;
    if (touched) BuildChipImage(m, m.BatteryChanges.now);
    if (touched && m.BatteryChanges.now != m.BatteryChanges.lastSeen) {
        // The new picture becomes the last seen; the old one's buffer is
        // the next look's scratch.
        m.BatteryChanges.lastSeen.swap(m.BatteryChanges.now);
        m.BatteryChanges.changed = true;
        m.BatteryChanges.quietFrames = 0;
        return;
    }
    m.BatteryChanges.quietFrames += BatteryCheckInterval;
    if (!m.BatteryChanges.changed || m.BatteryChanges.quietFrames < BatteryQuietFrames) return;
    // A failed write is tried again after the next quiet spell.
    m.BatteryChanges.quietFrames = 0;
    if (WriteBatteryFile(m)) m.BatteryChanges.changed = false;
}
