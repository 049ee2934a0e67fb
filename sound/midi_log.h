#pragma once
// Recording the music into a Standard MIDI File.

// Remembers the log file name for the game run.
void InitMidiLog(const char* fileName);
// Finishes and closes the log if one is open.
void CloseMidiLog();
