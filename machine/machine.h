#pragma once
// One emulated handheld and everything a game run on it keeps: the CPU, the
// bus with every memory behind it, the I/O registers and the hardware state
// derived from them, timers, DMA, the cartridge with its backup chip and
// clock, the sound chip and the sound output, the frame surface, and the
// settings and files of the run. Each block's record is declared in the
// block's own header; this struct only gathers them, under the names the
// rest of the code uses (m.Cpu, m.PageTable, m.TimerState, m.SoundChip ...).
//
// The front-end creates a machine with CreateMachine, starts a game on it
// (game/game.h), runs it a frame at a time (RunFrame, cpu/run_loop.h) and
// ends the game; two machines can live side by side. The core keeps no
// state of its own outside a machine.
//
// The machine is large (the page table alone is 4 MB) and the page table
// points into its own memories, so it lives on the heap and is never copied.
// It starts on a cache line, with the CPU record in the first ones.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "cpu/cpu_state.h"
#include "game/battery.h"
#include "game/battery_file.h"
#include "game/settings.h"
#include "machine/backup.h"
#include "machine/clock.h"
#include "machine/display_registers.h"
#include "machine/dma.h"
#include "machine/host.h"
#include "machine/page_table.h"
#include "machine/rtc.h"
#include "machine/timers.h"
#include "sound/midi_log.h"
#include "sound/sample_channels.h"
#include "sound/sound_chip.h"
#include "sound/sound_output.h"
#include "video/render_line.h"
#include "video/sprites.h"

inline constexpr uint32_t KB = 1024;

struct alignas(64) Machine {
    // ---- the CPU (cpu/) ----
    // First, so that the hot loops reach its fields at offset 0 of the
    // machine pointer they keep in a register.
    CpuState Cpu{};
    // Cycles per access by region; entries 8-14 follow WAITCNT.
    std::array<int32_t, 16> AccessCost32{1, 1, 6, 1, 1, 2, 2, 1, 4, 4, 4, 4, 4, 4, 6, 1};
    std::array<int32_t, 16> AccessCost16{1, 1, 3, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 6, 1};
    Halt HaltState = Halt::Running;

    // ---- time: the slice clock, the scanline driver, the timers (machine/) ----
    SliceClock Clock;
    TimerBlock TimerState;
    // Frames to skip before the next drawn one; 0 while a frame is drawn.
    uint32_t FrameSkipCount = 0;
    // 0-7, advanced once per frame; autofire keys read released in phases 4-7.
    uint32_t AutoFirePhase = 0;
    // Vertical blanks since the game started.
    uint32_t FrameCount = 0;
    // Set by the scanline driver when it has presented a frame; RunFrame
    // returns at the end of that slice.
    bool FramePresented = false;

    // ---- DMA (machine/dma.h) ----
    DmaBlock Dma;

    // ---- video state derived from the registers, and the picture (video/) ----
    std::array<uint32_t, 4> BgOrderList{};
    std::array<AffineBackground, 2> AffineState{};
    BlendFactors BlendCoefficients{};
    uint8_t LayerHideMask = 0;
    LineBuffers Lines;
    LineSprites Sprites;
    std::array<uint16_t, SurfaceWidth * SurfaceHeight> FrameSurface{};

    // ---- the cartridge: image, backup chips, clock (machine/backup.h, machine/rtc.h) ----
    std::unique_ptr<uint8_t[]> RomImage;
    int32_t RomSize = 0;      // the file length rounded up to 16 KB
    bool BiosLoaded = false;  // "GBA.ROM" supplied exactly 16384 bytes
    BackupState Backup{};
    FlashState Flash{};
    EepromState Eeprom{};
    BackupBus BackupWindow;
    ClockState RealTimeClock{};
    ClockPortShadow ClockPort;
    // The host's time as seconds since 1970-01-01 00:00 UTC; tests replace it.
    int64_t (*ClockHostTime)() = SystemClockTime;

    // ---- sound (sound/) ----
    std::array<uint8_t, SoundRegisterCount> SoundRegs{};
    SoundChipState SoundChip;
    SampleChannelState SampleChannels;
    SampleStream SampleLevels;
    SoundDeviceState SoundDevice;
    SoundDriverTable SoundDriver;
    MidiLogState MidiLog;

    // ---- the game run (game/) ----
    GameSettings Settings;
    // Diagnostic messages on standard output, selected by bit (game/settings.h).
    uint32_t Verbose = 0;
    // Where the BIOS image is looked for: "GBA.ROM" in the current directory
    // unless a front-end names another file.
    const char* BiosPath = "GBA.ROM";
    // Battery save and snapshot file names of the running game; empty when
    // no game runs.
    std::string SaveFileName;
    std::string StateFileName;
    // The battery file read at game start: SaveFileName, or a newer copy in
    // the other place a save may be kept (game/save_place.h).
    std::string SaveReadFileName;
    // Clearing it skips the automatic load of StateFileName at game start.
    bool LoadDefaultState = true;
    // Raised by the front-end to end the game run at the next vertical blank.
    bool StopRequested = false;
    // The battery file: whether it is used at all, the claim on it, and the
    // watch that writes it once the game's save has settled.
    bool BatteryFileEnabled = true;
    BatteryClaim Battery;
    BatteryWatch BatteryChanges;
    // Stores on the cartridge bus (0x08000000 and up), where the backup
    // chips and the clock's port lie, and snapshot loads: the battery watch
    // looks at the chips only when this moved.
    uint32_t CartridgeStores = 0;
    std::string BatteryRefusal;

    // ---- the front-end's door (machine/host.h) ----
    HostInterface Host;

    // ---- the bus: page maps and the memories behind them ----
    PageMaps PageTable{};
    std::array<uint8_t, 16 * KB> Bios{};
    std::array<uint8_t, 256 * KB> Ewram{};
    std::array<uint8_t, 32 * KB> Iwram{};
    std::array<uint8_t, 16 * KB> Io{};  // the I/O registers as the game reads them
    std::array<uint8_t, 16 * KB> Palette{};
    std::array<uint8_t, 96 * KB> Vram{};
    std::array<uint8_t, 16 * KB> Oam{};
    // Behind every write to read-only memory or to nothing.
    std::array<uint8_t, PageSize> DummyRam{};
    // Read behind the pages where nothing answers a load that the CPU's
    // open-bus path does not catch (0x10000000 and up, the VRAM bank that
    // bitmap modes hide): always zero, whatever was stored into nothing.
    std::array<uint8_t, PageSize> ZeroPage{};
    // The cartridge bus past the end of the image: with no chip answering,
    // a load reads back the low address lines it drove, halfword n of every
    // 128 KB reading n (the game start maps it).
    std::array<uint8_t, 128 * KB> CartridgeBusEcho{};
    // The BIOS opcode the CPU fetched last, which is all a load from the BIOS
    // area returns to code running outside it, and R14 of IRQ mode when it
    // was noted (machine/open_bus.h).
    uint32_t BiosLatch = 0;
    uint32_t InterruptReturnAtLatch = 0;
    // Each DMA channel's last word read (machine/dma.h).
    DmaLatches DmaLatch{};
    // Static RAM or FLASH contents (a 64 KB chip uses the first half, a
    // 32 KB one the first quarter), and the EEPROM's 64-bit blocks.
    std::array<uint8_t, BackupMemorySize> BackupMemory{};
    std::array<uint8_t, EepromLargeSize> EepromMemory{};

    Machine() = default;
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
};

// A new machine, powered off (no game), or null when memory runs out.
std::unique_ptr<Machine> CreateMachine();
