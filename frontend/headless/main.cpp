// koru-headless: runs a cartridge without a window, for tests, benchmarks
// and scripted runs.

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "cpu/cpu_state.h"
#include "frontend/headless/options.h"
#include "frontend/headless/screenshot.h"
#include "frontend/headless/wav_capture.h"
#include "game/battery.h"
#include "game/battery_file.h"
#include "game/game.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "machine/host.h"
#include "machine/page_table.h"
#include "machine/scanline.h"
#include "sound/midi_log.h"
#include "sound/sound_output.h"
#include "video/render_line.h"

namespace {

HeadlessOptions Options;
uint32_t FramesRun = 0;

// Called once per frame at the start of vertical blank: counts frames and
// asks for the stop when the run has reached its end.
uint32_t PollHeadlessInput() {
    AdvanceWavCapture();
    uint32_t keys = 0;
    for (const KeyChange& change : Options.keys)
        if (change.frame <= FramesRun) keys = change.keys;
    ++FramesRun;
    if (FramesRun >= Options.frames) StopRequested = true;
    if (Options.untilSet && PeekWord(Options.untilAddress) == Options.untilValue) StopRequested = true;
    return keys;
}

// The picture of the last presented frame, kept because the surface itself
// already holds lines of the next frame when the run stops.
std::array<uint16_t, SurfaceWidth * SurfaceHeight> LastPresented{};
uint32_t FramesPresented = 0;
bool ScreenshotFailed = false;

void CaptureFrame(const uint16_t* surface) {
    std::copy(surface, surface + LastPresented.size(), LastPresented.begin());
    ++FramesPresented;
    if (Options.screenshotEvery && FramesPresented % Options.screenshotEvery == 0) {
        char number[16];
        std::snprintf(number, sizeof number, "-%06u.png", FramesPresented);
        const std::string path = Options.screenshotPrefix + number;
        if (!WriteScreenshot(path, surface)) {
            std::fprintf(stderr, "koru-headless: cannot write %s\n", path.c_str());
            ScreenshotFailed = true;
        }
    }
}

bool WriteDump(const MemoryDump& dump) {
    std::FILE* file = std::fopen(dump.file.c_str(), "wb");
    if (!file) return false;
    for (uint32_t i = 0; i < dump.length; ++i) std::fputc(PeekByte(dump.address + i), file);
    return std::fclose(file) == 0;
}

// Runs inside StartGame once the machine is reset: loads the snapshot named
// by --load-state, or stops the run at its first frame when that fails.
bool StateLoadFailed = false;

void LoadRequestedState() {
    if (LoadState(Options.loadState.c_str())) return;
    StateLoadFailed = true;
    StopRequested = true;
}

// The runner has no audio device of its own: PCM sound goes to the --wav
// file or nowhere, and the MIDI log records whatever the device plays.
bool StartSound() {
    const bool pcmDefault = !Options.wav.empty() && !Options.soundRateSet;
    Settings.SoundRate = pcmDefault ? 22050 : int32_t(Options.soundRate);
    if (!Options.wav.empty() && !StartWavCapture(Options.wav, Settings.SoundRate)) {
        std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.wav.c_str());
        return false;
    }
    if (!Options.midiLog.empty()) {
        std::snprintf(Settings.SoundLogFile, sizeof Settings.SoundLogFile, "%s", Options.midiLog.c_str());
        // As the F2 key would: the game start then begins the file anew.
        InitMidiLog(Settings.SoundLogFile);
        if (!SetMidiLog(1)) {
            std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.midiLog.c_str());
            return false;
        }
    }
    OpenSoundDevice(Settings.SoundRate, Settings.SoundBuffers);
    SetMasterVolume(Settings.SoundVolume, Settings.SoundSwitch);
    return true;
}

void ReportProblem(const char* message) { std::fprintf(stderr, "koru-headless: %s\n", message); }

void PrintRegisters() {
    for (int reg = 0; reg < 16; ++reg) std::printf("R%d=%08X ", reg, Cpu.R[reg]);
    std::printf("CPSR=%08X\n", Cpu.CPSR);
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(HeadlessUsage().c_str(), stdout);
        return 0;
    }
    if (!ParseHeadlessOptions(argc, argv, Options, error)) {
        std::fprintf(stderr, "koru-headless: %s\n%s", error.c_str(), HeadlessUsage().c_str());
        return 2;
    }
    Verbose = Options.verbose;
    // Under a file size limit (ulimit -f) a write past it fails with EFBIG
    // like a full disk, instead of killing the process in the middle.
    std::signal(SIGXFSZ, SIG_IGN);
    Host.ReportProblem = ReportProblem;
    Host.PollInput = PollHeadlessInput;
    if (!Options.screenshot.empty() || Options.screenshotEvery) Host.PresentFrame = CaptureFrame;
    if (!Options.bios.empty()) BiosPath = Options.bios.c_str();
    LoadDefaultState = Options.defaultState;
    BatteryFileEnabled = Options.battery;
    if (!Options.headerCheck) Settings.CheckCRC = 0;
    Settings.SaveType = Options.saveType;
    if (!Options.loadState.empty()) StartHook = LoadRequestedState;
    if (!StartSound()) return 3;

    const GameRunResult run = StartGame(Options.cartridge.c_str());
    int status = 0;
    if (!run.Started) {
        std::fprintf(stderr, "koru-headless: cannot start %s: %s\n", Options.cartridge.c_str(),
                     StartFailureText(LastStartFailure));
        status = 1;
    } else if (StateLoadFailed) {
        std::fprintf(stderr, "koru-headless: cannot load the snapshot %s\n", Options.loadState.c_str());
        status = 1;
    } else {
        if (Options.printRegisters) PrintRegisters();
        if (!Options.saveState.empty() && !SaveState(Options.saveState.c_str())) {
            std::fprintf(stderr, "koru-headless: cannot write the snapshot %s\n", Options.saveState.c_str());
            status = 3;
        }
        for (const MemoryDump& dump : Options.dumps) {
            if (!WriteDump(dump)) {
                std::fprintf(stderr, "koru-headless: cannot write %s\n", dump.file.c_str());
                status = 3;
            }
        }
        if (!Options.screenshot.empty() && !WriteScreenshot(Options.screenshot, LastPresented.data())) {
            std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.screenshot.c_str());
            status = 3;
        }
        if (ScreenshotFailed) status = 3;
        if (Options.bench) {
            const double seconds = LastRunSeconds;
            std::printf("frames=%u seconds=%.6f fps=%.1f\n", FramesRun, seconds,
                        seconds > 0 ? FramesRun / seconds : 0.0);
        }
    }
    EndGame();
    // A run that could not start keeps its status 1. The battery file's
    // failure was said when it happened.
    if (status == 0 && BatteryWriteFailed()) status = 3;
    if (!Options.midiLog.empty() && MidiLogWriteFailed()) {
        std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.midiLog.c_str());
        if (status == 0) status = 3;
    }
    CloseSoundDevice();
    if (!FinishWavCapture()) {
        std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.wav.c_str());
        status = 3;
    }
    if (!run.Started) {
        // Nothing ran: leave no empty recordings behind.
        if (!Options.wav.empty()) std::remove(Options.wav.c_str());
        if (!Options.midiLog.empty()) std::remove(Options.midiLog.c_str());
    }
    return status;
}
