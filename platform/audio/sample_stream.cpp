#include "platform/audio/sample_stream.h"

#include <SDL.h>
#include <samplerate.h>

#include <algorithm>
#include <array>
#include <atomic>

#include "sound/sample_channels.h"
#include "sound/sound_output.h"

namespace {

// The backlog each stream keeps: a frame of emulation (16.7 ms) arrives at
// once, and the output takes up to a 1024-sample block (23 ms at 44100 Hz)
// at once, so 50 ms keeps both sides clear of each other.
constexpr double TargetSeconds = 0.050;
// Beyond this the backlog is stale (the output was paused) and dropped.
constexpr double StaleSeconds = 0.250;
// The largest correction of the resampling ratio, and the share of the
// backlog's error corrected per second of output.
constexpr double MaxAdjustment = 0.005;
constexpr double SmoothingPerBlock = 0.05;

struct StreamPlayer {
    SRC_STATE* Resampler = nullptr;
    double SmoothedBacklog = -1;  // seconds; -1 = not measured yet
    bool Primed = false;          // the backlog has reached the target once
};

struct Player {
    int32_t Rate = 0;
    std::array<StreamPlayer, SampleStreamCount> Streams{};
};
Player Streams;

// The resampler's input: whatever the stream holds, at the rate of its
// oldest sample.
struct InputBlock {
    std::array<TimedSample, 1024> Samples;
    std::array<float, 1024> Levels;
};
InputBlock Input;

// Adds `count` resampled samples of one stream into `out`.
void RenderStream(uint32_t index, float* out, int32_t count) {
    StreamPlayer& player = Streams.Streams[index];
    uint32_t waiting = SampleStreamFill(index);
    if (waiting == 0) {
        // Run dry: the channel stopped, or the emulation fell behind. Start
        // over, and wait for a full backlog before playing again.
        if (player.Primed) src_reset(player.Resampler);
        player.Primed = false;
        player.SmoothedBacklog = -1;
        return;
    }
    const TimedSample oldest = PeekSampleStream(index);
    const double inputRate = double(CpuClockHz) / std::max<uint32_t>(oldest.Period, 1);
    const double ratio = double(Streams.Rate) / inputRate;
    if (ratio < 1.0 / 256 || ratio > 256) {
        SkipSampleStream(index, 0);
        return;
    }
    double backlog = waiting / inputRate;
    if (backlog > StaleSeconds) {
        SkipSampleStream(index, uint32_t(TargetSeconds * inputRate));
        waiting = SampleStreamFill(index);
        backlog = waiting / inputRate;
        player.SmoothedBacklog = backlog;
    }
    if (!player.Primed) {
        if (backlog < TargetSeconds) return;
        player.Primed = true;
    }
    player.SmoothedBacklog = player.SmoothedBacklog < 0
                                 ? backlog
                                 : player.SmoothedBacklog + SmoothingPerBlock * (backlog - player.SmoothedBacklog);
    // A backlog above the target is drained a little faster (fewer output
    // samples per input sample), one below it a little slower.
    const double error = (player.SmoothedBacklog - TargetSeconds) / TargetSeconds;
    const double adjusted = ratio * (1.0 - std::clamp(error * MaxAdjustment, -MaxAdjustment, MaxAdjustment));

    std::array<float, 1024> output;
    int32_t done = 0;
    while (done < count) {
        const uint32_t read = ReadSampleStream(
            index, Input.Samples.data(),
            std::min<uint32_t>(uint32_t(Input.Samples.size()), uint32_t((count - done) / adjusted) + 2));
        for (uint32_t i = 0; i < read; ++i) Input.Levels[i] = float(Input.Samples[i].Value) / SampleFullScale;
        SRC_DATA data{};
        data.data_in = Input.Levels.data();
        data.input_frames = long(read);
        data.src_ratio = adjusted;
        while (done < count) {
            data.data_out = output.data();
            data.output_frames = std::min<long>(long(output.size()), count - done);
            if (src_process(player.Resampler, &data) != 0) return;
            for (long i = 0; i < data.output_frames_gen; ++i) out[done + i] += output[size_t(i)];
            done += int32_t(data.output_frames_gen);
            data.data_in += data.input_frames_used;
            data.input_frames -= data.input_frames_used;
            if (data.input_frames == 0 && data.output_frames_gen == 0) break;
        }
        // What the resampler did not take is lost; it takes all it is given
        // while output is still wanted.
        if (read == 0) break;
    }
}

// ---- the stream of its own beside the MIDI synthesiser ----

struct OwnOutput {
    bool AudioStarted = false;
    SDL_AudioDeviceID Device = 0;
    std::atomic<int32_t> Volume{255};
};
OwnOutput Own;

void PlayOwnStream(void*, Uint8* stream, int length) {
    float* out = reinterpret_cast<float*>(stream);
    const int32_t count = length / int32_t(sizeof(float));
    RenderSampleStreams(out, count);
    const bool on = SoundDevice.Switch.load(std::memory_order_relaxed) != 0;
    const float gain = on ? float(Own.Volume.load(std::memory_order_relaxed)) / 255.0f : 0.0f;
    for (int32_t i = 0; i < count; ++i) out[i] = std::clamp(out[i] * gain, -1.0f, 1.0f);
}

}  // namespace

bool OpenSampleStreamPlayer(int32_t rate) {
    CloseSampleStreamPlayer();
    Streams.Rate = rate;
    for (StreamPlayer& player : Streams.Streams) {
        int error = 0;
        player = StreamPlayer{};
        player.Resampler = src_new(SRC_SINC_FASTEST, 1, &error);
        if (!player.Resampler) {
            CloseSampleStreamPlayer();
            return false;
        }
    }
    ConnectSampleStreams();
    return true;
}

void CloseSampleStreamPlayer() {
    DisconnectSampleStreams();
    for (StreamPlayer& player : Streams.Streams)
        if (player.Resampler) player.Resampler = src_delete(player.Resampler);
    Streams.Rate = 0;
}

void RenderSampleStreams(float* out, int32_t count) {
    std::fill(out, out + count, 0.0f);
    if (Streams.Rate <= 0) return;
    for (uint32_t index = 0; index < SampleStreamCount; ++index)
        if (Streams.Streams[index].Resampler) RenderStream(index, out, count);
}

bool OpenSampleStreamOutput(int32_t rate) {
    CloseSampleStreamOutput();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Own.AudioStarted = true;
    if (!OpenSampleStreamPlayer(rate)) {
        CloseSampleStreamOutput();
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 1;
    wanted.samples = 1024;
    wanted.callback = PlayOwnStream;
    SDL_AudioSpec obtained{};
    Own.Device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (!Own.Device) {
        CloseSampleStreamOutput();
        return false;
    }
    SDL_PauseAudioDevice(Own.Device, 0);
    return true;
}

void SetSampleStreamVolume(int32_t volume) { Own.Volume.store(std::clamp(volume, 0, 255), std::memory_order_relaxed); }

void CloseSampleStreamOutput() {
    // Closing the device waits for a running callback.
    if (Own.Device) SDL_CloseAudioDevice(Own.Device);
    Own.Device = 0;
    CloseSampleStreamPlayer();
    if (Own.AudioStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Own.AudioStarted = false;
}
