#include "game/snapshot.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "cpu/access_cost.h"
#include "cpu/cpu_state.h"
#include "game/battery.h"
#include "game/file_access.h"
#include "game/game.h"
#include "game/header.h"
#include "game/replace_file.h"
#include "game/save_place.h"
#include "game/snapshot_chips.h"
#include "machine/backup.h"
#include "machine/display_registers.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "machine/machine.h"
#include "machine/page_table.h"
#include "machine/timers.h"
#include "machine/video_memory.h"
#include "sound/sample_channels.h"

namespace {

constexpr uint8_t Magic[4] = {'S', 'T', 'D', 0x1A};
constexpr uint32_t HeaderSize = 16;

struct SavedMemory {
    uint32_t busBase;
    uint32_t size;
};

// The writable memories in file order, found through the write map.
constexpr SavedMemory SavedMemories[] = {
    {0x03000000, 0x8000},   // internal work RAM
    {0x02000000, 0x40000},  // external work RAM
    {0x04000000, 0x4000},   // I/O registers
    {0x05000000, 0x4000},   // palette RAM block
    {0x06000000, 0x18000},  // video RAM
    {0x07000000, 0x4000},   // sprite attribute RAM block
    {0x0E000000, 0x10000},  // backup RAM
};

constexpr uint32_t CpuOffset = HeaderSize;
constexpr uint32_t FlashOffset = CpuOffset + sizeof(CpuState);
constexpr uint32_t EepromOffset = FlashOffset + sizeof(FlashState);
constexpr uint32_t RegisterOffset = EepromOffset + sizeof(EepromState);
constexpr uint32_t MemoryOffset = RegisterOffset + sizeof(RegisterBlock);

constexpr uint32_t MemoriesSize = [] {
    uint32_t total = 0;
    for (const SavedMemory& memory : SavedMemories) total += memory.size;
    return total;
}();
static_assert(MemoryOffset == 1784);
static_assert(MemoryOffset + MemoriesSize == SnapshotSize);

// The offset of one memory's image in the file.
constexpr uint32_t MemoryImageOffset(uint32_t busBase) {
    uint32_t offset = MemoryOffset;
    for (const SavedMemory& memory : SavedMemories) {
        if (memory.busBase == busBase) return offset;
        offset += memory.size;
    }
    return 0;
}
static_assert(MemoryImageOffset(0x04000000) == 296696 && MemoryImageOffset(0x06000000) == 329464);

// Word numbers in RegisterBlock.
constexpr size_t HaltWord = 0, EvyWord = 1, EvaWord = 2, EvbWord = 3, BgOrderWord = 4;
constexpr size_t PeriodWord = 8, CountdownWord = 12, AffineWord = 16;
constexpr size_t AffineWords = sizeof(AffineBackground) / 4;
static_assert(AffineWords == 8);

// One file image, built for saving or read for loading: the format-2
// layout, then the chip block when there is one.
constexpr uint32_t ImageSize = SnapshotSize + ChipBlockSize;
std::unique_ptr<uint8_t[]> NewImage() { return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[ImageSize]()); }
uint8_t* ChipBlockOf(uint8_t* image) { return image + SnapshotSize; }

uint8_t* MemoryBlock(const Machine& m, uint32_t busBase) { return m.PageTable.Write[busBase >> PageShift]; }

bool MachineIsRunning(const Machine& m) {
    if (!m.RomImage) return false;
    for (const SavedMemory& memory : SavedMemories) {
        const uint8_t* block = MemoryBlock(m, memory.busBase);
        if (!block || block == m.DummyRam.data()) return false;
    }
    return true;
}

// ---- the checks a loaded file must pass ----

bool TimerIsValid(int32_t period, int32_t countdown) {
    const bool knownPeriod = period == 0 || period == 1 || period == 64 || period == 256 || period == 1024;
    return knownPeriod && countdown >= 0 && countdown <= period;
}

// Each background exactly once, in drawing order, with the priority its
// own BGxCNT bits (in the entry and in the saved registers) give it.
bool BgOrderIsValid(const RegisterBlock& block, const uint8_t* ioRegisters) {
    uint32_t seen = 0;
    uint32_t previous = 0;
    for (size_t i = 0; i < 4; ++i) {
        const uint32_t entry = uint32_t(block[BgOrderWord + i]);
        const uint32_t background = BgEntryNumber(entry);
        const uint32_t control = LoadLittle<uint16_t>(ioRegisters + Io::BG0CNT + 2 * background);
        if (seen & (1u << background)) return false;
        seen |= 1u << background;
        if (BgEntryPriority(entry) != (entry & 3) || BgEntryPriority(entry) != (control & 3)) return false;
        const uint32_t rank = entry >> 28;  // priority, then background number
        if (i > 0 && rank > previous) return false;
        previous = rank;
    }
    return true;
}

// What the registers can give: 28-bit reference points, 16-bit steps, and
// current points at most a frame's worth of steps (160 lines) away from a
// reference point. Anything larger would overflow while a line is drawn.
bool AffineIsValid(const RegisterBlock& block) {
    constexpr int32_t ReferenceLimit = 1 << 27;
    constexpr int32_t CurrentLimit = 1 << 28;
    for (size_t bg = 0; bg < 2; ++bg) {
        AffineBackground affine;
        std::memcpy(&affine, block.data() + AffineWord + AffineWords * bg, sizeof affine);
        for (int32_t reference : {affine.RefX, affine.RefY})
            if (reference < -ReferenceLimit || reference >= ReferenceLimit) return false;
        for (int32_t current : {affine.CurX, affine.CurY})
            if (current < -CurrentLimit || current >= CurrentLimit) return false;
        for (int32_t step : {affine.PA, affine.PB, affine.PC, affine.PD})
            if (step < -0x8000 || step > 0x7FFF) return false;
    }
    return true;
}

bool HasChipBlock(const uint8_t* image) { return image[4] == SnapshotChipsVersion; }

bool SnapshotIsValid(const Machine& m, uint8_t* image, uint32_t length) {
    if (std::memcmp(image, Magic, sizeof Magic) != 0) return false;
    if (image[4] != SnapshotVersion && !HasChipBlock(image)) return false;
    if (image[5] != m.RomImage[HeaderComplementOffset]) return false;
    if (HasChipBlock(image) && (length < SnapshotSize + ChipBlockSize || !ChipBlockIsValid(m, ChipBlockOf(image))))
        return false;
    const BackupState chips = ChipsAfterLoad(m, HasChipBlock(image) ? ChipBlockOf(image) : nullptr);

    CpuState cpu;
    std::memcpy(&cpu, image + CpuOffset, sizeof cpu);
    if (cpu.SliceLength != 272 && cpu.SliceLength != 960) return false;
    // A slice's cycle count lies between its length and the debt of the
    // longest BIOS call (a 65536-word CpuSet, about 1.2 million cycles). A
    // count far above would run billions of cycles without a scanline; one
    // far below would keep the CPU stopped for minutes.
    constexpr int32_t MaxCycleDebt = 1 << 22;
    const int32_t slice = int32_t(cpu.SliceLength);
    if (cpu.SliceBreak > 1) return false;
    for (int32_t cycles : {cpu.Cycles, cpu.SavedCycles})
        if (cycles > slice || cycles < -MaxCycleDebt) return false;

    FlashState flash;
    std::memcpy(&flash, image + FlashOffset, sizeof flash);
    // Only a 128 KB chip has a bank to select.
    const uint8_t lastCommand = chips.Type == SaveType::Flash128 ? FlashLastState : FlashProgram;
    if (flash.Command > lastCommand || flash.IdentifyMode > 1) return false;

    EepromState eeprom;
    std::memcpy(&eeprom, image + EepromOffset, sizeof eeprom);
    const uint8_t width = chips.EepromWidth ? chips.EepromWidth : EepromSmallWidth;
    const uint32_t eepromBytes =
        chips.Type == SaveType::Eeprom && width == EepromLargeWidth ? EepromLargeSize : EepromSmallSize;
    if (eeprom.CommandBits > width + 1 || eeprom.WriteBits > EepromDataBitCount ||
        eeprom.DummyBits > EepromDummyBitCount)
        return false;
    // Requests leave the address on a block boundary, at most just past the
    // last block; a write in progress needs room for its block.
    if (eeprom.Address % 8 != 0 || eeprom.Address > eepromBytes) return false;
    if (eeprom.WriteBits != 0 && eeprom.Address > eepromBytes - 8) return false;

    RegisterBlock block;
    std::memcpy(block.data(), image + RegisterOffset, sizeof block);
    if (block[HaltWord] < 0 || block[HaltWord] > 2) return false;
    for (size_t word : {EvyWord, EvaWord, EvbWord})
        if (block[word] < 0 || block[word] > 16) return false;
    for (size_t timer = 0; timer < 4; ++timer)
        if (!TimerIsValid(block[PeriodWord + timer], block[CountdownWord + timer])) return false;
    if (!AffineIsValid(block)) return false;
    return BgOrderIsValid(block, image + MemoryImageOffset(0x04000000));
}

// Reads the whole file into image and returns its length, at most the
// image's; 0 for a short, unreadable or corrupt file. Reading one byte past
// the end makes zlib check the gzip trailer, so damage anywhere in the
// stream is seen. Bytes after the layout are ignored.
uint32_t ReadSnapshotFile(Machine& m, const char* fileName, uint8_t* image) {
    int openError = 0;
    const int fd = OpenRegularFile(fileName, openError);
    if (fd < 0) {
        // A missing snapshot is the usual case; anything else is worth a word.
        if (openError != ENOENT) ReportFileProblem(m.Host, "read", fileName, openError);
        return 0;
    }
    gzFile file = gzdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return 0;
    }
    gzbuffer(file, 128 * 1024);
    uint32_t total = 0;
    while (total < ImageSize) {
        const int count = gzread(file, image + total, unsigned(ImageSize - total));
        if (count <= 0) break;
        total += uint32_t(count);
    }
    // zlib reports a stream cut short only through gzerror.
    uint8_t probe;
    int error = Z_OK;
    const bool clean = total >= SnapshotSize && gzread(file, &probe, 1) >= 0 && (gzerror(file, &error), error == Z_OK);
    gzclose(file);
    return clean ? total : 0;
}

void ApplyRegisterBlock(Machine& m, const RegisterBlock& block) {
    m.HaltState = Halt(block[HaltWord]);
    m.BlendCoefficients.EVY = block[EvyWord];
    m.BlendCoefficients.EVA = block[EvaWord];
    m.BlendCoefficients.EVB = block[EvbWord];
    for (size_t i = 0; i < 4; ++i) m.BgOrderList[i] = uint32_t(block[BgOrderWord + i]);
    for (size_t timer = 0; timer < 4; ++timer) {
        m.TimerState.Timers[timer].Period = block[PeriodWord + timer];
        m.TimerState.Timers[timer].Countdown = block[CountdownWord + timer];
    }
    for (size_t bg = 0; bg < 2; ++bg)
        std::memcpy(&m.AffineState[bg], block.data() + AffineWord + AffineWords * bg, sizeof(AffineBackground));
}

void ApplySnapshot(Machine& m, uint8_t* image) {
    std::memcpy(&m.Cpu, image + CpuOffset, sizeof m.Cpu);
    std::memcpy(&m.Flash, image + FlashOffset, sizeof m.Flash);
    std::memcpy(&m.Eeprom, image + EepromOffset, sizeof m.Eeprom);
    // The record's data field is only the file's copy of the EEPROM's start.
    std::memcpy(m.EepromMemory.data(), m.Eeprom.Data, sizeof m.Eeprom.Data);
    std::memset(m.Eeprom.Data, 0, sizeof m.Eeprom.Data);
    // The chip's window takes the backup block below; the chip block, when
    // there is one, then gives the whole chip.
    m.Backup = ChipsAfterLoad(m, HasChipBlock(image) ? ChipBlockOf(image) : nullptr);
    MapBackupMemory(m);
    uint32_t offset = MemoryOffset;
    for (const SavedMemory& memory : SavedMemories) {
        std::memcpy(MemoryBlock(m, memory.busBase), image + offset, memory.size);
        offset += memory.size;
    }
    RegisterBlock block;
    std::memcpy(block.data(), image + RegisterOffset, sizeof block);
    ApplyRegisterBlock(m, block);
    if (HasChipBlock(image)) ApplyChipBlock(m, ChipBlockOf(image));
    ++m.CartridgeStores;  // the chips may hold another save now
    // VRAM's mirrors follow the restored display mode.
    MapVram(m);
    // The access costs follow WAITCNT, which the snapshot has just replaced.
    UpdateWaitStates(m, ReadIoHalf(m, Io::WAITCNT));
}

}  // namespace

RegisterBlock BuildRegisterBlock(const Machine& m) {
    RegisterBlock block{};
    block[HaltWord] = int32_t(m.HaltState);
    block[EvyWord] = m.BlendCoefficients.EVY;
    block[EvaWord] = m.BlendCoefficients.EVA;
    block[EvbWord] = m.BlendCoefficients.EVB;
    for (size_t i = 0; i < 4; ++i) block[BgOrderWord + i] = int32_t(m.BgOrderList[i]);
    for (size_t timer = 0; timer < 4; ++timer) {
        block[PeriodWord + timer] = m.TimerState.Timers[timer].Period;
        block[CountdownWord + timer] = m.TimerState.Timers[timer].Countdown;
    }
    for (size_t bg = 0; bg < 2; ++bg)
        std::memcpy(block.data() + AffineWord + AffineWords * bg, &m.AffineState[bg], sizeof(AffineBackground));
    return block;
}

bool SaveState(Machine& m, const char* fileName) {
    if (!MachineIsRunning(m)) return false;
    const std::unique_ptr<uint8_t[]> buffer = NewImage();
    if (!buffer) return false;
    uint8_t* const image = buffer.get();
    std::memset(image, 0, HeaderSize);
    std::memcpy(image, Magic, sizeof Magic);
    const bool withChips = NeedsChipBlock(m);
    image[4] = withChips ? SnapshotChipsVersion : SnapshotVersion;
    image[5] = m.RomImage[HeaderComplementOffset];
    std::memcpy(image + CpuOffset, &m.Cpu, sizeof m.Cpu);
    FlashState flash = m.Flash;
    flash.PointerSlot = 0;
    std::memcpy(image + FlashOffset, &flash, sizeof flash);
    EepromState eeprom = m.Eeprom;
    eeprom.PointerSlot = 0;
    std::memcpy(eeprom.Data, m.EepromMemory.data(), sizeof eeprom.Data);
    std::memcpy(image + EepromOffset, &eeprom, sizeof eeprom);
    const RegisterBlock block = BuildRegisterBlock(m);
    std::memcpy(image + RegisterOffset, block.data(), sizeof block);
    uint32_t offset = MemoryOffset;
    for (const SavedMemory& memory : SavedMemories) {
        std::memcpy(image + offset, MemoryBlock(m, memory.busBase), memory.size);
        offset += memory.size;
    }
    if (withChips) WriteChipBlock(m, ChipBlockOf(image));
    const uint32_t length = SnapshotSize + (withChips ? ChipBlockSize : 0);

    // One gzip stream, compressed in memory so that the file is written
    // (and replaced) in one piece.
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    const uLong bound = deflateBound(&stream, length);
    auto* packed = static_cast<uint8_t*>(std::malloc(bound));
    bool ok = packed != nullptr;
    if (ok) {
        stream.next_in = image;
        stream.avail_in = length;
        stream.next_out = packed;
        stream.avail_out = uInt(bound);
        ok = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    }
    const size_t packedSize = stream.total_out;
    deflateEnd(&stream);
    const bool existed = FileExists(fileName);
    if (ok) {
        const FileResult written = ReplaceFile(fileName, {std::span<const uint8_t>(packed, packedSize)});
        if (!written) ReportFileProblem(m.Host, "write", fileName, written.error);
        if (written) NoteNewPerUserFile(m, fileName, existed);
        ok = bool(written);
    }
    std::free(packed);
    return ok;
}

bool LoadState(Machine& m, const char* fileName) {
    if (!MachineIsRunning(m)) return false;
    const std::unique_ptr<uint8_t[]> buffer = NewImage();
    if (!buffer) return false;
    uint8_t* const image = buffer.get();
    const uint32_t length = ReadSnapshotFile(m, fileName, image);
    if (length == 0 || !SnapshotIsValid(m, image, length)) return false;
    ApplySnapshot(m, image);
    // The FIFOs of the sample channels are not part of a snapshot: they start
    // empty, and the game's DMA refills them within a frame.
    ResetSampleChannels(m);
    return true;
}
