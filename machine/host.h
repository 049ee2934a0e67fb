#pragma once
// The core's one window to the outside world. A front-end fills in the
// operations it offers; each has a do-nothing default, so the core runs
// headless (tests, the headless runner) with no host at all.

#include <cstdint>

struct HostInterface {
    // Called once per frame at the start of vertical blank. Dispatches the
    // host's pending events and returns the pressed keys (keypad mask,
    // 1 = pressed: bit 0 A, 1 B, 2 Select, 3 Start, 4 Right, 5 Left, 6 Up,
    // 7 Down, 8 R, 9 L). May raise StopRequested.
    uint32_t (*PollInput)() = [] { return 0u; };

    // Shows the finished frame surface (500 x 160 16-bit pixels).
    void (*PresentFrame)(const uint16_t* surface) = [](const uint16_t*) {};

    // Blocks until the frame timer's next tick when pacing is on.
    void (*WaitFrameTick)() = [] {};

    // MIDI output: a General MIDI synthesiser that takes three-byte channel
    // messages. Open returns false when there is none (no synthesiser, no
    // instruments or no audio output); the emulation then runs silently.
    bool (*OpenMidiOutput)() = [] { return false; };
    // Status byte in bits 0-7, first data byte in bits 8-15, second in 16-23.
    void (*SendMidiMessage)(uint32_t message) = [](uint32_t) {};
    // Master volume, 0-255.
    void (*SetMidiVolume)(int32_t volume) = [](int32_t) {};
    // Silences every note and closes the output.
    void (*CloseMidiOutput)() = [] {};

    // PCM output: unsigned 8-bit mono samples at `rate` Hz, played in buffers
    // of PcmBufferSamples. The host starts with `buffers` silent buffers
    // queued and, on a thread of its own, calls `fill` for each buffer as
    // soon as one has been played; the buffer is queued again when fill
    // returns true and left out of the queue when it returns false. Open
    // returns false when there is no audio output.
    bool (*OpenPcmOutput)(int32_t rate, int32_t buffers,
                          bool (*fill)(uint8_t* samples)) = [](int32_t, int32_t, bool (*)(uint8_t*)) { return false; };
    // A paused output keeps its queue and plays nothing.
    void (*PausePcmOutput)(bool paused) = [](bool) {};
    // Output gain, 0 (silent) to 255 (full).
    void (*SetPcmVolume)(int32_t volume) = [](int32_t) {};
    // Stops playing and closes; fill is not called again once this returns.
    void (*ClosePcmOutput)() = [] {};

    // Something the player must hear of: a battery file that cannot be
    // written, a file that is not a regular file. One line, no line end.
    void (*ReportProblem)(const char* message) = [](const char*) {};
};

// Samples in one PCM output buffer.
inline constexpr int32_t PcmBufferSamples = 1024;

extern HostInterface Host;
