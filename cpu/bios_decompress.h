#pragma once
// The BIOS decompressors and unpackers. Each reads its stream at source
// (for the decompressors and filters, the byte after the 4-byte header)
// and writes its output at destination, all through the bus functions: the
// output may go to any memory, and a destination in the I/O area reaches
// the registers.

#include <cstdint>

struct Machine;

// The byte decoders' output: stored byte by byte (the WRAM functions), or
// two bytes to a halfword store (the VRAM functions, for video memory,
// which takes no byte stores; an odd last byte is not stored).
enum class OutputUnit { Byte, Halfword };

// LZ77: groups of eight items under a flag byte (bit 7 first); a 0 bit is a
// literal byte, a 1 bit a two-byte back reference of 3-18 bytes up to 4096
// bytes back, read from the output in memory. Overlapping references
// repeat bytes.
void Lz77Unpack(Machine& m, uint32_t source, uint32_t destination, int32_t size, OutputUnit unit);

// Run-length: a flag byte with bit 7 set repeats the next byte
// (flag AND 0x7F) + 3 times; otherwise (flag AND 0x7F) + 1 literal bytes
// follow.
void RunLengthUnpack(Machine& m, uint32_t source, uint32_t destination, int32_t size, OutputUnit unit);

// Huffman: a tree table of node pairs followed by a stream of 32-bit words
// read from their top bit down; each decoded unit of `bits` bits is packed
// into the output from bit 0 upward and whole words are written, so a size
// that is not a multiple of 4 is rounded up.
void HuffmanUnpack(Machine& m, uint32_t source, uint32_t destination, int32_t size, uint32_t bits);

// BitUnPack: widens each unit of sourceBits (1, 2, 4 or 8, from bit 0 of
// each source byte up) to destinationBits (1-32) and packs the results from
// bit 0 of 32-bit output words up; only whole words are written. offset
// (bits 0-30) is added to every non-zero unit, and to zero units too when
// bit 31 is set. A sum wider than the destination unit spills into the next
// one, as on the hardware.
void BitUnpack(Machine& m, uint32_t source, uint32_t destination, uint32_t length, uint32_t sourceBits,
               uint32_t destinationBits, uint32_t offset);

// Difference filters: the first unit is stored as it is, each later unit
// adds its value to the previous output (8-bit units wrap at 8 bits, 16-bit
// units at 16). Byte output goes out in bytes, or in halfwords of two bytes
// for video memory, which takes no byte stores (rounding size up to even).
enum class DiffUnit { Byte, ByteInHalfwords, Halfword };
void DiffUnfilter(Machine& m, uint32_t source, uint32_t destination, int32_t size, DiffUnit unit);
