#include "game/game.h"

#include <array>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "cpu/cpu_state.h"
#include "cpu/run_loop.h"
#include "game/battery.h"
#include "game/battery_file.h"
#include "game/cartridge.h"
#include "game/file_access.h"
#include "game/header.h"
#include "game/replace_file.h"
#include "game/save_place.h"
#include "game/save_type.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "machine/backup.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/rtc.h"
#include "machine/video_memory.h"
#include "sound/midi_log.h"

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

// The machine's memories and where the bus finds them. A span beyond the
// block repeats it (mirrors); the BIOS is read-only. Palette RAM and OAM
// (1 KB each) take the first KB of their blocks, which repeat through their
// regions; VRAM's mirrors follow the display mode (MapVram).
struct MemoryRegion {
    const char* message;  // the start-up trace: printf format with %d for the size in kB, or plain
    uint8_t* block;
    uint32_t size;
    uint32_t busBase;
    uint32_t span;
    bool writable;
};

constexpr uint32_t MB = 1024 * KB;

// The cartridge image appears three times, at 0x08, 0x0A and 0x0C000000
// (the three wait-state windows), each 32 MB.
constexpr uint32_t CartridgeWindows[] = {0x08000000, 0x0A000000, 0x0C000000};
constexpr uint32_t CartridgeWindowPages = 0x2000000 >> PageShift;

template <size_t Size>
MemoryRegion Region(const char* message, std::array<uint8_t, Size>& block, uint32_t busBase, uint32_t span,
                    bool writable) {
    return {message, block.data(), uint32_t(Size), busBase, span, writable};
}

void Progress(const Machine& m, const char* format, int value = 0) {
    if (m.Verbose) std::printf(format, value);
}

void Outcome(const Machine& m, bool ok) {
    if (m.Verbose) std::printf(ok ? "OK\n" : "FAILED\n");
}

void LoadBiosImage(Machine& m) {
    int error = 0;
    std::FILE* file = OpenRegularStream(m.BiosPath, error);
    if (file) {
        Progress(m, "Loading GBA.ROM...");
        const size_t count = std::fread(m.Bios.data(), 1, m.Bios.size(), file);
        m.BiosLoaded = count == m.Bios.size();
        Outcome(m, m.BiosLoaded);
        std::fclose(file);
    }
    if (!m.BiosLoaded) std::memcpy(m.Bios.data(), BiosStub, BiosStubSize);
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

std::string ReplaceExtension(const std::string& path, const char* extension) {
    // Only a dot inside the last path component starts the extension: a dot
    // in a folder name must not send two games to one save file.
    const size_t separator = path.find_last_of("/\\");
    const size_t componentStart = separator == std::string::npos ? 0 : separator + 1;
    const size_t dot = path.rfind('.');
    const size_t end = dot != std::string::npos && dot >= componentStart ? dot : path.size();
    return path.substr(0, end) + extension;
}

std::unique_ptr<Machine> CreateMachine() { return std::unique_ptr<Machine>(new (std::nothrow) Machine); }

void PowerOnMachine(Machine& m) {
    m.StopRequested = false;
    m.BiosLoaded = false;
    m.SaveFileName.clear();
    m.StateFileName.clear();
    m.RomImage.reset();
    m.RomSize = 0;
    ClearPageTable(m.PageTable);

    Progress(m, "Allocating %dkB Dummy RAM...", 16);
    m.DummyRam.fill(0);
    Outcome(m, true);
    const MemoryRegion regions[] = {
        Region("Allocating 16kB BIOS ROM...", m.Bios, 0x00000000, 16 * KB, false),
        Region("Allocating 256kB External Working RAM...", m.Ewram, 0x02000000, 16 * MB, true),
        Region("Allocating 32kB Internal Working RAM...", m.Iwram, 0x03000000, 16 * MB, true),
        Region("Allocating %dkB I/O...", m.Io, 0x04000000, 16 * KB, true),
        Region("Allocating %dkB Palette RAM...", m.Palette, 0x05000000, 16 * MB, true),
        Region("Allocating 96kB VRAM...", m.Vram, 0x06000000, 96 * KB, true),
        Region("Allocating %dkB Sprite RAM...", m.Oam, 0x07000000, 16 * MB, true),
    };
    for (const MemoryRegion& region : regions) {
        Progress(m, region.message, int(region.size / KB));
        std::memset(region.block, 0, region.size);
        Outcome(m, true);
        MapRegion(m, region.block, region.size, region.busBase, region.span, region.writable);
    }
    MapVram(m);
    m.ZeroPage.fill(0);
    // Halfword n of every 128 KB of the cartridge bus echoes n.
    for (uint32_t half = 0; half < m.CartridgeBusEcho.size() / 2; ++half)
        StoreLittle<uint16_t>(m.CartridgeBusEcho.data() + 2 * half, uint16_t(half));
    PowerOnBackupMemory(m);
    LoadBiosImage(m);
}

// Past the image nothing drives the cartridge bus's data lines, and a load
// reads back the address bits the handheld put on them: the halfword at
// offset 2n reads n (modulo 65536).
void MapCartridge(Machine& m, std::unique_ptr<uint8_t[]> image, int32_t roundedSize) {
    m.RomImage = std::move(image);
    m.RomSize = roundedSize;
    for (uint32_t window : CartridgeWindows) {
        MapRegion(m, m.RomImage.get(), uint32_t(m.RomSize), window, uint32_t(m.RomSize), false);
        for (uint32_t offset = uint32_t(m.RomSize); offset < CartridgeWindowPages << PageShift; offset += PageSize) {
            uint8_t* echo = m.CartridgeBusEcho.data() + offset % m.CartridgeBusEcho.size();
            m.PageTable.Read[(window + offset) >> PageShift] = echo;
            m.PageTable.Write[(window + offset) >> PageShift] = m.DummyRam.data();
        }
    }
}

namespace {

// The rest of the image's last page, past the end of the file, echoes the
// address too.
void EchoPastImage(Machine& m, int32_t size) {
    for (int32_t offset = size; offset < m.RomSize; ++offset)
        m.RomImage[size_t(offset)] = m.CartridgeBusEcho[size_t(offset) % m.CartridgeBusEcho.size()];
}

}  // namespace

GameStart StartGame(Machine& m, const char* cartridgePath) {
    PowerOnMachine(m);

    if (m.Verbose) std::printf("Loading %s...", cartridgePath);
    int32_t size = 0;
    StartFailure failure = StartFailure::None;
    int32_t roundedSize = 0;
    std::unique_ptr<uint8_t[]> image = LoadCartridgeImage(m, cartridgePath, size, roundedSize, failure);
    Outcome(m, image != nullptr);
    if (!image) return {failure};
    MapCartridge(m, std::move(image), roundedSize);
    const uint8_t* rom = m.RomImage.get();

    if (m.Verbose) PrintHeaderSummary(rom);
    if (m.Settings.CheckCRC && HeaderComplement(rom) != rom[HeaderComplementOffset]) {
        if (m.Verbose) std::printf("CMP CHECK FAILED!\n");
        return {StartFailure::HeaderCheck};
    }

    ChooseBackupChips(m, rom, size_t(size), uint32_t(m.RomSize));
    EchoPastImage(m, size);
    if (m.Verbose) std::printf("  Save:     %s%s\n", SaveTypeText(m), m.RealTimeClock.Present ? ", clock" : "");

    const GameFilePlace save = PlaceGameFile(cartridgePath, ".sav");
    m.SaveFileName = save.write;
    m.SaveReadFileName = save.read;
    if (!LoadBatteryFile(m) && !m.BatteryRefusal.empty())
        m.Host.ReportProblem(m.Host.Context, m.BatteryRefusal.c_str());

    Progress(m, "Initializing hardware and CPU...");
    InitMidiLog(m.MidiLog, m.Settings.SoundLogFile);
    ResetHardware(m);

    const GameFilePlace state = PlaceGameFile(cartridgePath, ".sta");
    m.StateFileName = state.write;
    // A KORU killed while writing the snapshot left its temporary file.
    RemoveStaleTemporaries(m.StateFileName.c_str());
    if (m.LoadDefaultState && LoadState(m, state.read.c_str()) && m.Verbose)
        std::printf("loaded %s...", state.read.c_str());

    FillPageHoles(m.PageTable, m.ZeroPage.data(), m.DummyRam.data());
    Progress(m, "OK\nStarting CPU...\n");
    return {};
}

void EndGame(Machine& m) {
    if (!m.SaveFileName.empty()) WriteBatteryFile(m);
    ReleaseBatteryFile(m);
    CloseMidiLog(m.MidiLog);
    m.StateFileName.clear();
    m.SaveFileName.clear();
    m.SaveReadFileName.clear();
    // The cartridge windows read zeros once the image is gone.
    for (uint32_t window : CartridgeWindows)
        std::fill_n(m.PageTable.Read.begin() + (window >> PageShift), CartridgeWindowPages, m.ZeroPage.data());
    m.RomImage.reset();
    m.RomSize = 0;
}
