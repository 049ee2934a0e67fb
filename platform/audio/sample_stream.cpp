#include "platform/audio/sample_stream.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>

#include "sound/sample_channels.h"
#include "sound/sound_output.h"

namespace {

// The backlog the player keeps: a frame of emulation (16.7 ms) arrives at
// once, at the handheld's own pace, and the PCM output takes a few
// milliseconds at a time (the synthesiser's stream up to a 1024-sample
// block of 512 samples, 12 ms); 45 ms keeps both sides clear of each
// other even when a frame comes late (a whole frame after a stall), and
// keeps the sample channels' delay within 100 ms with the default queue.
constexpr double TargetSeconds = 0.045;
// Beyond this the backlog is stale (the output was paused) and dropped.
constexpr double StaleSeconds = 0.250;
// The largest correction of the playing speed; the correction per unit of
// the backlog's relative error, which reaches the largest correction 9 ms
// off the target (the desktop paces itself at the handheld's 59.7275 Hz
// from the system's clock, so only the clocks' drift and a paused frame
// are left to correct); and the share of the backlog's error
// taken into the smoothed backlog per block.
constexpr double MaxAdjustment = 0.005;
constexpr double SteeringGain = 0.025;
constexpr double SmoothingPerBlock = 0.05;

struct Player {
    int32_t Rate = 0;  // 0 = closed
    SampleStream* Stream = nullptr;  // the playing machine's
    SampleLevelReader Reader;
    bool Primed = false;          // the backlog has reached the target since the last stall
    double SmoothedBacklog = -1;  // seconds; -1 = not measured yet
};
Player Streams;

// Starts playing once the stream holds the target backlog: from that far
// behind its newest level, dropping anything older.
bool Prime(int64_t newest, double target) {
    if (double(newest - OldestSampleTime(*Streams.Stream)) < target) return false;
    Streams.Reader.Cursor = double(newest) - target;
    SkipSampleStream(*Streams.Stream, int64_t(Streams.Reader.Cursor), Streams.Reader.Level);
    Streams.Primed = true;
    Streams.SmoothedBacklog = -1;
    return true;
}

// ---- the stream of its own beside the MIDI synthesiser ----

struct OwnOutput {
    const SoundDeviceState* Device = nullptr;  // the playing machine's: its channel switch
    bool AudioStarted = false;
    SDL_AudioDeviceID Output = 0;
    std::atomic<int32_t> Volume{255};
};
OwnOutput Own;

void PlayOwnStream(void*, Uint8* stream, int length) {
    float* out = reinterpret_cast<float*>(stream);
    const int32_t count = length / int32_t(sizeof(float));
    RenderSampleStreams(out, count);
    const bool on = Own.Device->Switch.load(std::memory_order_relaxed) != 0;
    const float gain = on ? float(Own.Volume.load(std::memory_order_relaxed)) / 255.0f : 0.0f;
    for (int32_t i = 0; i < count; ++i) out[i] = std::clamp(out[i] * gain, -1.0f, 1.0f);
}

}  // namespace

bool OpenSampleStreamPlayer(SampleStream& stream, int32_t rate) {
    CloseSampleStreamPlayer();
    if (rate <= 0) return false;
    Streams = Player{};
    Streams.Rate = rate;
    Streams.Stream = &stream;
    ConnectSampleStream(stream);
    return true;
}

void CloseSampleStreamPlayer() {
    if (Streams.Stream) DisconnectSampleStream(*Streams.Stream);
    Streams.Rate = 0;
}

void RenderSampleStreams(float* out, int32_t count) {
    std::fill(out, out + count, 0.0f);
    if (Streams.Rate <= 0 || SampleStreamFill(*Streams.Stream) == 0) {
        // Run dry: the channels stopped, or the emulation fell behind. Wait
        // for a full backlog before playing again.
        Streams.Primed = false;
        return;
    }
    constexpr double CyclesPerSecond = CpuClockHz;
    const int64_t newest = NewestSampleTime(*Streams.Stream);
    if (!Streams.Primed && !Prime(newest, TargetSeconds * CyclesPerSecond)) return;
    double backlog = (double(newest) - Streams.Reader.Cursor) / CyclesPerSecond;
    if (backlog > StaleSeconds) {
        Prime(newest, TargetSeconds * CyclesPerSecond);
        backlog = TargetSeconds;
    }
    Streams.SmoothedBacklog = Streams.SmoothedBacklog < 0
                                  ? backlog
                                  : Streams.SmoothedBacklog + SmoothingPerBlock * (backlog - Streams.SmoothedBacklog);
    // A backlog above the target is played a little faster (more emulated
    // time per output sample), one below it a little slower.
    const double error = (Streams.SmoothedBacklog - TargetSeconds) / TargetSeconds;
    const double adjustment = std::clamp(error * SteeringGain, -MaxAdjustment, MaxAdjustment);
    const double span = CyclesPerSecond / Streams.Rate * (1.0 + adjustment);
    // No further than the newest level: what lies beyond is not known yet.
    const int32_t playable = int32_t(std::clamp(backlog * CyclesPerSecond / span, 0.0, double(count)));
    RenderSampleLevels(*Streams.Stream, Streams.Reader, out, playable, span);
    if (playable < count) Streams.Primed = false;
}

bool OpenSampleStreamOutput(SampleStream& stream, const SoundDeviceState& device, int32_t rate) {
    CloseSampleStreamOutput();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Own.AudioStarted = true;
    Own.Device = &device;
    if (!OpenSampleStreamPlayer(stream, rate)) {
        CloseSampleStreamOutput();
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 1;
    wanted.samples = 512;
    wanted.callback = PlayOwnStream;
    SDL_AudioSpec obtained{};
    Own.Output = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (!Own.Output) {
        CloseSampleStreamOutput();
        return false;
    }
    SDL_PauseAudioDevice(Own.Output, 0);
    return true;
}

void SetSampleStreamVolume(int32_t volume) { Own.Volume.store(std::clamp(volume, 0, 255), std::memory_order_relaxed); }

void CloseSampleStreamOutput() {
    // Closing the device waits for a running callback.
    if (Own.Output) SDL_CloseAudioDevice(Own.Output);
    Own.Output = 0;
    CloseSampleStreamPlayer();
    if (Own.AudioStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Own.AudioStarted = false;
}
