#include "cpu/bios_decompress.h"

#include "machine/bus.h"
#include "machine/machine.h"

namespace {

// Where decoded bytes go. In bytes, each stored as it comes; in halfwords
// (the VRAM functions: video memory takes no byte stores), two bytes
// gathered and stored at the even address, so a last odd byte is never
// stored.
struct ByteOutput {
    uint32_t address;
    OutputUnit unit;
    uint8_t pending = 0;
};

void Put(Machine& m, ByteOutput& out, uint8_t byte) {
    if (out.unit == OutputUnit::Byte)
        BusWrite8(m, out.address, byte);
    else if (out.address & 1)
        BusWrite16(m, out.address - 1, uint16_t(out.pending | byte << 8));
    else
        out.pending = byte;
    ++out.address;
}

}  // namespace

void Lz77Unpack(Machine& m, uint32_t source, uint32_t destination, int32_t size, OutputUnit unit) {
    ByteOutput out{destination, unit};
    while (size > 0) {
        const uint8_t flags = BusRead8(m, source++);
        for (int bit = 7; bit >= 0 && size > 0; --bit) {
            if (!((flags >> bit) & 1)) {
                Put(m, out, BusRead8(m, source++));
                --size;
                continue;
            }
            const uint32_t high = BusRead8(m, source++);
            const uint32_t low = BusRead8(m, source++);
            const uint32_t reference = high << 8 | low;
            int32_t length = int32_t(reference >> 12) + 3;
            const uint32_t distance = (reference & 0xFFF) + 1;
            // Byte by byte from memory, so a reference that reaches into
            // the bytes it is producing repeats them, as the hardware's
            // decoder does for runs (in halfwords, a byte still waiting
            // for its partner reads as what memory holds).
            for (; length > 0 && size > 0; --length, --size) Put(m, out, BusRead8(m, out.address - distance));
        }
    }
}

void RunLengthUnpack(Machine& m, uint32_t source, uint32_t destination, int32_t size, OutputUnit unit) {
    ByteOutput out{destination, unit};
    while (size > 0) {
        const uint8_t flag = BusRead8(m, source++);
        if (flag & 0x80) {
            const uint8_t value = BusRead8(m, source++);
            for (int32_t run = (flag & 0x7F) + 3; run > 0 && size > 0; --run, --size) Put(m, out, value);
        } else {
            for (int32_t run = (flag & 0x7F) + 1; run > 0 && size > 0; --run, --size)
                Put(m, out, BusRead8(m, source++));
        }
    }
}

void HuffmanUnpack(Machine& m, uint32_t source, uint32_t destination, int32_t size, uint32_t bits) {
    // Units of zero bits would never fill an output word: nothing to decode.
    if (bits == 0) return;
    const uint32_t unitMask = (1u << bits) - 1;

    // A valid tree table is at most 512 bytes and every step down the tree
    // moves at least one node pair forward, so a walk longer than 256 steps
    // without reaching data means the table is broken (a loop in garbage
    // memory); decoding stops there rather than running forever.
    constexpr int MaxTreeDepth = 256;

    const uint32_t treeSize = BusRead8(m, source);
    const uint8_t root = BusRead8(m, source + 1);
    uint32_t stream = source + 2 * treeSize + 2;

    uint32_t node = source;  // even address of the current node pair
    uint8_t value = root;
    int depth = 0;
    // Units of up to 15 bits may straddle two output words, hence 64 bits.
    uint64_t output = 0;
    uint32_t outputBits = 0;

    while (size > 0) {
        const uint32_t word = BusRead32(m, stream);
        stream += 4;
        for (int bit = 31; bit >= 0 && size > 0; --bit) {
            const uint32_t direction = (word >> bit) & 1;
            const uint32_t children = node + (value & 0x3Fu) * 2 + 2;
            const uint8_t child = BusRead8(m, children + direction);
            // Bit 7 of a node marks its 0-child as data, bit 6 its 1-child.
            const bool isData = (value >> (7 - direction)) & 1;
            if (!isData) {
                node = children;
                value = child;
                if (++depth > MaxTreeDepth) return;
                continue;
            }
            output |= uint64_t(child & unitMask) << outputBits;
            outputBits += bits;
            node = source;
            value = root;
            depth = 0;
            while (outputBits >= 32 && size > 0) {
                BusWrite32(m, destination, uint32_t(output));
                destination += 4;
                size -= 4;
                output >>= 32;
                outputBits -= 32;
            }
        }
    }
}

void BitUnpack(Machine& m, uint32_t source, uint32_t destination, uint32_t length, uint32_t sourceBits,
               uint32_t destinationBits, uint32_t offset) {
    // Other widths are not supported by the BIOS; these keep the loops finite.
    if (sourceBits == 0 || sourceBits > 8 || destinationBits == 0 || destinationBits > 32) return;
    const bool offsetZeros = offset >> 31;
    offset &= 0x7FFFFFFF;
    const uint32_t unitMask = (1u << sourceBits) - 1;
    uint32_t output = 0;
    uint32_t outputBits = 0;
    for (; length > 0; --length) {
        const uint32_t byte = BusRead8(m, source++);
        for (uint32_t bit = 0; bit < 8; bit += sourceBits) {
            uint32_t unit = (byte >> bit) & unitMask;
            if (unit != 0 || offsetZeros) unit += offset;
            output |= unit << outputBits;
            outputBits += destinationBits;
            if (outputBits >= 32) {
                BusWrite32(m, destination, output);
                destination += 4;
                output = 0;
                outputBits = 0;
            }
        }
    }
}

void DiffUnfilter(Machine& m, uint32_t source, uint32_t destination, int32_t size, DiffUnit unit) {
    if (size <= 0) return;
    if (unit == DiffUnit::Halfword) {
        uint16_t value = BusRead16(m, source);
        for (;;) {
            BusWrite16(m, destination, value);
            destination += 2;
            if ((size -= 2) <= 0) return;
            source += 2;
            value = uint16_t(value + BusRead16(m, source));
        }
    }
    uint8_t value = BusRead8(m, source++);
    for (;;) {
        if (unit == DiffUnit::Byte) {
            BusWrite8(m, destination++, value);
            if (--size <= 0) return;
        } else {
            const uint8_t next = uint8_t(value + BusRead8(m, source++));
            BusWrite16(m, destination, uint16_t(value | next << 8));
            destination += 2;
            if ((size -= 2) <= 0) return;
            value = next;
        }
        value = uint8_t(value + BusRead8(m, source++));
    }
}
