#pragma once
// The BIOS decompressors. Each reads its compressed stream at source (the
// byte after the 4-byte header) and writes size bytes of output at
// destination, all through the bus functions: the output may go to any
// memory, and a destination in the I/O area reaches the registers.

#include <cstdint>

// LZ77: groups of eight items under a flag byte (bit 7 first); a 0 bit is a
// literal byte, a 1 bit a two-byte back reference of 3-18 bytes up to 4096
// bytes back. Overlapping references repeat bytes.
void Lz77Unpack(uint32_t source, uint32_t destination, int32_t size);

// Run-length: a flag byte with bit 7 set repeats the next byte
// (flag AND 0x7F) + 3 times; otherwise (flag AND 0x7F) + 1 literal bytes
// follow.
void RunLengthUnpack(uint32_t source, uint32_t destination, int32_t size);

// Huffman: a tree table of node pairs followed by a stream of 32-bit words
// read from their top bit down; each decoded unit of `bits` bits is packed
// into the output from bit 0 upward and whole words are written, so a size
// that is not a multiple of 4 is rounded up.
void HuffmanUnpack(uint32_t source, uint32_t destination, int32_t size, uint32_t bits);
