#include "game/snapshot.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>

#include "cpu/access_cost.h"
#include "cpu/cpu_state.h"
#include "game/battery.h"
#include "game/file_access.h"
#include "game/game.h"
#include "game/header.h"
#include "game/replace_file.h"
#include "game/snapshot_chips.h"
#include "machine/backup.h"
#include "machine/display_registers.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "machine/page_table.h"
#include "machine/timers.h"
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

// One file image, built for saving or read for loading (the core runs on
// one thread): the format-2 layout, then the chip block when there is one.
uint8_t Image[SnapshotSize + ChipBlockSize];
uint8_t* const ChipBlock = Image + SnapshotSize;

uint8_t* MemoryBlock(uint32_t busBase) { return PageTable.Write[busBase >> PageShift]; }

bool MachineIsRunning() {
    if (!RomImage) return false;
    for (const SavedMemory& memory : SavedMemories) {
        const uint8_t* block = MemoryBlock(memory.busBase);
        if (!block || block == DummyRam) return false;
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

bool HasChipBlock() { return Image[4] == SnapshotChipsVersion; }

bool SnapshotIsValid(uint32_t length) {
    if (std::memcmp(Image, Magic, sizeof Magic) != 0) return false;
    if (Image[4] != SnapshotVersion && !HasChipBlock()) return false;
    if (Image[5] != RomImage[HeaderComplementOffset]) return false;
    if (HasChipBlock() && (length < SnapshotSize + ChipBlockSize || !ChipBlockIsValid(ChipBlock))) return false;
    const BackupState chips = ChipsAfterLoad(HasChipBlock() ? ChipBlock : nullptr);

    CpuState cpu;
    std::memcpy(&cpu, Image + CpuOffset, sizeof cpu);
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
    std::memcpy(&flash, Image + FlashOffset, sizeof flash);
    // Only a 128 KB chip has a bank to select.
    const uint8_t lastCommand = chips.Type == SaveType::Flash128 ? FlashLastState : FlashProgram;
    if (flash.Command > lastCommand || flash.IdentifyMode > 1) return false;

    EepromState eeprom;
    std::memcpy(&eeprom, Image + EepromOffset, sizeof eeprom);
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
    std::memcpy(block.data(), Image + RegisterOffset, sizeof block);
    if (block[HaltWord] < 0 || block[HaltWord] > 2) return false;
    for (size_t word : {EvyWord, EvaWord, EvbWord})
        if (block[word] < 0 || block[word] > 16) return false;
    for (size_t timer = 0; timer < 4; ++timer)
        if (!TimerIsValid(block[PeriodWord + timer], block[CountdownWord + timer])) return false;
    if (!AffineIsValid(block)) return false;
    return BgOrderIsValid(block, Image + MemoryImageOffset(0x04000000));
}

// Reads the whole file into Image and returns its length, at most the
// image's; 0 for a short, unreadable or corrupt file. Reading one byte past
// the end makes zlib check the gzip trailer, so damage anywhere in the
// stream is seen. Bytes after the layout are ignored.
uint32_t ReadSnapshotFile(const char* fileName) {
    int openError = 0;
    const int fd = OpenRegularFile(fileName, openError);
    if (fd < 0) {
        // A missing snapshot is the usual case; anything else is worth a word.
        if (openError != ENOENT) ReportFileProblem("read", fileName, openError);
        return 0;
    }
    gzFile file = gzdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return 0;
    }
    gzbuffer(file, 128 * 1024);
    uint32_t total = 0;
    while (total < sizeof Image) {
        const int count = gzread(file, Image + total, unsigned(sizeof Image - total));
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

void ApplyRegisterBlock(const RegisterBlock& block) {
    HaltState = Halt(block[HaltWord]);
    BlendCoefficients.EVY = block[EvyWord];
    BlendCoefficients.EVA = block[EvaWord];
    BlendCoefficients.EVB = block[EvbWord];
    for (size_t i = 0; i < 4; ++i) BgOrderList[i] = uint32_t(block[BgOrderWord + i]);
    for (size_t timer = 0; timer < 4; ++timer) {
        TimerState[timer].Period = block[PeriodWord + timer];
        TimerState[timer].Countdown = block[CountdownWord + timer];
    }
    for (size_t bg = 0; bg < 2; ++bg)
        std::memcpy(&AffineState[bg], block.data() + AffineWord + AffineWords * bg, sizeof(AffineBackground));
}

void ApplySnapshot() {
    std::memcpy(&Cpu, Image + CpuOffset, sizeof Cpu);
    std::memcpy(&Flash, Image + FlashOffset, sizeof Flash);
    std::memcpy(&Eeprom, Image + EepromOffset, sizeof Eeprom);
    // The record's data field is only the file's copy of the EEPROM's start.
    std::memcpy(EepromMemory, Eeprom.Data, sizeof Eeprom.Data);
    std::memset(Eeprom.Data, 0, sizeof Eeprom.Data);
    // The chip's window takes the backup block below; the chip block, when
    // there is one, then gives the whole chip.
    Backup = ChipsAfterLoad(HasChipBlock() ? ChipBlock : nullptr);
    MapBackupMemory();
    uint32_t offset = MemoryOffset;
    for (const SavedMemory& memory : SavedMemories) {
        std::memcpy(MemoryBlock(memory.busBase), Image + offset, memory.size);
        offset += memory.size;
    }
    RegisterBlock block;
    std::memcpy(block.data(), Image + RegisterOffset, sizeof block);
    ApplyRegisterBlock(block);
    if (HasChipBlock()) ApplyChipBlock(ChipBlock);
    EepromBitMirror = DummyRam;
    // The access costs follow WAITCNT, which the snapshot has just replaced.
    UpdateWaitStates(ReadIoHalf(Io::WAITCNT));
}

}  // namespace

RegisterBlock BuildRegisterBlock() {
    RegisterBlock block{};
    block[HaltWord] = int32_t(HaltState);
    block[EvyWord] = BlendCoefficients.EVY;
    block[EvaWord] = BlendCoefficients.EVA;
    block[EvbWord] = BlendCoefficients.EVB;
    for (size_t i = 0; i < 4; ++i) block[BgOrderWord + i] = int32_t(BgOrderList[i]);
    for (size_t timer = 0; timer < 4; ++timer) {
        block[PeriodWord + timer] = TimerState[timer].Period;
        block[CountdownWord + timer] = TimerState[timer].Countdown;
    }
    for (size_t bg = 0; bg < 2; ++bg)
        std::memcpy(block.data() + AffineWord + AffineWords * bg, &AffineState[bg], sizeof(AffineBackground));
    return block;
}

bool SaveState(const char* fileName) {
    if (!MachineIsRunning()) return false;
    std::memset(Image, 0, HeaderSize);
    std::memcpy(Image, Magic, sizeof Magic);
    const bool withChips = NeedsChipBlock();
    Image[4] = withChips ? SnapshotChipsVersion : SnapshotVersion;
    Image[5] = RomImage[HeaderComplementOffset];
    std::memcpy(Image + CpuOffset, &Cpu, sizeof Cpu);
    FlashState flash = Flash;
    flash.PointerSlot = 0;
    std::memcpy(Image + FlashOffset, &flash, sizeof flash);
    EepromState eeprom = Eeprom;
    eeprom.PointerSlot = 0;
    std::memcpy(eeprom.Data, EepromMemory, sizeof eeprom.Data);
    std::memcpy(Image + EepromOffset, &eeprom, sizeof eeprom);
    const RegisterBlock block = BuildRegisterBlock();
    std::memcpy(Image + RegisterOffset, block.data(), sizeof block);
    uint32_t offset = MemoryOffset;
    for (const SavedMemory& memory : SavedMemories) {
        std::memcpy(Image + offset, MemoryBlock(memory.busBase), memory.size);
        offset += memory.size;
    }
    if (withChips) WriteChipBlock(ChipBlock);
    const uint32_t length = SnapshotSize + (withChips ? ChipBlockSize : 0);

    // One gzip stream, compressed in memory so that the file is written
    // (and replaced) in one piece.
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    const uLong bound = deflateBound(&stream, length);
    auto* packed = static_cast<uint8_t*>(std::malloc(bound));
    bool ok = packed != nullptr;
    if (ok) {
        stream.next_in = Image;
        stream.avail_in = length;
        stream.next_out = packed;
        stream.avail_out = uInt(bound);
        ok = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    }
    const size_t packedSize = stream.total_out;
    deflateEnd(&stream);
    ok = ok && ReplaceFile(fileName, {std::span<const uint8_t>(packed, packedSize)});
    std::free(packed);
    return ok;
}

bool LoadState(const char* fileName) {
    if (!MachineIsRunning()) return false;
    const uint32_t length = ReadSnapshotFile(fileName);
    if (length == 0 || !SnapshotIsValid(length)) return false;
    ApplySnapshot();
    // The FIFOs of the sample channels are not part of a snapshot: they start
    // empty, and the game's DMA refills them within a frame.
    ResetSampleChannels();
    return true;
}
