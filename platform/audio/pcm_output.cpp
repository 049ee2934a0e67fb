#include "platform/audio/pcm_output.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "machine/machine.h"
#include "platform/audio/sample_stream.h"
#include "sound/pcm_synth.h"

namespace {

constexpr int32_t MaxBuffers = 32;
constexpr uint8_t Silence = 0x80;

// Each queued buffer holds 2 ms of sound, so SoundBuffers is the delay
// between the game's sound and the speaker in steps of 2 ms (the default
// 16 keeps 32 ms queued). The audio device takes its share in blocks of
// about 12 ms at most (a power of two of samples, at most the queue's
// length), so that a key that silences the game is silent in the output
// well within 100 ms.
constexpr int32_t BuffersPerSecond = 500;
constexpr double DeviceBlockSeconds = 0.012;

int32_t BufferSamplesAt(int32_t rate) { return std::clamp(rate / BuffersPerSecond, 16, PcmBufferSamples); }

// The device's block: no longer than the queue, so that the queue holds a
// block ready while the device plays the last one.
uint16_t DeviceBlockAt(int32_t rate, int32_t queuedSamples) {
    uint16_t block = 32;
    while (block * 2 <= rate * DeviceBlockSeconds && block * 2 <= queuedSamples && block < 4096)
        block = uint16_t(block * 2);
    return block;
}

// A ring of buffers played in order, like a wave-out queue: the device's
// callback plays the queued buffer at the read position and hands each
// finished buffer to the sound thread, which renders it and queues it
// again. The buffer flags are the only state both threads touch.
struct PcmOutput {
    bool AudioStarted = false;  // SDL's audio subsystem
    SDL_AudioDeviceID Device = 0;
    SDL_Thread* Thread = nullptr;
    SDL_sem* Played = nullptr;  // one count per buffer played
    bool (*Fill)(void* context, uint8_t* samples, int32_t count) = nullptr;
    void* FillContext = nullptr;
    int32_t BufferCount = 0;
    int32_t BufferSamples = PcmBufferSamples;
    std::array<std::array<uint8_t, PcmBufferSamples>, MaxBuffers> Buffers{};
    std::array<std::atomic<bool>, MaxBuffers> Queued{};
    // The device callback's side.
    int32_t ReadBuffer = 0;
    int32_t ReadOffset = 0;
    std::atomic<int32_t> Volume{255};
    // The sound thread's side.
    int32_t RefillBuffer = 0;
    std::atomic<bool> Quit{false};
};
PcmOutput Pcm;

void PlayQueuedBuffers(void*, Uint8* stream, int length) {
    const int32_t volume = Pcm.Volume.load(std::memory_order_relaxed);
    while (length > 0) {
        // A buffer that was left out of the queue, or not rendered in time,
        // is waited for in silence.
        if (!Pcm.Queued[Pcm.ReadBuffer].load(std::memory_order_acquire)) {
            std::memset(stream, Silence, size_t(length));
            return;
        }
        const uint8_t* samples = Pcm.Buffers[Pcm.ReadBuffer].data() + Pcm.ReadOffset;
        const int count = std::min(length, int(Pcm.BufferSamples - Pcm.ReadOffset));
        for (int i = 0; i < count; ++i) stream[i] = Uint8(Silence + (samples[i] - Silence) * volume / 255);
        stream += count;
        length -= count;
        Pcm.ReadOffset += count;
        if (Pcm.ReadOffset == Pcm.BufferSamples) {
            Pcm.Queued[Pcm.ReadBuffer].store(false, std::memory_order_release);
            Pcm.ReadOffset = 0;
            Pcm.ReadBuffer = (Pcm.ReadBuffer + 1) % Pcm.BufferCount;
            SDL_SemPost(Pcm.Played);
        }
    }
}

// The sound thread refills each buffer as soon as it has been played: the
// tone channels, then the sample channels played at the same rate. It
// asks for the highest priority; where the system refuses, it runs on at
// normal priority.
int RenderPlayedBuffers(void*) {
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);
    std::array<float, PcmBufferSamples> samples;
    for (;;) {
        SDL_SemWait(Pcm.Played);
        if (Pcm.Quit.load(std::memory_order_acquire)) break;
        const int32_t index = Pcm.RefillBuffer;
        Pcm.RefillBuffer = (index + 1) % Pcm.BufferCount;
        uint8_t* buffer = Pcm.Buffers[index].data();
        if (!Pcm.Fill(Pcm.FillContext, buffer, Pcm.BufferSamples)) continue;
        RenderSampleStreams(samples.data(), Pcm.BufferSamples);
        MixSamplesIntoPcm(buffer, samples.data(), Pcm.BufferSamples);
        Pcm.Queued[index].store(true, std::memory_order_release);
    }
    return 0;
}

}  // namespace

bool OpenSdlPcmOutput(void* context, int32_t rate, int32_t buffers, bool (*fill)(void*, uint8_t*, int32_t),
                      void* fillContext) {
    CloseSdlPcmOutput(context);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Pcm.AudioStarted = true;
    Pcm.Fill = fill;
    Pcm.FillContext = fillContext;
    Pcm.BufferCount = std::clamp(buffers, 2, MaxBuffers);
    Pcm.BufferSamples = BufferSamplesAt(rate);
    for (int32_t i = 0; i < MaxBuffers; ++i) {
        Pcm.Buffers[i].fill(Silence);
        Pcm.Queued[i].store(i < Pcm.BufferCount, std::memory_order_relaxed);
    }
    Pcm.ReadBuffer = Pcm.ReadOffset = Pcm.RefillBuffer = 0;
    Pcm.Quit.store(false, std::memory_order_relaxed);

    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_U8;
    wanted.channels = 1;
    wanted.samples = DeviceBlockAt(rate, Pcm.BufferCount * Pcm.BufferSamples);
    wanted.callback = PlayQueuedBuffers;
    SDL_AudioSpec obtained{};
    Pcm.Played = SDL_CreateSemaphore(0);
    if (Pcm.Played) Pcm.Device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (Pcm.Device) OpenSampleStreamPlayer(static_cast<Machine*>(context)->SampleLevels, obtained.freq);
    if (Pcm.Device) Pcm.Thread = SDL_CreateThread(RenderPlayedBuffers, "koru-sound", nullptr);
    if (!Pcm.Thread) {
        CloseSdlPcmOutput(context);
        return false;
    }
    SDL_PauseAudioDevice(Pcm.Device, 0);
    return true;
}

void PauseSdlPcmOutput(void*, bool paused) {
    if (Pcm.Device) SDL_PauseAudioDevice(Pcm.Device, paused ? 1 : 0);
}

void SetSdlPcmVolume(void*, int32_t volume) { Pcm.Volume.store(std::clamp(volume, 0, 255), std::memory_order_relaxed); }

void CloseSdlPcmOutput(void*) {
    // Closing the device waits for a running callback, so after this no
    // buffer is handed back.
    if (Pcm.Device) SDL_CloseAudioDevice(Pcm.Device);
    if (Pcm.Thread) {
        Pcm.Quit.store(true, std::memory_order_release);
        SDL_SemPost(Pcm.Played);
        SDL_WaitThread(Pcm.Thread, nullptr);
    }
    CloseSampleStreamPlayer();
    if (Pcm.Played) SDL_DestroySemaphore(Pcm.Played);
    if (Pcm.AudioStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Pcm.Device = 0;
    Pcm.Thread = nullptr;
    Pcm.Played = nullptr;
    Pcm.AudioStarted = false;
}
