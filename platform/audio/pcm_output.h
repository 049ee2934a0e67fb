#pragma once
// The PCM device: SDL2 audio playing unsigned 8-bit mono buffers that our
// sound thread renders and keeps queued.

#include <cstdint>

// The host's PCM operations (machine/host.h); the context is the Machine
// whose sample channels play beside the buffers.
bool OpenSdlPcmOutput(void* context, int32_t rate, int32_t buffers, bool (*fill)(void*, uint8_t*, int32_t),
                      void* fillContext);
void PauseSdlPcmOutput(void* context, bool paused);
void SetSdlPcmVolume(void* context, int32_t volume);
void CloseSdlPcmOutput(void* context);
