#pragma once
// The core's one window to the outside world. Each machine has its own
// HostInterface (Machine::Host): a front-end fills in the operations it
// offers and a Context pointer that every operation gets back, so two
// machines can serve two different front-ends. Each operation has a
// do-nothing default, so the core runs headless (tests, the headless
// runner) with no host at all.

#include <cstdint>

struct HostInterface {
    // Handed back as the first argument of every operation.
    void* Context = nullptr;

    // Called once per frame at the start of vertical blank; returns the
    // pressed keys (keypad mask, 1 = pressed: bit 0 A, 1 B, 2 Select,
    // 3 Start, 4 Right, 5 Left, 6 Up, 7 Down, 8 R, 9 L). May raise the
    // machine's StopRequested.
    uint32_t (*PollInput)(void* context) = [](void*) { return 0u; };

    // Shows the finished frame surface (500 x 160 16-bit pixels).
    void (*PresentFrame)(void* context, const uint16_t* surface) = [](void*, const uint16_t*) {};

    // Called before each presented frame; a front-end that paces the
    // emulation inside a frame blocks here until its frame timer ticks.
    void (*WaitFrameTick)(void* context) = [](void*) {};

    // MIDI output: a General MIDI synthesiser that takes three-byte channel
    // messages. Open returns false when there is none (no synthesiser, no
    // instruments or no audio output); the emulation then runs silently.
    bool (*OpenMidiOutput)(void* context) = [](void*) { return false; };
    // Status byte in bits 0-7, first data byte in bits 8-15, second in 16-23.
    void (*SendMidiMessage)(void* context, uint32_t message) = [](void*, uint32_t) {};
    // Master volume, 0-255.
    void (*SetMidiVolume)(void* context, int32_t volume) = [](void*, int32_t) {};
    // Silences every note and closes the output.
    void (*CloseMidiOutput)(void* context) = [](void*) {};

    // PCM output: unsigned 8-bit mono samples at `rate` Hz, played in
    // buffers of at most PcmBufferSamples, whose size the host chooses. The
    // host starts with `buffers` silent buffers queued and, on a thread of
    // its own, calls fill(fillContext, samples, count) for each buffer as
    // soon as one has been played; the buffer is queued again when fill
    // returns true and left out of the queue when it returns false. Open
    // returns false when there is no audio output.
    bool (*OpenPcmOutput)(void* context, int32_t rate, int32_t buffers,
                          bool (*fill)(void* fillContext, uint8_t* samples, int32_t count), void* fillContext) =
        [](void*, int32_t, int32_t, bool (*)(void*, uint8_t*, int32_t), void*) { return false; };
    // A paused output keeps its queue and plays nothing.
    void (*PausePcmOutput)(void* context, bool paused) = [](void*, bool) {};
    // Output gain, 0 (silent) to 255 (full).
    void (*SetPcmVolume)(void* context, int32_t volume) = [](void*, int32_t) {};
    // Stops playing and closes; fill is not called again once this returns.
    void (*ClosePcmOutput)(void* context) = [](void*) {};

    // Something the player must hear of: a battery file that cannot be
    // written, a file that is not a regular file. One line, no line end.
    void (*ReportProblem)(void* context, const char* message) = [](void*, const char*) {};
    // Something the player should know once, that is no problem: where a
    // save went. One line, no line end.
    void (*ReportNote)(void* context, const char* message) = [](void*, const char*) {};
};

// The most samples in one PCM output buffer.
inline constexpr int32_t PcmBufferSamples = 1024;
