#include "frontend/headless/wav_capture.h"

#include <samplerate.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "machine/host.h"
#include "machine/scanline.h"
#include "sound/pcm_synth.h"
#include "sound/sample_channels.h"

namespace {

constexpr uint64_t FrameCycles = uint64_t(DrawCycles + HblankCycles) * LinesPerFrame;
constexpr long WavHeaderSize = 44;

// The file is mixed in a window of samples not yet written: the tone
// channels' buffers land in it as they fall due, the resampled sample
// channels at the places their timestamps give. A resampler hands out its
// output a little after its input, so the newest buffer's worth of samples
// stays open for it until the next frame (or the end).
constexpr uint64_t MixWindow = 1u << 16;
constexpr uint64_t HeldBack = 2 * PcmBufferSamples;

// One sample stream on its way into the file: a run of samples with no gap
// between them goes through one resampler; a gap ends the run.
struct StreamReader {
    SRC_STATE* Resampler = nullptr;
    bool InRun = false;
    uint64_t NextTime = 0;  // when the next sample of the run is due
    uint32_t Period = 0;    // of the run's last sample
    uint64_t Cursor = 0;    // file sample that the resampler's next output fills
};

struct WavCapture {
    std::FILE* File = nullptr;
    int32_t Rate = 0;
    bool (*Fill)(uint8_t* samples) = nullptr;
    uint64_t Owed = 0;  // samples owed, times CpuClockHz
    uint64_t Written = 0;
    uint64_t ToneEnd = 0;  // file samples the tone channels have filled
    std::vector<float> Mix = std::vector<float>(MixWindow);
    std::array<StreamReader, SampleStreamCount> Streams{};
    bool Failed = false;
};
WavCapture Capture;

void PutLittleEndian(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = uint8_t(value >> (8 * i));
}

// RIFF header of unsigned 8-bit mono PCM.
void WriteHeader() {
    std::array<uint8_t, WavHeaderSize> header{'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W', 'A', 'V', 'E',
                                              'f', 'm', 't', ' ', 16, 0, 0, 0, 1,   0,   1,   0};
    const uint32_t samples = uint32_t(Capture.Written);
    PutLittleEndian(&header[4], 36 + samples, 4);
    PutLittleEndian(&header[24], uint32_t(Capture.Rate), 4);  // sample rate
    PutLittleEndian(&header[28], uint32_t(Capture.Rate), 4);  // bytes per second
    PutLittleEndian(&header[32], 1, 2);                       // block alignment
    PutLittleEndian(&header[34], 8, 2);                       // bits per sample
    header[36] = 'd';
    header[37] = 'a';
    header[38] = 't';
    header[39] = 'a';
    PutLittleEndian(&header[40], samples, 4);
    if (std::fwrite(header.data(), 1, header.size(), Capture.File) != header.size()) Capture.Failed = true;
}

float& MixAt(uint64_t sample) { return Capture.Mix[sample % MixWindow]; }

// Adds resampled output at the reader's cursor. Output that would land in
// the written part, or beyond the window, is lost.
void Place(StreamReader& reader, const float* samples, long count) {
    for (long i = 0; i < count; ++i, ++reader.Cursor)
        if (reader.Cursor >= Capture.Written && reader.Cursor < Capture.Written + MixWindow)
            MixAt(reader.Cursor) += samples[i] * SampleChannelPcmScale;
}

// Feeds one stretch of input through the reader's resampler at the ratio of
// the stream's rate to the file's; at the end of a run, flushes its tail.
void Resample(StreamReader& reader, const float* input, long count, double ratio, bool endOfRun) {
    std::array<float, 1024> output;
    SRC_DATA data{};
    data.data_in = input;
    data.input_frames = count;
    data.src_ratio = ratio;
    data.end_of_input = endOfRun ? 1 : 0;
    do {
        data.data_out = output.data();
        data.output_frames = long(output.size());
        if (src_process(reader.Resampler, &data) != 0) return;
        Place(reader, output.data(), data.output_frames_gen);
        data.data_in += data.input_frames_used;
        data.input_frames -= data.input_frames_used;
    } while (data.input_frames > 0 || (endOfRun && data.output_frames_gen > 0));
}

void EndRun(StreamReader& reader) {
    if (!reader.InRun) return;
    const double ratio = double(Capture.Rate) * reader.Period / CpuClockHz;
    Resample(reader, nullptr, 0, ratio, true);
    src_reset(reader.Resampler);
    reader.InRun = false;
}

// libsamplerate converts between rates at most 256 times apart; a timer
// outside that range is not heard.
bool PlayableRatio(double ratio) { return ratio >= 1.0 / 256 && ratio <= 256; }

// Moves what the emulation has written into a stream through its resampler.
void DrainStream(uint32_t stream) {
    StreamReader& reader = Capture.Streams[stream];
    std::array<TimedSample, 512> samples;
    std::array<float, 512> input;
    while (uint32_t count = ReadSampleStream(stream, samples.data(), uint32_t(samples.size()))) {
        uint32_t first = 0;
        while (first < count) {
            const TimedSample& start = samples[first];
            const double ratio = double(Capture.Rate) * start.Period / CpuClockHz;
            if (!PlayableRatio(ratio)) {
                EndRun(reader);
                ++first;
                continue;
            }
            if (!reader.InRun || start.Time != reader.NextTime) {
                EndRun(reader);
                reader.InRun = true;
                reader.Cursor = start.Time * uint64_t(Capture.Rate) / CpuClockHz;
            }
            // A stretch of samples at one rate, each following the last.
            uint32_t end = first;
            uint64_t next = start.Time;
            while (end < count && samples[end].Time == next && samples[end].Period == start.Period) {
                input[end - first] = float(samples[end].Value) / SampleFullScale;
                next += samples[end].Period;
                ++end;
            }
            Resample(reader, input.data(), long(end - first), ratio, false);
            reader.NextTime = next;
            reader.Period = start.Period;
            first = end;
        }
    }
}

void WriteMixed(uint64_t end) {
    std::array<uint8_t, PcmBufferSamples> bytes;
    while (Capture.Written < end) {
        const uint32_t count = uint32_t(std::min<uint64_t>(end - Capture.Written, bytes.size()));
        for (uint32_t i = 0; i < count; ++i) {
            float& mixed = MixAt(Capture.Written + i);
            bytes[i] = uint8_t(std::clamp(std::lround(mixed), -128l, 127l) + 128);
            mixed = 0;
        }
        if (std::fwrite(bytes.data(), 1, count, Capture.File) != count) Capture.Failed = true;
        Capture.Written += count;
    }
}

}  // namespace

bool StartWavCapture(const std::string& path, int32_t rate) {
    Capture.File = std::fopen(path.c_str(), "wb");
    if (!Capture.File) return false;
    Capture.Rate = rate;
    for (StreamReader& reader : Capture.Streams) {
        int error = 0;
        reader.Resampler = src_new(SRC_SINC_FASTEST, 1, &error);
        if (!reader.Resampler) return false;
    }
    WriteHeader();
    Host.OpenPcmOutput = [](int32_t, int32_t, bool (*fill)(uint8_t*)) {
        Capture.Fill = fill;
        return true;
    };
    Host.ClosePcmOutput = [] { Capture.Fill = nullptr; };
    return true;
}

void AdvanceWavCapture() {
    if (!Capture.File) return;
    Capture.Owed += uint64_t(Capture.Rate) * FrameCycles;
    std::array<uint8_t, PcmBufferSamples> samples;
    while (Capture.Owed >= PcmBufferSamples * uint64_t(CpuClockHz)) {
        Capture.Owed -= PcmBufferSamples * uint64_t(CpuClockHz);
        // A buffer the synthesiser leaves out plays as silence.
        if (!Capture.Fill || !Capture.Fill(samples.data())) samples.fill(0x80);
        for (int32_t i = 0; i < PcmBufferSamples; ++i) MixAt(Capture.ToneEnd + i) += float(samples[i]) - 128.0f;
        Capture.ToneEnd += PcmBufferSamples;
    }
    for (uint32_t stream = 0; stream < SampleStreamCount; ++stream) DrainStream(stream);
    if (Capture.ToneEnd > Capture.Written + HeldBack) WriteMixed(Capture.ToneEnd - HeldBack);
}

bool FinishWavCapture() {
    if (!Capture.File) return true;
    for (uint32_t stream = 0; stream < SampleStreamCount; ++stream) {
        DrainStream(stream);
        EndRun(Capture.Streams[stream]);
    }
    WriteMixed(Capture.ToneEnd);
    std::rewind(Capture.File);
    WriteHeader();
    if (std::fclose(Capture.File) != 0) Capture.Failed = true;
    Capture.File = nullptr;
    for (StreamReader& reader : Capture.Streams) reader.Resampler = src_delete(reader.Resampler);
    return !Capture.Failed;
}
