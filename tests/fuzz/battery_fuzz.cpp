// Battery files of any length and content: loading fills the backup RAM and
// the EEPROM data as far as the file reaches and never further, and the file
// written back at the game's end holds exactly the blocks with data (or,
// when both memories are empty, the old file stays as it was).
//
// Input: the file itself.

#include <cstdlib>
#include <cstring>

#include "game/battery.h"
#include "game/game.h"
#include "machine/backup.h"
#include "machine/page_table.h"
#include "tests/fuzz/fuzz_support.h"

constexpr size_t BackupRamSize = 0x10000;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    static const uint8_t nothing = 0;
    const uint8_t* data = input ? input : &nothing;
    const std::string path = WriteScratchFile("game.sav", {data, size});
    auto* rom = static_cast<uint8_t*>(std::calloc(PageSize, 1));
    if (!rom || !StartMachine(rom, int32_t(PageSize))) return 0;
    SaveFileName = ::strdup(path.c_str());

    // Up to 64 KB go to the backup RAM; the EEPROM data take what follows,
    // or, after a short first read, the file again from its start. Whatever
    // the file does not reach stays zero.
    const bool loaded = LoadBatteryFile();
    const uint8_t* backup = PageTable.Read[0x0E000000u >> PageShift];
    const size_t ramBytes = std::min(size, BackupRamSize);
    const size_t eepromStart = size >= BackupRamSize ? BackupRamSize : 0;
    const size_t eepromBytes = std::min(size - eepromStart, size_t(EepromSize));
    Require(loaded == (size >= EepromSize), "a file of at least one block loads");
    Require(std::memcmp(backup, data, ramBytes) == 0 && AllZero(backup + ramBytes, BackupRamSize - ramBytes),
            "backup RAM from the file's first 64 KB");
    Require(std::memcmp(EepromData, data + eepromStart, eepromBytes) == 0 &&
                AllZero(EepromData + eepromBytes, EepromSize - eepromBytes),
            "EEPROM data from the file");

    // The game's end writes the file back; with the FLASH reset after the
    // load it holds the same bytes in its blocks.
    const bool ramHasData = !AllZero(backup, BackupRamSize);
    const bool eepromHasData = !AllZero(EepromData, EepromSize);
    const Bytes expectedRam(backup, backup + BackupRamSize);
    const Bytes expectedEeprom(EepromData, EepromData + EepromSize);
    StopMachine();
    const Bytes written = ReadWholeFile(path);
    if (!ramHasData && !eepromHasData) {
        Require(written == Bytes(data, data + size), "an empty save keeps the old file");
    } else {
        Bytes expected;
        if (ramHasData) expected = expectedRam;
        if (eepromHasData) expected.insert(expected.end(), expectedEeprom.begin(), expectedEeprom.end());
        Require(written == expected, "the written file holds the blocks with data");
    }
    return 0;
}
