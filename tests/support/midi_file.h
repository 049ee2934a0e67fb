#pragma once
// A reader of format 0 Standard MIDI Files for the sound tests. It knows
// nothing of KORU's writer: header chunk, one track whose length must match
// the file, events with running status, and an end-of-track event that must
// be the file's last bytes.

#include <cstdint>
#include <string>
#include <vector>

struct MidiEvent {
    uint32_t time;  // ticks from the start
    uint8_t status;
    std::vector<uint8_t> data;  // for meta events: the type, then the contents
};

struct MidiFile {
    std::string error;  // empty when the file is well formed
    int format = -1;
    int tracks = 0;
    int division = 0;
    std::vector<MidiEvent> events;
};

inline MidiFile ParseMidiFile(const std::vector<uint8_t>& bytes) {
    MidiFile file;
    auto fail = [&](const char* why) {
        file.error = why;
        return file;
    };
    auto be = [&](size_t at, int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = value << 8 | bytes[at + i];
        return value;
    };
    if (bytes.size() < 22 || std::string(bytes.begin(), bytes.begin() + 4) != "MThd" || be(4, 4) != 6)
        return fail("no header chunk");
    file.format = int(be(8, 2));
    file.tracks = int(be(10, 2));
    file.division = int(be(12, 2));
    if (std::string(bytes.begin() + 14, bytes.begin() + 18) != "MTrk") return fail("no track chunk");
    if (be(18, 4) != bytes.size() - 22) return fail("track length does not match the file");
    size_t at = 22;
    uint32_t time = 0;
    uint8_t running = 0;
    auto quantity = [&]() {
        uint32_t value = 0;
        for (int i = 0; i < 4 && at < bytes.size(); ++i) {
            const uint8_t byte = bytes[at++];
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80)) return value;
        }
        return value;
    };
    while (at < bytes.size()) {
        time += quantity();
        if (at >= bytes.size()) return fail("event cut short");
        MidiEvent event{time, 0, {}};
        if (bytes[at] & 0x80)
            event.status = bytes[at++];
        else if (running)
            event.status = running;
        else
            return fail("data byte without a status");
        if (event.status == 0xFF) {
            running = 0;  // meta events cancel running status
            event.data.push_back(bytes[at++]);
            const uint32_t length = quantity();
            if (at + length > bytes.size()) return fail("meta event cut short");
            event.data.insert(event.data.end(), bytes.begin() + at, bytes.begin() + at + length);
            at += length;
            file.events.push_back(event);
            if (event.data[0] == 0x2F) {
                if (at != bytes.size()) return fail("bytes after the end of track");
                return file;
            }
            continue;
        }
        running = event.status;
        const int count = (event.status & 0xE0) == 0xC0 ? 1 : 2;
        for (int i = 0; i < count; ++i) {
            if (at >= bytes.size() || bytes[at] & 0x80) return fail("missing data byte");
            event.data.push_back(bytes[at++]);
        }
        file.events.push_back(event);
    }
    return fail("no end of track");
}
