// Writes the test data of the BIOS decompression cartridge as an assembly
// file: a 1024-byte plain block and the same block compressed in the
// handheld BIOS's LZ77, run-length and Huffman (8-bit and 4-bit units)
// formats, each stream word-aligned with its 4-byte header.
//
//   gba_compress OUTPUT.s
//
// The plain data mixes text (long back references), runs of one byte (the
// run-length case, runs longer than the format's 130 included) and
// pseudo-random bytes, over an alphabet of at most 32 values, which keeps
// every Huffman tree offset within its 6 bits.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <queue>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t PlainSize = 1024;

// A small linear congruential generator: the same data on every build.
struct Generator {
    uint32_t state = 12345;
    uint32_t Next(uint32_t limit) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % limit;
    }
};

Bytes MakePlain() {
    static const char* const Words[] = {"the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "and", "runs"};
    static const uint8_t Alphabet[] = {'a', 'e', 'i', 'o', 'u', 'n', 's', 't', ' ', '.', 0x00, 0xFF, 0x80, 0x7F, 0x10};
    Generator random;
    Bytes plain;
    while (plain.size() < 384) {
        for (const char* c = Words[random.Next(10)]; *c; ++c) plain.push_back(uint8_t(*c));
        plain.push_back(random.Next(6) ? ' ' : '.');
    }
    plain.resize(384);
    while (plain.size() < 640) {
        const uint8_t value = Alphabet[random.Next(sizeof Alphabet)];
        const size_t length = plain.size() == 400 ? 150 : 1 + random.Next(12);
        for (size_t i = 0; i < length && plain.size() < 640; ++i) plain.push_back(value);
    }
    while (plain.size() < PlainSize) plain.push_back(Alphabet[random.Next(sizeof Alphabet)]);
    return plain;
}

void PutHeader(Bytes& out, uint32_t type, size_t size) {
    const uint32_t header = type | uint32_t(size) << 8;
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(header >> (8 * i)));
}

void PadToWord(Bytes& out) {
    while (out.size() % 4) out.push_back(0);
}

// Greedy LZ77: the longest match of 3-18 bytes within the last 4096 bytes.
// References never reach back only one byte: the BIOS's video-memory
// variant writes halfwords and cannot see the byte it has just produced.
Bytes Lz77(const Bytes& plain) {
    Bytes out;
    PutHeader(out, 0x10, plain.size());
    size_t position = 0;
    while (position < plain.size()) {
        const size_t flagsAt = out.size();
        out.push_back(0);
        for (int bit = 7; bit >= 0 && position < plain.size(); --bit) {
            size_t bestLength = 0, bestDistance = 0;
            for (size_t distance = 2; distance <= 4096 && distance <= position; ++distance) {
                size_t length = 0;
                while (length < 18 && position + length < plain.size() &&
                       plain[position + length] == plain[position + length - distance])
                    ++length;
                if (length > bestLength) bestLength = length, bestDistance = distance;
            }
            if (bestLength >= 3) {
                out[flagsAt] |= uint8_t(1 << bit);
                const uint32_t reference = uint32_t(bestLength - 3) << 12 | uint32_t(bestDistance - 1);
                out.push_back(uint8_t(reference >> 8));
                out.push_back(uint8_t(reference));
                position += bestLength;
            } else {
                out.push_back(plain[position++]);
            }
        }
    }
    PadToWord(out);
    return out;
}

// Runs of 3-130 equal bytes become (0x80 | length - 3, value); everything
// else goes out as literal blocks of 1-128 bytes (length - 1, bytes...).
Bytes RunLength(const Bytes& plain) {
    Bytes out;
    PutHeader(out, 0x30, plain.size());
    const auto runAt = [&](size_t at) {
        size_t length = 1;
        while (length < 130 && at + length < plain.size() && plain[at + length] == plain[at]) ++length;
        return length;
    };
    size_t position = 0;
    while (position < plain.size()) {
        const size_t run = runAt(position);
        if (run >= 3) {
            out.push_back(uint8_t(0x80 | (run - 3)));
            out.push_back(plain[position]);
            position += run;
            continue;
        }
        size_t end = position;
        while (end < plain.size() && end - position < 128 && runAt(end) < 3) ++end;
        out.push_back(uint8_t(end - position - 1));
        out.insert(out.end(), plain.begin() + long(position), plain.begin() + long(end));
        position = end;
    }
    PadToWord(out);
    return out;
}

struct TreeNode {
    uint32_t weight;
    int symbol;  // -1 for an internal node
    int children[2];
};

// Huffman with `bits`-bit units. The tree table is laid out breadth first:
// the root sits in byte 1, internal node j (in breadth-first order, root 0)
// keeps its two children in node pair j + 1, and a node's offset field is
// the distance from its own pair to its children's pair, minus one.
Bytes Huffman(const Bytes& plain, uint32_t bits) {
    std::vector<uint32_t> units;
    for (uint8_t byte : plain) {
        if (bits == 8) {
            units.push_back(byte);
        } else {
            units.push_back(byte & 0xF);  // the first unit fills the low bits
            units.push_back(byte >> 4);
        }
    }

    std::vector<TreeNode> nodes;
    std::array<uint32_t, 256> frequency{};
    for (uint32_t unit : units) ++frequency[unit];
    using Entry = std::pair<uint64_t, int>;  // (weight, order) for a deterministic tree
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
    for (uint32_t symbol = 0; symbol < 256; ++symbol) {
        if (!frequency[symbol]) continue;
        nodes.push_back({frequency[symbol], int(symbol), {-1, -1}});
        queue.push({uint64_t(frequency[symbol]) << 16 | nodes.size(), int(nodes.size() - 1)});
    }
    while (queue.size() > 1) {
        const int first = queue.top().second;
        queue.pop();
        const int second = queue.top().second;
        queue.pop();
        nodes.push_back({nodes[first].weight + nodes[second].weight, -1, {first, second}});
        queue.push({uint64_t(nodes.back().weight) << 16 | nodes.size(), int(nodes.size() - 1)});
    }
    const int root = queue.top().second;

    // Breadth-first numbering of the internal nodes, and each node's pair.
    std::vector<int> order{root};
    std::vector<size_t> pairOf(nodes.size(), 0);
    for (size_t j = 0; j < order.size(); ++j)
        for (int child : nodes[order[j]].children)
            if (nodes[child].symbol < 0) {
                pairOf[child] = j + 1;
                order.push_back(child);
            }
    std::vector<size_t> number(nodes.size(), 0);
    for (size_t j = 0; j < order.size(); ++j) number[order[j]] = j;

    const auto nodeByte = [&](int node) {
        const TreeNode& n = nodes[node];
        const size_t offset = number[node] - pairOf[node];
        if (offset > 0x3F) {
            std::fprintf(stderr, "gba_compress: Huffman tree too wide\n");
            std::exit(1);
        }
        uint8_t value = uint8_t(offset);
        if (nodes[n.children[0]].symbol >= 0) value |= 0x80;
        if (nodes[n.children[1]].symbol >= 0) value |= 0x40;
        return value;
    };

    Bytes table(2 * (order.size() + 1), 0);
    if (table.size() % 4) table.resize(table.size() + 2);  // the bit stream starts on a word
    table[0] = uint8_t(table.size() / 2 - 1);
    table[1] = nodeByte(root);
    for (size_t j = 0; j < order.size(); ++j)
        for (int side = 0; side < 2; ++side) {
            const int child = nodes[order[j]].children[side];
            table[2 * (j + 1) + side] = nodes[child].symbol >= 0 ? uint8_t(nodes[child].symbol) : nodeByte(child);
        }

    // Codes: the path from the root, 0 for the first child.
    std::vector<std::string> code(256);
    std::vector<std::pair<int, std::string>> stack{{root, ""}};
    while (!stack.empty()) {
        auto [node, path] = stack.back();
        stack.pop_back();
        if (nodes[node].symbol >= 0) {
            code[nodes[node].symbol] = path;
            continue;
        }
        stack.push_back({nodes[node].children[0], path + "0"});
        stack.push_back({nodes[node].children[1], path + "1"});
    }

    Bytes out;
    PutHeader(out, 0x20 | bits, plain.size());
    out.insert(out.end(), table.begin(), table.end());
    uint32_t word = 0;
    int free = 32;
    const auto flush = [&] {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(word >> (8 * i)));
        word = 0;
        free = 32;
    };
    for (uint32_t unit : units)
        for (char c : code[unit]) {
            word |= uint32_t(c == '1') << --free;  // most significant bit first
            if (free == 0) flush();
        }
    if (free < 32) flush();
    return out;
}

void WriteBlock(std::FILE* file, const char* label, const Bytes& data) {
    std::fprintf(file, "    .balign 4\n    .global %s\n%s:\n", label, label);
    for (size_t i = 0; i < data.size(); i += 16) {
        std::fprintf(file, "    .byte ");
        for (size_t j = i; j < std::min(i + 16, data.size()); ++j)
            std::fprintf(file, "%s0x%02X", j == i ? "" : ",", data[j]);
        std::fprintf(file, "\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gba_compress OUTPUT.s\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "w");
    if (!file) {
        std::fprintf(stderr, "gba_compress: cannot write %s\n", argv[1]);
        return 1;
    }
    const Bytes plain = MakePlain();
    std::fprintf(file, "@ Generated by tools/gba_compress.cpp: do not edit.\n    .section .rodata\n");
    WriteBlock(file, "CompressPlain", plain);
    WriteBlock(file, "CompressLz77", Lz77(plain));
    WriteBlock(file, "CompressRunLength", RunLength(plain));
    WriteBlock(file, "CompressHuffman8", Huffman(plain, 8));
    WriteBlock(file, "CompressHuffman4", Huffman(plain, 4));
    return std::fclose(file) == 0 ? 0 : 1;
}
