#include "machine/dma.h"

#include <array>
#include <cstdio>

#include "game/settings.h"
#include "machine/backup.h"
#include "machine/bus.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "machine/machine.h"

namespace {

// Address lines each channel drives, and the width of its count. Channel 0
// reaches only internal memory, channel 3 alone can write the cartridge
// space and move up to 65536 elements.
struct DmaLimits {
    uint32_t sourceMask;
    uint32_t destinationMask;
    uint32_t countMask;
};

constexpr std::array<DmaLimits, 4> ChannelLimits{{
    {0x07FFFFFF, 0x07FFFFFF, 0x3FFF},
    {0x0FFFFFFF, 0x07FFFFFF, 0x3FFF},
    {0x0FFFFFFF, 0x07FFFFFF, 0x3FFF},
    {0x0FFFFFFF, 0x0FFFFFFF, 0xFFFF},
}};

constexpr std::array<const char*, 4> TimingNames{"Immediate", "VBlank", "HBlank", "Special"};

void LoadCounters(Machine& m, uint32_t channel, uint32_t block) {
    ChannelCounters& counters = m.Dma.Counters[channel];
    counters.Source = counters.LoadedSource = ReadIoWord(m, block);
    counters.Destination = counters.LoadedDestination = ReadIoWord(m, block + 4);
}

uint32_t ChannelBlock(uint32_t channel) { return Io::DMA0SAD + 12 * channel; }

// Sources below external work RAM (the BIOS and the unused area behind it)
// give DMA nothing to read.
constexpr uint32_t NoSourceEnd = 0x02000000;

// One transfer. A sound FIFO refill (`fifo`) always moves four words to a
// fixed destination, whatever the count, size and destination control say.
void Transfer(Machine& m, uint32_t channel, bool fifo) {
    const uint32_t busyBit = 1u << channel;
    if (m.Dma.RunningChannels & busyBit) return;
    m.Dma.RunningChannels |= busyBit;

    const uint32_t block = ChannelBlock(channel);
    const DmaLimits& limits = ChannelLimits[channel];
    const uint32_t countLow = ReadIoHalf(m, block + 8);
    const uint32_t control = ReadIoHalf(m, block + 10);

    ChannelCounters& counters = m.Dma.Counters[channel];
    if (ReadIoWord(m, block) != counters.LoadedSource || ReadIoWord(m, block + 4) != counters.LoadedDestination)
        LoadCounters(m, channel, block);
    const bool wide = fifo || (control & 0x400);
    const uint32_t unit = wide ? 4 : 2;
    // Cut the addresses to the lines the channel drives, aligned to the
    // element size.
    const uint32_t destinationControl = fifo ? 2 : (control >> 5) & 3;
    uint32_t source = counters.Source & (limits.sourceMask + 1 - unit);
    uint32_t destination =
        (destinationControl == 3 ? counters.LoadedDestination : counters.Destination) & (limits.destinationMask + 1 - unit);
    // A count of 0 means the largest transfer the channel can make.
    const uint32_t count = fifo ? 4 : countLow ? countLow & limits.countMask : limits.countMask + 1;

    // Destination control 3 increments during the transfer and reloads the
    // programmed address for the next one; source control 3 is fixed.
    const uint32_t sourceControl = (control >> 7) & 3;
    constexpr auto Step = [](uint32_t addressControl, uint32_t size) -> uint32_t {
        return addressControl == 1 ? 0u - size : addressControl == 2 ? 0u : size;
    };
    const uint32_t destinationStep = Step(destinationControl, unit);
    // The cartridge is read in sequence only: a source there counts up
    // whatever the source control says.
    const bool sourceInCartridge = source - 0x08000000u < 0x06000000u;
    const uint32_t sourceStep = sourceInCartridge ? unit : sourceControl == 3 ? 0 : Step(sourceControl, unit);
    const uint32_t timing = (control >> 12) & 3;

    if (m.Verbose & VerboseDma) {
        std::printf("DMA%d: %08X-%08X -> %08X-%08X (%dbit,%s%s%s) at line %d\n", int(channel), source,
                    source + (count - 1) * sourceStep, destination, destination + (count - 1) * destinationStep,
                    wide ? 32 : 16, TimingNames[timing], (control & 0x4000) ? ",IRQ" : "",
                    (control & 0x200) ? ",Repeat" : "", int(ReadIoHalf(m, Io::VCOUNT)));
    }

    // A request to the serial EEPROM comes in one transfer, whose length
    // tells the chip's address width.
    if (!wide && IsEepromAddress(m.BackupWindow, destination)) EepromTransferStarts(m, count);

    uint32_t& latch = m.DmaLatch[channel];
    if (wide) {
        for (uint32_t i = 0; i < count; ++i) {
            if (source >= NoSourceEnd) latch = BusRead32(m, source);
            BusWrite32(m, destination, latch);
            source = (source + sourceStep) & limits.sourceMask;
            destination = (destination + destinationStep) & limits.destinationMask;
        }
    } else {
        for (uint32_t i = 0; i < count; ++i) {
            if (source >= NoSourceEnd) latch = BusRead16(m, source) * 0x00010001u;
            BusWrite16(m, destination, uint16_t(latch >> (8 * (destination & 2))));
            source = (source + sourceStep) & limits.sourceMask;
            destination = (destination + destinationStep) & limits.destinationMask;
        }
    }

    if (control & 0x4000) RaiseInterrupt(m, uint16_t(IrqDma0 << channel));

    counters.Source = source;
    counters.Destination = destination;
    if (!(control & 0x200) || timing == uint32_t(DmaTiming::Immediate))
        StoreIoHalf(m, block + 10, uint16_t(ReadIoHalf(m, block + 10) & 0x7FFF));

    m.Dma.RunningChannels &= ~busyBit;
}

}  // namespace

void StartDmaChannel(Machine& m, uint32_t channel) { LoadCounters(m, channel, ChannelBlock(channel)); }

void RunDma(Machine& m, uint32_t channel) { Transfer(m, channel, false); }

void RunFifoDma(Machine& m, uint32_t fifoAddress) {
    for (uint32_t channel = 1; channel <= 2; ++channel) {
        const uint32_t block = ChannelBlock(channel);
        if ((ReadIoHalf(m, block + 10) & DmaTriggerMask) != DmaArmed(DmaTiming::Special)) continue;
        if ((ReadIoWord(m, block + 4) & ChannelLimits[channel].destinationMask) == fifoAddress)
            Transfer(m, channel, true);
    }
}
