// koru: the desktop program. Plays the cartridge named on the command line,
// or asks for one.

#include "frontend/main_window.h"

int main(int argc, char** argv) { return RunProgram(argc, argv); }
