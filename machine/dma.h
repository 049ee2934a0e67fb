#pragma once
// The four DMA channels. A transfer runs to its end in one call, at the
// moment it starts; every element goes through the bus functions, so it
// costs the CPU normal access cycles and reaches I/O registers and the
// EEPROM exactly as a CPU access would.

#include <array>
#include <cstdint>

// DMAxCNT_H start timing (bits 12-13).
enum class DmaTiming : uint32_t { Immediate = 0, Vblank = 1, Hblank = 2, Special = 3 };

// Enable bit 15 together with the start timing, the test every trigger point
// makes on DMAxCNT_H.
inline constexpr uint16_t DmaTriggerMask = 0xB000;
inline constexpr uint16_t DmaArmed(DmaTiming timing) { return uint16_t(0x8000u | uint32_t(timing) << 12); }

// The addresses a channel works with. The hardware copies the source and
// destination registers into counters of its own when the channel is
// switched on, and a transfer advances the counters, never the registers:
// a repeating channel goes on where it stopped, and switching a channel
// off and on again starts it from the programmed addresses once more
// (sound drivers restart their FIFO channels that way every frame).
struct ChannelCounters {
    uint32_t Source = 0, Destination = 0;
    // The register values the counters were loaded from. Registers that no
    // longer hold them were rewritten behind the switch (by a snapshot
    // load, or by a game while the channel ran): the counters follow.
    uint32_t LoadedSource = 0, LoadedDestination = 0;
};

// The machine's DMA: each channel's counters, and the channels whose
// transfer is in progress. A transfer that writes its own control register
// would otherwise restart itself from inside the copy loop, without end;
// such a nested start is dropped.
struct DmaBlock {
    std::array<ChannelCounters, 4> Counters{};
    uint32_t RunningChannels = 0;
};

// The last word each channel read. A channel cannot read the BIOS or the
// unused area behind it; a transfer from there moves this word (a halfword
// transfer the half its destination address selects).
using DmaLatches = std::array<uint32_t, 4>;

struct Machine;

// The channel's enable bit has just gone from 0 to 1: it takes the source
// and destination registers as its starting addresses.
void StartDmaChannel(Machine& m, uint32_t channel);

// Carries out one transfer of channel 0-3 as its registers describe it,
// from the addresses where the last one stopped (the registers themselves
// keep the programmed values), and disarms the channel unless it repeats.
// Does not look at the enable bit: its callers have.
void RunDma(Machine& m, uint32_t channel);

// A sound FIFO at `fifoAddress` (0x040000A0 or 0x040000A4) has fallen to
// half full: channel 1 and then channel 2, when armed with the "Special"
// timing and aimed at that FIFO, move four words into it. The count and the
// element size of the channel are ignored and the destination stays put.
void RunFifoDma(Machine& m, uint32_t fifoAddress);
