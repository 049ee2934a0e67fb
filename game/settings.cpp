#include "game/settings.h"

GameSettings Settings;
uint32_t Verbose = 0;
