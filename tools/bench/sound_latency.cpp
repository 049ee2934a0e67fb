// The PCM output's delay, measured as a player hears it: a tone plays, the
// game silences it (as a game does when a key pauses it), and the clock
// runs until the silence comes out. Not part of the test suite:
//   koru_sound_latency [RATE [BUFFERS [TRIALS [MONITOR]]]]   (22050 16 10)
// With MONITOR (a PulseAudio source such as "NULLSINK.monitor") the output
// goes to the sound server and what the server plays is recorded from that
// source with `parec`, each piece timed as it arrives: the whole delay a
// player hears, the server's included (plus the recording's few ms).
// Without it SDL's disk driver stands in for the sound card and the file
// it writes is watched; it writes through a 4 KB stdio buffer, so that
// figure is coarse (up to 186 ms late at 22050 Hz) and only its minimum
// says much.

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "game/game.h"
#include "machine/machine.h"
#include "platform/audio/audio_host.h"
#include "sound/sound_output.h"

namespace {

using Clock = std::chrono::steady_clock;

// What came out so far, with the time each sample arrived.
struct Heard {
    std::mutex Lock;
    std::vector<uint8_t> Samples;
    std::vector<Clock::time_point> Times;
    std::atomic<bool> Stop{false};
};

void Record(Heard& heard, FILE* source) {
    std::vector<uint8_t> chunk(64);
    while (!heard.Stop) {
        const size_t count = std::fread(chunk.data(), 1, chunk.size(), source);
        if (count == 0) break;
        const auto now = Clock::now();
        std::lock_guard lock(heard.Lock);
        heard.Samples.insert(heard.Samples.end(), chunk.begin(), chunk.begin() + count);
        heard.Times.insert(heard.Times.end(), count, now);
    }
}

void WatchFile(Heard& heard, const std::string& path) {
    size_t seen = 0;
    while (!heard.Stop) {
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> all(std::istreambuf_iterator<char>(in), {});
        if (all.size() > seen) {
            const auto now = Clock::now();
            std::lock_guard lock(heard.Lock);
            heard.Samples.insert(heard.Samples.end(), all.begin() + seen, all.end());
            heard.Times.insert(heard.Times.end(), all.size() - seen, now);
            seen = all.size();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

// The first sample of a run of 64 silent ones at or after `from`.
long FindSilence(const std::vector<uint8_t>& samples, size_t from) {
    size_t run = 0;
    for (size_t i = from; i < samples.size(); ++i) {
        run = samples[i] == 0x80 ? run + 1 : 0;
        if (run == 64) return long(i - 63);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int rate = argc > 1 ? std::atoi(argv[1]) : 22050;
    const int buffers = argc > 2 ? std::atoi(argv[2]) : 16;
    const int trials = argc > 3 ? std::atoi(argv[3]) : 10;
    const std::string monitor = argc > 4 ? argv[4] : "";
    const std::string file = "/tmp/koru_sound_latency.raw";
    Heard heard;
    FILE* recorder = nullptr;
    std::thread listener;
    if (monitor.empty()) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    } else {
        const std::string command = "parec --raw --format=u8 --channels=1 --rate=" + std::to_string(rate) +
                                    " --latency-msec=2 -d " + monitor;
        recorder = popen(command.c_str(), "r");
        if (!recorder) return 1;
        setvbuf(recorder, nullptr, _IONBF, 0);
        listener = std::thread(Record, std::ref(heard), recorder);
    }
    const std::unique_ptr<Machine> machine = CreateMachine();
    Machine& m = *machine;
    InstallAudioHost(m);
    for (OutputChannel& channel : m.SoundDevice.Channels) channel.Voice.store(VoiceTone);
    if (!OpenSoundDevice(m, rate, buffers)) {
        std::fprintf(stderr, "no audio output: %s\n", SDL_GetError());
        return 1;
    }
    if (monitor.empty()) listener = std::thread(WatchFile, std::ref(heard), file);
    SetMasterVolume(m, 255, 0xFFFF);
    // The recorder takes a moment to start listening.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::vector<double> delays;
    for (int trial = 0; trial < trials; ++trial) {
        PlayTone(m, 0, 441, 255);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        size_t before = 0;
        {
            std::lock_guard lock(heard.Lock);
            before = heard.Samples.size();
        }
        const auto silenced = Clock::now();
        PlayTone(m, 0, 441, 0);
        for (long found = -1; found < 0;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::lock_guard lock(heard.Lock);
            found = FindSilence(heard.Samples, before);
            if (found >= 0)
                delays.push_back(std::chrono::duration<double, std::milli>(heard.Times[size_t(found)] - silenced).count());
        }
    }
    CloseSoundDevice(m);
    heard.Stop = true;
    if (recorder) pclose(recorder);
    listener.join();
    std::remove(file.c_str());
    std::printf("each trial (ms):");
    for (double delay : delays) std::printf(" %.0f", delay);
    std::printf("\n");
    std::sort(delays.begin(), delays.end());
    std::printf("PCM %d Hz, %d buffers, %s: silence out after %.1f ms (median of %d; min %.1f, max %.1f)\n", rate,
                buffers, monitor.empty() ? "disk driver" : monitor.c_str(), delays[delays.size() / 2], trials,
                delays.front(), delays.back());
    return 0;
}
