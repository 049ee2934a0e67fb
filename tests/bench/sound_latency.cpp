// The PCM output's delay, measured as a player hears it: a tone plays, the
// game silences it (as a game does when a key pauses it), and the clock
// runs until the silence comes out of the audio device. SDL's disk driver
// stands in for the sound card: it writes each block the device would
// play into a file at the device's pace, so the moment the first silent
// block appears in the file is the moment it would reach the speaker
// (the sound server's own delay not counted). Not part of the test suite:
//   koru_sound_latency [RATE [BUFFERS [TRIALS]]]   (defaults 22050 16 10)

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "game/game.h"
#include "machine/machine.h"
#include "platform/audio/audio_host.h"
#include "sound/sound_output.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
    const int rate = argc > 1 ? std::atoi(argv[1]) : 22050;
    const int buffers = argc > 2 ? std::atoi(argv[2]) : 16;
    const int trials = argc > 3 ? std::atoi(argv[3]) : 10;
    const std::string file = "/tmp/koru_sound_latency.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    const std::unique_ptr<Machine> machine = CreateMachine();
    Machine& m = *machine;
    InstallAudioHost(m);
    for (OutputChannel& channel : m.SoundDevice.Channels) channel.Voice.store(VoiceTone);
    if (!OpenSoundDevice(m, rate, buffers)) {
        std::fprintf(stderr, "no SDL disk audio: %s\n", SDL_GetError());
        return 1;
    }
    SetMasterVolume(m, 255, 0xFFFF);
    std::vector<double> delays;
    for (int trial = 0; trial < trials; ++trial) {
        PlayTone(m, 0, 441, 255);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const size_t before = ReadAll(file).size();
        const auto silenced = Clock::now();
        PlayTone(m, 0, 441, 0);
        // The silence is out once a run of 64 centre samples follows the
        // tone in what was written since.
        for (;;) {
            const std::vector<uint8_t> played = ReadAll(file);
            size_t run = 0;
            bool found = false;
            for (size_t i = before; i < played.size() && !found; ++i) {
                run = played[i] == 0x80 ? run + 1 : 0;
                found = run >= 64;
            }
            if (found) break;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        // The silence began 64 samples before it was recognised.
        delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - silenced).count() -
                         64000.0 / rate);
    }
    CloseSoundDevice(m);
    std::remove(file.c_str());
    std::sort(delays.begin(), delays.end());
    std::printf("PCM %d Hz, %d buffers: silence out after %.1f ms (median of %d; min %.1f, max %.1f)\n", rate,
                buffers, delays[delays.size() / 2], trials, delays.front(), delays.back());
    return 0;
}
