#pragma once
// The PCM device: SDL2 audio playing unsigned 8-bit mono buffers that our
// sound thread renders and keeps queued.

#include <cstdint>

bool OpenSdlPcmOutput(int32_t rate, int32_t buffers, bool (*fill)(uint8_t* samples));
void PauseSdlPcmOutput(bool paused);
void SetSdlPcmVolume(int32_t volume);
void CloseSdlPcmOutput();
