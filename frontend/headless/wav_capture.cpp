#include "frontend/headless/wav_capture.h"

#include <array>
#include <cstdio>

#include "machine/host.h"
#include "machine/scanline.h"

namespace {

constexpr uint64_t CpuClockHz = 16777216;
constexpr uint64_t FrameCycles = uint64_t(DrawCycles + HblankCycles) * LinesPerFrame;
constexpr long WavHeaderSize = 44;

struct WavCapture {
    std::FILE* File = nullptr;
    int32_t Rate = 0;
    bool (*Fill)(uint8_t* samples) = nullptr;
    uint64_t Owed = 0;  // samples owed, times CpuClockHz
    uint32_t Samples = 0;
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
    PutLittleEndian(&header[4], 36 + Capture.Samples, 4);
    PutLittleEndian(&header[24], uint32_t(Capture.Rate), 4);  // sample rate
    PutLittleEndian(&header[28], uint32_t(Capture.Rate), 4);  // bytes per second
    PutLittleEndian(&header[32], 1, 2);                       // block alignment
    PutLittleEndian(&header[34], 8, 2);                       // bits per sample
    header[36] = 'd';
    header[37] = 'a';
    header[38] = 't';
    header[39] = 'a';
    PutLittleEndian(&header[40], Capture.Samples, 4);
    if (std::fwrite(header.data(), 1, header.size(), Capture.File) != header.size()) Capture.Failed = true;
}

}  // namespace

bool StartWavCapture(const std::string& path, int32_t rate) {
    Capture.File = std::fopen(path.c_str(), "wb");
    if (!Capture.File) return false;
    Capture.Rate = rate;
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
    while (Capture.Owed >= PcmBufferSamples * CpuClockHz) {
        Capture.Owed -= PcmBufferSamples * CpuClockHz;
        // A buffer the synthesiser leaves out plays as silence.
        if (!Capture.Fill || !Capture.Fill(samples.data())) samples.fill(0x80);
        if (std::fwrite(samples.data(), 1, samples.size(), Capture.File) != samples.size()) Capture.Failed = true;
        Capture.Samples += PcmBufferSamples;
    }
}

bool FinishWavCapture() {
    if (!Capture.File) return true;
    std::rewind(Capture.File);
    WriteHeader();
    if (std::fclose(Capture.File) != 0) Capture.Failed = true;
    Capture.File = nullptr;
    return !Capture.Failed;
}
