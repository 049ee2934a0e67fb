#include "sound/midi_log.h"

#include <array>
#include <cstdio>

#include "sound/sound_output.h"

namespace {

struct MidiLogState {
    const char* FileName = nullptr;  // the SoundLogFile setting
    bool Initialised = false;
    int Recording = 0;
    // A game run ended while recording: the next game start records again.
    bool ResumeAtNextStart = false;
    std::FILE* File = nullptr;
    bool WriteFailed = false;
    int32_t PendingDelta = 0;  // ticks (ms) since the last event
    int32_t RunningStatus = -1;
    std::array<int32_t, OutputChannelCount> LastNote{};  // -1 = none sounding
    std::array<int32_t, OutputChannelCount> LastVelocity{};
    std::array<int32_t, OutputChannelCount> LastBend{};   // -1 = none written
    std::array<int32_t, OutputChannelCount> LastVoice{};  // -1 = none written
    std::array<int32_t, OutputChannelCount> Voice{};      // as the output layer last set it
};
MidiLogState Log;

// Byte offset of the track length in the file.
constexpr long TrackLengthOffset = 18;
constexpr int32_t HeaderSize = 22;
// The largest delta time a variable-length quantity of four bytes holds.
constexpr int32_t MaxDelta = 0x0FFFFFFF;

void WriteByte(uint32_t value) { std::fputc(int(value & 0xFF), Log.File); }

// Delta times are variable-length quantities: seven bits a byte, most
// significant first, bit 7 set on every byte but the last. Deltas up to
// 2^21 - 1 ticks (35 minutes) take at most three bytes; longer silences
// take the fourth byte the format allows rather than losing time.
void WriteDelta() {
    const uint32_t delta = uint32_t(Log.PendingDelta);
    if (delta >= 1u << 21) WriteByte(0x80 | (delta >> 21 & 0x7F));
    if (delta >= 1u << 14) WriteByte(0x80 | (delta >> 14 & 0x7F));
    if (delta >= 1u << 7) WriteByte(0x80 | (delta >> 7 & 0x7F));
    WriteByte(delta & 0x7F);
    Log.PendingDelta = 0;
}

// One event after its delta. The status byte is left out while it repeats
// (running status); a data byte of 0x80 or more means there is none.
void WriteEvent(uint32_t status, uint32_t first, uint32_t second) {
    WriteDelta();
    if (int32_t(status) != Log.RunningStatus) {
        WriteByte(status);
        Log.RunningStatus = int32_t(status);
    }
    if (first < 0x80) WriteByte(first);
    if (second < 0x80) WriteByte(second);
}

constexpr uint32_t NoData = 0x80;

void WriteChannelEvent(uint32_t type, int32_t channel, uint32_t first, uint32_t second) {
    WriteEvent(type | uint32_t(MidiChannelOf(channel)), first, second);
}

void StopLoggedNote(int32_t channel) {
    if (Log.LastNote[channel] < 0) return;
    WriteChannelEvent(0x80, channel, uint32_t(Log.LastNote[channel]), 0x7F);
    Log.LastNote[channel] = -1;
}

void StopAllLoggedNotes() {
    for (int32_t channel = 0; channel < OutputChannelCount; ++channel) StopLoggedNote(channel);
}

void WriteVoice(int32_t channel, int32_t voice) {
    if (voice == Log.LastVoice[channel]) return;
    Log.LastVoice[channel] = voice;
    WriteChannelEvent(0xC0, channel, uint32_t(ProgramOfVoice(voice)), NoData);
}

// Creates the file with its header, a tempo of one millisecond per tick and
// every channel's volume. False (and no file) when that fails.
bool CreateLogFile() {
    Log.LastNote.fill(-1);
    Log.LastVelocity.fill(-1);
    Log.LastBend.fill(-1);
    Log.LastVoice.fill(-1);
    Log.RunningStatus = -1;
    Log.File = std::fopen(Log.FileName, "wb");
    if (!Log.File) return false;
    static constexpr uint8_t header[12] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    // 1000 ticks per quarter note; the track length is patched at the end.
    static constexpr uint8_t division[2] = {0x03, 0xE8};
    static constexpr uint8_t track[8] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
    if (std::fwrite(header, 1, sizeof header, Log.File) != sizeof header ||
        std::fwrite(division, 1, sizeof division, Log.File) + std::fwrite(track, 1, sizeof track, Log.File) !=
            sizeof division + sizeof track) {
        std::fclose(Log.File);
        Log.File = nullptr;
        return false;
    }
    // Tempo: 1 000 000 microseconds per quarter note.
    WriteDelta();
    for (uint8_t byte : {0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}) WriteByte(byte);
    for (uint32_t midiChannel = 0; midiChannel < 16; ++midiChannel) WriteEvent(0xB0 | midiChannel, 7, 100);
    return true;
}

}  // namespace

void InitMidiLog(const char* fileName) {
    if (!fileName) return;
    const bool wasRecording = Log.Recording || Log.ResumeAtNextStart;
    if (Log.File) FinishMidiLog();
    if (!Log.Initialised) {
        Log.Voice.fill(0);
        Log.Initialised = true;
    }
    Log.FileName = fileName;
    Log.Recording = 0;
    Log.ResumeAtNextStart = false;
    Log.RunningStatus = -1;
    Log.PendingDelta = 0;
    if (wasRecording) SetMidiLog(1);
}

int SetMidiLog(int mode) {
    if (mode == 2) mode = Log.Recording ? 0 : 1;
    if ((mode != 0 && mode != 1) || mode == Log.Recording) return Log.Recording;
    if (mode == 0 && Log.File) StopAllLoggedNotes();
    if (mode == 1 && !Log.File && Log.FileName) {
        if (!CreateLogFile()) return Log.Recording;
    }
    if (!Log.File) mode = 0;
    if (mode == 1) {
        // Time spent paused is dropped; voices changed meanwhile are written.
        Log.PendingDelta = 0;
        for (int32_t channel = 0; channel < 15; ++channel) WriteVoice(channel, Log.Voice[channel]);
    }
    Log.Recording = mode;
    return Log.Recording;
}

void AdvanceMidiLog(int32_t ms) {
    if (!MidiLogRecording() || ms <= 0) return;
    Log.PendingDelta = ms > MaxDelta - Log.PendingDelta ? MaxDelta : Log.PendingDelta + ms;
}

void FinishMidiLog() {
    if (!Log.File) return;
    StopAllLoggedNotes();
    WriteEvent(0xFF, 0x2F, 0x00);  // end of track
    std::fseek(Log.File, 0, SEEK_END);
    const long trackLength = std::ftell(Log.File) - HeaderSize;
    std::fseek(Log.File, TrackLengthOffset, SEEK_SET);
    for (int shift = 24; shift >= 0; shift -= 8) WriteByte(uint32_t(trackLength) >> shift);
    // The bytes are buffered: a full disk shows here at the latest.
    if (std::ferror(Log.File)) Log.WriteFailed = true;
    if (std::fclose(Log.File) != 0) Log.WriteFailed = true;
    Log.File = nullptr;
    Log.Recording = 0;
    Log.RunningStatus = -1;
    Log.PendingDelta = 0;
}

void CloseMidiLog() {
    if (Log.Recording) Log.ResumeAtNextStart = true;
    FinishMidiLog();
}

bool MidiLogRecording() { return Log.Recording && Log.File; }

bool MidiLogWriteFailed() { return Log.WriteFailed; }

void LogTone(int32_t channel, int32_t frequency, int32_t volume) {
    if (!MidiLogRecording() || channel < 0 || channel >= 15) return;
    if (frequency < 9 || frequency > 12285) frequency = 0;
    if (volume == 0 || frequency == 0) {
        StopLoggedNote(channel);
        return;
    }
    const int32_t velocity = (volume & 0xFF) / 2;
    const NoteEntry& entry = NoteTable[frequency / 3];
    if (entry.Note == Log.LastNote[channel]) {
        if (velocity != Log.LastVelocity[channel]) WriteChannelEvent(0xA0, channel, entry.Note, uint32_t(velocity));
    } else {
        StopLoggedNote(channel);
        WriteChannelEvent(0x90, channel, entry.Note, uint32_t(velocity));
    }
    Log.LastNote[channel] = entry.Note;
    Log.LastVelocity[channel] = velocity;
    if (entry.Bend != Log.LastBend[channel]) {
        WriteChannelEvent(0xE0, channel, entry.Bend & 0x7F, (entry.Bend >> 7) & 0x7F);
        Log.LastBend[channel] = entry.Bend;
    }
}

void LogVoice(int32_t channel, int32_t voice) {
    if (!MidiLogRecording() || channel < 0 || channel >= 15) return;
    WriteVoice(channel, voice);
}

void LogDrum(int32_t note, int32_t velocity) {
    if (!MidiLogRecording()) return;
    WriteEvent(0x99, uint32_t(note) & 0x7F, uint32_t(velocity) & 0x7F);
}

void RememberLogVoice(int32_t channel, int32_t voice) {
    if (channel >= 0 && channel < 15) Log.Voice[channel] = voice;
}
