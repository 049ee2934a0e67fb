// Battery files of any length and content, for each backup chip: a file
// of a size the chip takes (its raw image, one of the three old layouts,
// each perhaps followed by the 16-byte clock trailer) loads into the chips
// exactly where its layout puts it and nowhere else; any other file is
// refused, leaves the chips erased and is never written over. The file
// written back at the game's end holds exactly what was loaded, in the
// chip's own layout, or (when the chips hold nothing) the old file stays.
//
// Input: a byte choosing the chip (bits 0-2 the type, 3-4 the EEPROM's
// width: open, 6 or 14), then the file itself.

#include <cstdlib>
#include <cstring>

#include "game/battery.h"
#include "game/game.h"
#include "machine/backup.h"
#include "machine/page_table.h"
#include "machine/rtc.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t TrailerSize = 16;
constexpr int64_t HostTime = 1700000000;

bool Erased(const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != 0xFF) return false;
    return true;
}

// Where a file of `size` bytes goes in the chips of `type`, worked out
// from the layouts rather than taken from the loader's table: bytes of
// the file to the static RAM or FLASH from its start, and the offset and
// count of the EEPROM's bytes. False when the chip takes no such file.
struct Placement {
    size_t ramBytes = 0, eepromOffset = 0, eepromBytes = 0;
};
bool Place(SaveType type, size_t size, Placement& place) {
    Placement found;
    bool fits = true;
    switch (size) {
    case 65536: found = {65536, 0, 0}; break;
    case 66048: found = {65536, 65536, 512}; break;
    case 512: found = {512, 0, 512}; break;
    case 32768: found = {32768, 0, 0}, fits = type == SaveType::Combined || type == SaveType::Sram; break;
    case 131072: found = {131072, 0, 0}, fits = type == SaveType::Flash128; break;
    case 8192: found = {0, 0, 8192}, fits = type == SaveType::Eeprom; break;
    default: fits = false; break;
    }
    if (fits) place = found;
    return fits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    Machine& m = FuzzMachine();
    InputReader reader({input, size});
    const uint8_t choice = reader.Byte();
    const auto type = SaveType((choice & 7) % SaveTypeCount);
    const uint8_t widths[] = {0, EepromSmallWidth, EepromLargeWidth, 0};
    const uint8_t width = type == SaveType::Combined ? EepromSmallWidth : widths[(choice >> 3) & 3];
    const std::span<const uint8_t> file = reader.Rest();
    const std::string path = WriteScratchFile("game.sav", file);
    if (!StartMachine(NewImage(PageSize), int32_t(PageSize))) return 0;
    m.ClockHostTime = [] { return HostTime; };
    SetSaveType(m, type, width, PageSize);
    m.SaveFileName = path;

    Placement place;
    bool fits = Place(type, file.size(), place);
    const bool trailer = !fits && file.size() > TrailerSize && Place(type, file.size() - TrailerSize, place);
    fits = fits || trailer;
    const bool loaded = LoadBatteryFile(m);
    Require(loaded == (fits && !file.empty()), "a file loads when its size fits the chip");
    Require(m.BatteryRefusal.empty() == (fits || file.empty()), "a file that fits nothing is refused");
    Require(bool(m.RealTimeClock.Present) == trailer, "the clock comes with a trailer");

    // The chips hold the file's bytes where its layout puts them, and are
    // erased everywhere else.
    Require(std::memcmp(m.BackupMemory.data(), file.data(), place.ramBytes) == 0 &&
                Erased(m.BackupMemory.data() + place.ramBytes, BackupMemorySize - place.ramBytes),
            "static RAM or FLASH from the file's start");
    Require(std::memcmp(m.EepromMemory.data(), file.data() + place.eepromOffset, place.eepromBytes) == 0 &&
                Erased(m.EepromMemory.data() + place.eepromBytes, EepromLargeSize - place.eepromBytes),
            "EEPROM from the file");

    // Written back: the chip's own image of what was loaded, or nothing.
    const uint32_t eepromSize = EepromSize(m);
    Bytes expected;
    if (type == SaveType::Combined) {
        const bool ram = !Erased(m.BackupMemory.data(), 65536), eeprom = !Erased(m.EepromMemory.data(), 512);
        if (ram) expected.assign(m.BackupMemory.data(), m.BackupMemory.data() + 65536);
        if (eeprom) expected.insert(expected.end(), m.EepromMemory.data(), m.EepromMemory.data() + 512);
    } else {
        expected.assign(m.BackupMemory.data(), m.BackupMemory.data() + BackupChipSize(m));
        expected.insert(expected.end(), m.EepromMemory.data(), m.EepromMemory.data() + eepromSize);
        if (Erased(expected.data(), expected.size())) expected.clear();
    }
    StopMachine();
    const Bytes written = ReadWholeFile(path);
    if (!loaded || expected.empty()) {
        Require(written == Bytes(file.begin(), file.end()), "a refused or empty save keeps the old file");
    } else {
        Require(written.size() == expected.size() + (trailer ? TrailerSize : 0), "the written file's size");
        Require(std::equal(expected.begin(), expected.end(), written.begin()), "the written chip image");
        if (trailer) {
            const uint8_t* stamp = written.data() + expected.size() + 8;
            int64_t time = 0;
            for (int i = 0; i < 8; ++i) time |= int64_t(stamp[i]) << (8 * i);
            Require(time == HostTime, "the trailer's time stamp");
        }
    }
    return 0;
}
