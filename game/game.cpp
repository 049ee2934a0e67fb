#include "game/game.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cpu/cpu_state.h"
#include "cpu/run_loop.h"
#include "game/battery.h"
#include "game/battery_file.h"
#include "game/cartridge.h"
#include "game/file_access.h"
#include "game/header.h"
#include "game/replace_file.h"
#include "game/save_type.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "machine/backup.h"
#include "machine/host.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "machine/rtc.h"
#include "sound/midi_log.h"

uint8_t* BiosImage = nullptr;
bool BiosLoaded = false;
const char* BiosPath = "GBA.ROM";
uint8_t* RomImage = nullptr;
int32_t RomSize = 0;
char* SaveFileName = nullptr;
char* StateFileName = nullptr;
bool StopRequested = false;
StartFailure LastStartFailure = StartFailure::None;
double LastRunSeconds = 0;
bool LoadDefaultState = true;
void (*StartHook)() = nullptr;

// Without a BIOS image the interrupt vector at 0x18 holds a small dispatcher:
// save the scratch registers, call the handler whose address the game keeps
// at 0x03007FFC (reached through its mirror 0x03FFFFFC), restore, return.
const uint8_t BiosStub[BiosStubSize] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0x0F, 0x50, 0x2D, 0xE9,  // stmfd sp!, {r0-r3, r12, lr}
    0x01, 0x03, 0xA0, 0xE3,  // mov r0, #0x04000000
    0x00, 0xE0, 0x8F, 0xE2,  // add lr, pc, #0
    0x04, 0xF0, 0x10, 0xE5,  // ldr pc, [r0, #-4]
    0x0F, 0x50, 0xBD, 0xE8,  // ldmfd sp!, {r0-r3, r12, lr}
    0x04, 0xF0, 0x5E, 0xE2,  // subs pc, lr, #4
};

namespace {

struct MemoryBlock {
    const char* message;  // printf format with %d for the size in kB, or plain
    uint32_t size;
    uint32_t busBase;
    uint32_t span;
    bool writable;
};

constexpr uint32_t KB = 1024;
constexpr uint32_t MB = 1024 * KB;

constexpr MemoryBlock MemoryBlocks[] = {
    {"Allocating 16kB BIOS ROM...", 16 * KB, 0x00000000, 16 * KB, false},
    {"Allocating 256kB External Working RAM...", 256 * KB, 0x02000000, 16 * MB, true},
    {"Allocating 32kB Internal Working RAM...", 32 * KB, 0x03000000, 16 * MB, true},
    {"Allocating %dkB I/O...", 16 * KB, 0x04000000, 16 * KB, true},
    {"Allocating %dkB Palette RAM...", 16 * KB, 0x05000000, 16 * KB, true},
    {"Allocating 96kB VRAM...", 96 * KB, 0x06000000, 96 * KB, true},
    {"Allocating %dkB Sprite RAM...", 16 * KB, 0x07000000, 16 * KB, true},
};

// The bus addresses whose read-map entries lead back to each allocation.
// (The backup chips are no allocation: machine/backup.h keeps them.)
constexpr uint32_t BlockAddresses[] = {0x00000000, 0x02000000, 0x03000000, 0x04000000, 0x05000000,
                                       0x06000000, 0x07000000, 0x08000000};

void Progress(const char* format, int value = 0) {
    if (Verbose) std::printf(format, value);
}

void Outcome(bool ok) {
    if (Verbose) std::printf(ok ? "OK\n" : "FAILED\n");
}

bool Fail(StartFailure reason) {
    LastStartFailure = reason;
    return false;
}

void LoadBiosImage() {
    int error = 0;
    std::FILE* file = OpenRegularStream(BiosPath, error);
    if (file) {
        Progress("Loading GBA.ROM...");
        const size_t count = std::fread(BiosImage, 1, 16 * KB, file);
        BiosLoaded = count == 16 * KB;
        Outcome(BiosLoaded);
        std::fclose(file);
    }
    if (!BiosLoaded) std::memcpy(BiosImage, BiosStub, BiosStubSize);
}

}  // namespace

const char* StartFailureText(StartFailure failure) {
    switch (failure) {
    case StartFailure::OutOfMemory: return "out of memory";
    case StartFailure::CannotOpen: return "file missing or unreadable";
    case StartFailure::Empty: return "file is empty";
    case StartFailure::TooLarge: return "image larger than 32 MB";
    case StartFailure::ReadError: return "image could not be read completely";
    case StartFailure::HeaderCheck: return "header complement check failed";
    case StartFailure::NotRegular: return FileErrorText(NotRegularFile);
    case StartFailure::None: break;
    }
    return "unknown failure";
}

char* ReplaceExtension(const char* path, const char* extension) {
    const size_t length = std::strlen(path);
    auto* name = static_cast<char*>(std::malloc(length + std::strlen(extension) + 1));
    if (!name) return nullptr;
    std::memcpy(name, path, length + 1);
    // Only a dot inside the last path component starts the extension: a dot
    // in a folder name must not send two games to one save file.
    size_t componentStart = 0;
    for (size_t i = 0; i < length; ++i)
        if (path[i] == '/' || path[i] == '\\') componentStart = i + 1;
    char* dot = std::strrchr(name + componentStart, '.');
    std::strcpy(dot ? dot : name + length, extension);
    return name;
}

bool AllocateMachine() {
    StopRequested = false;
    DummyRam = nullptr;
    SaveFileName = StateFileName = nullptr;
    BiosLoaded = false;
    LastStartFailure = StartFailure::None;
    ClearPageTable();

    Progress("Allocating %dkB Dummy RAM...", 16);
    DummyRam = static_cast<uint8_t*>(std::calloc(16 * KB, 1));
    Outcome(DummyRam != nullptr);
    if (!DummyRam) return Fail(StartFailure::OutOfMemory);

    for (const MemoryBlock& region : MemoryBlocks) {
        Progress(region.message, int(region.size / KB));
        auto* block = static_cast<uint8_t*>(std::calloc(region.size, 1));
        Outcome(block != nullptr);
        if (!block) return Fail(StartFailure::OutOfMemory);
        MapRegion(block, region.size, region.busBase, region.span, region.writable);
    }
    BiosImage = PageTable.Read[0];
    PowerOnBackupMemory();
    LoadBiosImage();
    return true;
}

void MapCartridge(uint8_t* image, int32_t roundedSize) {
    RomImage = image;
    RomSize = roundedSize;
    for (uint32_t window : {0x08000000u, 0x0A000000u, 0x0C000000u})
        MapRegion(RomImage, uint32_t(RomSize), window, uint32_t(RomSize), false);
}

GameRunResult StartGame(const char* cartridgePath) {
    if (!AllocateMachine()) return {};

    if (Verbose) std::printf("Loading %s...", cartridgePath);
    int32_t size = 0;
    StartFailure failure = StartFailure::None;
    int32_t roundedSize = 0;
    uint8_t* image = LoadCartridgeImage(cartridgePath, size, roundedSize, failure);
    Outcome(image != nullptr);
    if (!image) {
        Fail(failure);
        return {};
    }
    MapCartridge(image, roundedSize);

    PrintHeaderSummary(RomImage);
    if (Settings.CheckCRC && HeaderComplement(RomImage) != RomImage[HeaderComplementOffset]) {
        if (Verbose) std::printf("CMP CHECK FAILED!\n");
        Fail(StartFailure::HeaderCheck);
        return {};
    }

    ChooseBackupChips(RomImage, size_t(size), uint32_t(RomSize));
    if (Verbose) std::printf("  Save:     %s%s\n", SaveTypeText(), RealTimeClock.Present ? ", clock" : "");

    SaveFileName = ReplaceExtension(cartridgePath, ".sav");
    if (SaveFileName && !LoadBatteryFile() && !BatteryRefusal.empty()) Host.ReportProblem(BatteryRefusal.c_str());

    Progress("Initializing hardware and CPU...");
    InitMidiLog(Settings.SoundLogFile);
    ResetHardware();

    StateFileName = ReplaceExtension(cartridgePath, ".sta");
    // A KORU killed while writing the snapshot left its temporary file.
    if (StateFileName) RemoveStaleTemporaries(StateFileName);
    if (StateFileName && LoadDefaultState && LoadState(StateFileName) && Verbose)
        std::printf("loaded %s...", StateFileName);
    if (StartHook) StartHook();

    FillPageHoles();
    Progress("OK\nStarting CPU...\n");
    const auto started = std::chrono::steady_clock::now();
    const uint32_t exitPc = RunCpu(Cpu);
    LastRunSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (Verbose) std::printf("Exited at %08Xh\n", exitPc);
    return {.Started = true, .StopPc = exitPc};
}

void EndGame() {
    if (SaveFileName) WriteBatteryFile();
    ReleaseBatteryFile();
    CloseMidiLog();
    for (uint32_t address : BlockAddresses) {
        uint8_t* block = PageTable.Read[address >> PageShift];
        if (block && block != DummyRam) std::free(block);
    }
    std::free(DummyRam);
    std::free(StateFileName);
    std::free(SaveFileName);
    DummyRam = nullptr;
    StateFileName = SaveFileName = nullptr;
    BiosImage = RomImage = nullptr;
    RomSize = 0;
    ClearPageTable();
}
