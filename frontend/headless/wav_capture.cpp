#include "frontend/headless/wav_capture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "machine/clock.h"
#include "machine/machine.h"
#include "machine/scanline.h"
#include "sound/pcm_synth.h"
#include "sound/sample_channels.h"

namespace {

constexpr uint64_t FrameCycles = uint64_t(DrawCycles + HblankCycles) * LinesPerFrame;
constexpr long WavHeaderSize = 44;

// The file is mixed in a window of samples not yet written: the tone
// channels' buffers land in it as they fall due, the sample channels up to
// the emulated time of each frame; what both have filled is written.
constexpr uint64_t MixWindow = 1u << 16;

struct WavCapture {
    std::FILE* File = nullptr;
    int32_t Rate = 0;
    bool (*Fill)(void* context, uint8_t* samples, int32_t count) = nullptr;
    void* FillContext = nullptr;
    uint64_t Owed = 0;  // samples owed, times CpuClockHz
    uint64_t Written = 0;
    uint64_t ToneEnd = 0;  // file samples the tone channels have filled
    std::vector<float> Mix = std::vector<float>(MixWindow);
    // The sample channels: the emulated time of the file's first sample
    // (known from the first frame on), and the file samples filled.
    bool Started = false;
    int64_t Origin = 0;
    uint64_t SampleEnd = 0;
    SampleLevelReader Levels;
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

// The sample channels' levels up to file sample `end`, each file sample the
// mean level over its own stretch of emulated time.
void RenderSampleChannels(SampleStream& stream, uint64_t end) {
    const double span = double(CpuClockHz) / Capture.Rate;
    std::array<float, PcmBufferSamples> samples;
    while (Capture.SampleEnd < end) {
        const int32_t count = int32_t(std::min<uint64_t>(end - Capture.SampleEnd, samples.size()));
        // Placed afresh each time, so that rounding never adds up.
        Capture.Levels.Cursor = double(Capture.Origin) + double(Capture.SampleEnd) * span;
        RenderSampleLevels(stream, Capture.Levels, samples.data(), count, span);
        for (int32_t i = 0; i < count; ++i) MixAt(Capture.SampleEnd + i) += samples[i] * SampleChannelPcmScale;
        Capture.SampleEnd += uint64_t(count);
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

bool StartWavCapture(Machine& m, const std::string& path, int32_t rate) {
    Capture.File = std::fopen(path.c_str(), "wb");
    if (!Capture.File) return false;
    Capture.Rate = rate;
    WriteHeader();
    m.Host.OpenPcmOutput = [](void*, int32_t, int32_t, bool (*fill)(void*, uint8_t*, int32_t), void* fillContext) {
        Capture.Fill = fill;
        Capture.FillContext = fillContext;
        return true;
    };
    m.Host.ClosePcmOutput = [](void*) { Capture.Fill = nullptr; };
    return true;
}

void AdvanceWavCapture(Machine& m) {
    if (!Capture.File) return;
    Capture.Owed += uint64_t(Capture.Rate) * FrameCycles;
    std::array<uint8_t, PcmBufferSamples> samples;
    while (Capture.Owed >= PcmBufferSamples * uint64_t(CpuClockHz)) {
        Capture.Owed -= PcmBufferSamples * uint64_t(CpuClockHz);
        // A buffer the synthesiser leaves out plays as silence.
        if (!Capture.Fill || !Capture.Fill(Capture.FillContext, samples.data(), PcmBufferSamples)) samples.fill(0x80);
        for (int32_t i = 0; i < PcmBufferSamples; ++i) MixAt(Capture.ToneEnd + i) += float(samples[i]) - 128.0f;
        Capture.ToneEnd += PcmBufferSamples;
    }
    // Called at the start of each vertical blank: the first call comes 160
    // lines into the run, and the file starts with the run.
    const int64_t now = ClockNow(m.Cpu, m.Clock);
    if (!Capture.Started) {
        Capture.Started = true;
        Capture.Origin = now - int64_t(VisibleLines * (DrawCycles + HblankCycles));
    }
    RenderSampleChannels(m.SampleLevels,
                         uint64_t(std::max<int64_t>(now - Capture.Origin, 0)) * uint64_t(Capture.Rate) / CpuClockHz);
    WriteMixed(std::min(Capture.ToneEnd, Capture.SampleEnd));
}

bool FinishWavCapture(Machine& m) {
    if (!Capture.File) return true;
    RenderSampleChannels(m.SampleLevels, Capture.ToneEnd);
    WriteMixed(Capture.ToneEnd);
    std::rewind(Capture.File);
    WriteHeader();
    if (std::fclose(Capture.File) != 0) Capture.Failed = true;
    Capture.File = nullptr;
    return !Capture.Failed;
}
