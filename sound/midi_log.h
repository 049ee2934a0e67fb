#pragma once
// Recording the music of the output channels into a Standard MIDI File of
// format 0 (one track) at 1000 ticks per quarter note and one millisecond
// per tick, whichever device plays it. Time advances by the scanline
// driver's frame tick, not by the wall clock. The output layer hands every
// tone, voice and drum to the log; the log writes only real changes, with
// running status. A machine keeps one log (MidiLog), across its game runs.

#include <array>
#include <cstdint>
#include <cstdio>

#include "sound/sound_output.h"

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
    std::array<MidiNoteState, OutputChannelCount> Notes{};  // as last written
    std::array<int32_t, OutputChannelCount> LastVoice{};    // -1 = none written
    std::array<int32_t, OutputChannelCount> Voice{};        // as the output layer last set it
};

// Takes the file name (the SoundLogFile setting) at each game start.
// Finishes an open file; when recording was on, the file is created anew,
// replacing an older one of the same name. Does nothing for a null name.
void InitMidiLog(MidiLogState& log, const char* fileName);

// Starts or stops recording. Returns whether the log records afterwards
// (false when the file cannot be created).
enum class MidiLogSwitch { Off, On, Toggle };
bool SetMidiLog(MidiLogState& log, MidiLogSwitch change);

// Lets emulated time pass in the recording.
void AdvanceMidiLog(MidiLogState& log, int32_t ms);

// Completes the open file: notes stopped, end of track, track length.
void FinishMidiLog(MidiLogState& log);

// Finishes the file at the end of a game run (and so on the way out of the
// program); when it was recording, the next InitMidiLog starts a new file.
void CloseMidiLog(MidiLogState& log);

// True while recording into an open file.
bool MidiLogRecording(const MidiLogState& log);

// True once a recording could not be written completely (a full disk, a
// file size limit), which shows when its file is finished.
bool MidiLogWriteFailed(const MidiLogState& log);

// The output layer's hooks (each writes only while recording).
void LogTone(MidiLogState& log, int32_t channel, int32_t frequency, int32_t volume);
void LogVoice(MidiLogState& log, int32_t channel, int32_t voice);
void LogDrum(MidiLogState& log, int32_t note, int32_t velocity);
// The voice the output layer last gave a channel (0-14), written at the
// start of every recording.
void RememberLogVoice(MidiLogState& log, int32_t channel, int32_t voice);
