#pragma once
// Recording the music of the output channels into a Standard MIDI File of
// format 0 (one track) at 1000 ticks per quarter note and one millisecond
// per tick, whichever device plays it. Time advances by the scanline
// driver's frame tick, not by the wall clock. The output layer hands every
// tone, voice and drum to the log; the log writes only real changes, with
// running status.

#include <cstdint>

// Takes the file name (the SoundLogFile setting) at each game start.
// Finishes an open file; when recording was on, the file is created anew,
// replacing an older one of the same name. Does nothing for a null name.
void InitMidiLog(const char* fileName);

// 0 off, 1 on, 2 toggle, anything else only asks. Returns whether the log
// records afterwards (0 when the file cannot be created).
int SetMidiLog(int mode);

// Lets emulated time pass in the recording.
void AdvanceMidiLog(int32_t ms);

// Completes the open file: notes stopped, end of track, track length.
void FinishMidiLog();

// Finishes the file at the end of a game run (and so on the way out of the
// program); when it was recording, the next InitMidiLog starts a new file.
void CloseMidiLog();

// True while recording into an open file.
bool MidiLogRecording();

// True once a recording could not be written completely (a full disk, a
// file size limit), which shows when its file is finished.
bool MidiLogWriteFailed();

// The output layer's hooks (each writes only while recording).
void LogTone(int32_t channel, int32_t frequency, int32_t volume);
void LogVoice(int32_t channel, int32_t voice);
void LogDrum(int32_t note, int32_t velocity);
// The voice the output layer last gave a channel (0-14), written at the
// start of every recording.
void RememberLogVoice(int32_t channel, int32_t voice);
