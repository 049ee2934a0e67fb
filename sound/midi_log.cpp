#include "sound/midi_log.h"

#include <array>
#include <cstdio>

#include "sound/sound_output.h"

namespace {

// Byte offset of the track length in the file.
constexpr long TrackLengthOffset = 18;
constexpr int32_t HeaderSize = 22;
// The largest delta time a variable-length quantity of four bytes holds.
constexpr int32_t MaxDelta = 0x0FFFFFFF;

void WriteByte(MidiLogState& log, uint32_t value) { std::fputc(int(value & 0xFF), log.File); }

// Delta times are variable-length quantities: seven bits a byte, most
// significant first, bit 7 set on every byte but the last. Deltas up to
// 2^21 - 1 ticks (35 minutes) take at most three bytes; longer silences
// take the fourth byte the format allows rather than losing time.
void WriteDelta(MidiLogState& log) {
    const uint32_t delta = uint32_t(log.PendingDelta);
    if (delta >= 1u << 21) WriteByte(log, 0x80 | (delta >> 21 & 0x7F));
    if (delta >= 1u << 14) WriteByte(log, 0x80 | (delta >> 14 & 0x7F));
    if (delta >= 1u << 7) WriteByte(log, 0x80 | (delta >> 7 & 0x7F));
    WriteByte(log, delta & 0x7F);
    log.PendingDelta = 0;
}

// One event after its delta. The status byte is left out while it repeats
// (running status); a data byte of 0x80 or more means there is none.
void WriteEvent(MidiLogState& log, uint32_t status, uint32_t first, uint32_t second) {
    WriteDelta(log);
    if (int32_t(status) != log.RunningStatus) {
        WriteByte(log, status);
        log.RunningStatus = int32_t(status);
    }
    if (first < 0x80) WriteByte(log, first);
    if (second < 0x80) WriteByte(log, second);
}

constexpr uint32_t NoData = 0x80;

void WriteChannelEvent(MidiLogState& log, uint32_t type, int32_t channel, uint32_t first, uint32_t second) {
    WriteEvent(log, type | uint32_t(MidiChannelOf(channel)), first, second);
}

// The log ends its notes with release velocity 127.
constexpr uint32_t ReleaseVelocity = 0x7F;

// Writes the events of one channel.
auto WriterFor(MidiLogState& log, int32_t channel) {
    return [&log, channel](uint32_t type, uint32_t first, uint32_t second) {
        WriteChannelEvent(log, type, channel, first, second);
    };
}

void StopAllLoggedNotes(MidiLogState& log) {
    for (int32_t channel = 0; channel < OutputChannelCount; ++channel)
        StopMidiNote(log.Notes[channel], ReleaseVelocity, WriterFor(log, channel));
}

void WriteVoice(MidiLogState& log, int32_t channel, int32_t voice) {
    if (voice == log.LastVoice[channel]) return;
    log.LastVoice[channel] = voice;
    WriteChannelEvent(log, MidiMessage::ProgramChange, channel, uint32_t(ProgramOfVoice(voice)), NoData);
}

// Creates the file with its header, a tempo of one millisecond per tick and
// every channel's volume. False (and no file) when that fails.
bool CreateLogFile(MidiLogState& log) {
    log.Notes.fill({});
    log.LastVoice.fill(-1);
    log.RunningStatus = -1;
    log.File = std::fopen(log.FileName, "wb");
    if (!log.File) return false;
    static constexpr uint8_t header[12] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    // 1000 ticks per quarter note; the track length is patched at the end.
    static constexpr uint8_t division[2] = {0x03, 0xE8};
    static constexpr uint8_t track[8] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
    if (std::fwrite(header, 1, sizeof header, log.File) != sizeof header ||
        std::fwrite(division, 1, sizeof division, log.File) + std::fwrite(track, 1, sizeof track, log.File) !=
            sizeof division + sizeof track) {
        std::fclose(log.File);
        log.File = nullptr;
        return false;
    }
    // Tempo: 1 000 000 microseconds per quarter note.
    WriteDelta(log);
    for (uint8_t byte : {0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}) WriteByte(log, byte);
    for (uint32_t midiChannel = 0; midiChannel < 16; ++midiChannel)
        WriteEvent(log, MidiMessage::ControlChange | midiChannel, 7, 100);
    return true;
}

}  // namespace

void InitMidiLog(MidiLogState& log, const char* fileName) {
    if (!fileName) return;
    const bool wasRecording = log.Recording || log.ResumeAtNextStart;
    if (log.File) FinishMidiLog(log);
    if (!log.Initialised) {
        log.Voice.fill(0);
        log.Initialised = true;
    }
    log.FileName = fileName;
    log.Recording = 0;
    log.ResumeAtNextStart = false;
    log.RunningStatus = -1;
    log.PendingDelta = 0;
    if (wasRecording) SetMidiLog(log, MidiLogSwitch::On);
}

bool SetMidiLog(MidiLogState& log, MidiLogSwitch change) {
    int mode = change == MidiLogSwitch::On ? 1 : change == MidiLogSwitch::Off ? 0 : !log.Recording;
    if (mode == log.Recording) return log.Recording;
    if (mode == 0 && log.File) StopAllLoggedNotes(log);
    if (mode == 1 && !log.File && log.FileName) {
        if (!CreateLogFile(log)) return log.Recording;
    }
    if (!log.File) mode = 0;
    if (mode == 1) {
        // Time spent paused is dropped; voices changed meanwhile are written.
        log.PendingDelta = 0;
        for (int32_t channel = 0; channel < 15; ++channel) WriteVoice(log, channel, log.Voice[channel]);
    }
    log.Recording = mode;
    return log.Recording;
}

void AdvanceMidiLog(MidiLogState& log, int32_t ms) {
    if (!MidiLogRecording(log) || ms <= 0) return;
    log.PendingDelta = ms > MaxDelta - log.PendingDelta ? MaxDelta : log.PendingDelta + ms;
}

void FinishMidiLog(MidiLogState& log) {
    if (!log.File) return;
    StopAllLoggedNotes(log);
    WriteEvent(log, 0xFF, 0x2F, 0x00);  // end of track
    std::fseek(log.File, 0, SEEK_END);
    const long trackLength = std::ftell(log.File) - HeaderSize;
    std::fseek(log.File, TrackLengthOffset, SEEK_SET);
    for (int shift = 24; shift >= 0; shift -= 8) WriteByte(log, uint32_t(trackLength) >> shift);
    // The bytes are buffered: a full disk shows here at the latest.
    if (std::ferror(log.File)) log.WriteFailed = true;
    if (std::fclose(log.File) != 0) log.WriteFailed = true;
    log.File = nullptr;
    log.Recording = 0;
    log.RunningStatus = -1;
    log.PendingDelta = 0;
}

void CloseMidiLog(MidiLogState& log) {
    if (log.Recording) log.ResumeAtNextStart = true;
    FinishMidiLog(log);
}

bool MidiLogRecording(const MidiLogState& log) { return log.Recording && log.File; }

bool MidiLogWriteFailed(const MidiLogState& log) { return log.WriteFailed; }

void LogTone(MidiLogState& log, int32_t channel, int32_t frequency, int32_t volume) {
    if (!MidiLogRecording(log) || channel < 0 || channel >= 15) return;
    SendMidiTone(log.Notes[channel], frequency, volume, ReleaseVelocity, WriterFor(log, channel));
}

void LogVoice(MidiLogState& log, int32_t channel, int32_t voice) {
    if (!MidiLogRecording(log) || channel < 0 || channel >= 15) return;
    WriteVoice(log, channel, voice);
}

void LogDrum(MidiLogState& log, int32_t note, int32_t velocity) {
    if (!MidiLogRecording(log)) return;
    WriteEvent(log, MidiMessage::NoteOn | MidiPercussionChannel, uint32_t(note) & 0x7F, uint32_t(velocity) & 0x7F);
}

void RememberLogVoice(MidiLogState& log, int32_t channel, int32_t voice) {
    if (channel >= 0 && channel < 15) log.Voice[channel] = voice;
}
