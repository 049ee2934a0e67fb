#include "sound/midi_log.h"

// Recording starts from the settings or a key; at game start nothing is open.
void InitMidiLog(const char*) {}
void CloseMidiLog() {}
