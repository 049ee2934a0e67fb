// koru-headless: runs a cartridge without a window, for tests, benchmarks
// and scripted runs.

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "cpu/run_loop.h"
#include "frontend/headless/options.h"
#include "frontend/screenshot.h"
#include "frontend/headless/wav_capture.h"
#include "game/battery_file.h"
#include "game/game.h"
#include "game/snapshot.h"
#include "machine/machine.h"
#include "sound/midi_log.h"
#include "sound/sound_output.h"
#include "video/render_line.h"

namespace {

HeadlessOptions Options;
uint32_t FramesRun = 0;

// Called once per frame at the start of vertical blank: counts frames and
// asks for the stop when the run has reached its end.
uint32_t PollHeadlessInput(void* context) {
    Machine& m = *static_cast<Machine*>(context);
    AdvanceWavCapture(m);
    uint32_t keys = 0;
    for (const KeyChange& change : Options.keys)
        if (change.frame <= FramesRun) keys = change.keys;
    ++FramesRun;
    if (FramesRun >= Options.frames) m.StopRequested = true;
    if (Options.untilSet && PeekWord(m.PageTable, Options.untilAddress) == Options.untilValue) m.StopRequested = true;
    return keys;
}

// The picture of the last presented frame, kept because the surface itself
// already holds lines of the next frame when the run stops.
std::array<uint16_t, SurfaceWidth * SurfaceHeight> LastPresented{};
uint32_t FramesPresented = 0;
bool ScreenshotFailed = false;

void CaptureFrame(void*, const uint16_t* surface) {
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

bool WriteDump(const Machine& m, const MemoryDump& dump) {
    std::FILE* file = std::fopen(dump.file.c_str(), "wb");
    if (!file) return false;
    for (uint32_t i = 0; i < dump.length; ++i) std::fputc(PeekByte(m.PageTable, dump.address + i), file);
    return std::fclose(file) == 0;
}

// The runner has no audio device of its own: PCM sound goes to the --wav
// file or nowhere, and the MIDI log records whatever the device plays.
bool StartSound(Machine& m) {
    GameSettings& settings = m.Settings;
    const bool pcmDefault = !Options.wav.empty() && !Options.soundRateSet;
    settings.SoundRate = pcmDefault ? 22050 : int32_t(Options.soundRate);
    if (!Options.wav.empty() && !StartWavCapture(m, Options.wav, settings.SoundRate)) {
        std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.wav.c_str());
        return false;
    }
    if (!Options.midiLog.empty()) {
        std::snprintf(settings.SoundLogFile, sizeof settings.SoundLogFile, "%s", Options.midiLog.c_str());
        // As the F2 key would: the game start then begins the file anew.
        InitMidiLog(m.MidiLog, settings.SoundLogFile);
        if (!SetMidiLog(m.MidiLog, MidiLogSwitch::On)) {
            std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.midiLog.c_str());
            return false;
        }
    }
    OpenSoundDevice(m, settings.SoundRate, settings.SoundBuffers);
    SetMasterVolume(m, settings.SoundVolume, settings.SoundSwitch);
    return true;
}

void ReportProblem(void*, const char* message) { std::fprintf(stderr, "koru-headless: %s\n", message); }

void PrintRegisters(const CpuState& cpu) {
    for (int reg = 0; reg < 16; ++reg) std::printf("R%d=%08X ", reg, cpu.R[reg]);
    std::printf("CPSR=%08X\n", cpu.CPSR);
}

// Runs the game frame by frame until it stops; the seconds spent.
double RunGame(Machine& m) {
    const auto started = std::chrono::steady_clock::now();
    while (RunFrame(m) != FrameEnd::Stopped) {
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

// What the run left behind: the registers, the snapshot, the dumps and the
// screenshot the options ask for. 0, or 3 when a file could not be written.
int WriteResults(Machine& m, double seconds) {
    int status = 0;
    if (Options.printRegisters) PrintRegisters(m.Cpu);
    if (!Options.saveState.empty() && !SaveState(m, Options.saveState.c_str())) {
        std::fprintf(stderr, "koru-headless: cannot write the snapshot %s\n", Options.saveState.c_str());
        status = 3;
    }
    for (const MemoryDump& dump : Options.dumps) {
        if (!WriteDump(m, dump)) {
            std::fprintf(stderr, "koru-headless: cannot write %s\n", dump.file.c_str());
            status = 3;
        }
    }
    if (!Options.screenshot.empty() && !WriteScreenshot(Options.screenshot, LastPresented.data())) {
        std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.screenshot.c_str());
        status = 3;
    }
    if (ScreenshotFailed) status = 3;
    if (Options.bench)
        std::printf("frames=%u seconds=%.6f fps=%.1f\n", FramesRun, seconds, seconds > 0 ? FramesRun / seconds : 0.0);
    return status;
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
    const std::unique_ptr<Machine> machine = CreateMachine();
    if (!machine) {
        std::fprintf(stderr, "koru-headless: out of memory\n");
        return 1;
    }
    Machine& m = *machine;
    m.Verbose = Options.verbose;
    // Under a file size limit (ulimit -f) a write past it fails with EFBIG
    // like a full disk, instead of killing the process in the middle.
    std::signal(SIGXFSZ, SIG_IGN);
    m.Host.Context = &m;
    m.Host.ReportProblem = ReportProblem;
    m.Host.ReportNote = ReportProblem;
    m.Host.PollInput = PollHeadlessInput;
    if (!Options.screenshot.empty() || Options.screenshotEvery) m.Host.PresentFrame = CaptureFrame;
    if (!Options.bios.empty()) m.BiosPath = Options.bios.c_str();
    m.LoadDefaultState = Options.defaultState;
    m.BatteryFileEnabled = Options.battery;
    if (!Options.headerCheck) m.Settings.CheckCRC = 0;
    m.Settings.SaveType = Options.saveType;
    if (!StartSound(m)) return 3;

    const GameStart start = StartGame(m, Options.cartridge.c_str());
    int status = 0;
    if (!start.Started()) {
        std::fprintf(stderr, "koru-headless: cannot start %s: %s\n", Options.cartridge.c_str(),
                     StartFailureText(start.Failure));
        status = 1;
    } else if (!Options.loadState.empty() && !LoadState(m, Options.loadState.c_str())) {
        // Nothing runs from a refused snapshot.
        std::fprintf(stderr, "koru-headless: cannot load the snapshot %s\n", Options.loadState.c_str());
        status = 1;
    } else {
        status = WriteResults(m, RunGame(m));
    }
    EndGame(m);
    // A run that could not start keeps its status 1. The battery file's
    // failure was said when it happened.
    if (status == 0 && BatteryWriteFailed(m)) status = 3;
    if (!Options.midiLog.empty() && MidiLogWriteFailed(m.MidiLog)) {
        std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.midiLog.c_str());
        if (status == 0) status = 3;
    }
    CloseSoundDevice(m);
    if (!FinishWavCapture(m)) {
        std::fprintf(stderr, "koru-headless: cannot write %s\n", Options.wav.c_str());
        status = 3;
    }
    if (!start.Started()) {
        // Nothing ran: leave no empty recordings behind.
        if (!Options.wav.empty()) std::remove(Options.wav.c_str());
        if (!Options.midiLog.empty()) std::remove(Options.midiLog.c_str());
    }
    return status;
}
