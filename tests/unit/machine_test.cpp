// Two machines in one process: a CPU test cartridge and a picture cartridge
// run side by side, their frames interleaved, and each comes to exactly
// what it comes to alone: the CPU cartridge's result block says every check
// passed, the picture is the one its solo run draws, and both machines'
// whole state matches their solo runs byte for byte.

#include "machine/machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cpu/run_loop.h"
#include "game/game.h"
#include "tests/support/machine_state.h"

namespace {

constexpr int Frames = 120;

std::unique_ptr<Machine> Started(const std::string& cartridge) {
    std::unique_ptr<Machine> m = CreateMachine();
    m->BatteryFileEnabled = false;
    m->LoadDefaultState = false;
    EXPECT_TRUE(StartGame(*m, cartridge.c_str()).Started()) << cartridge;
    return m;
}

// Everything a machine holds that the run can change, as bytes.
std::vector<uint8_t> StateOf(const Machine& m) {
    std::vector<uint8_t> bytes;
    VisitMachineState(m, [&](const void* data, size_t size) {
        const auto* from = static_cast<const uint8_t*>(data);
        // Pointers into the machine differ from machine to machine.
        if (size == sizeof(void*) || size == sizeof(BackupBus)) return;
        bytes.insert(bytes.end(), from, from + size);
    });
    const auto* surface = reinterpret_cast<const uint8_t*>(m.FrameSurface.data());
    bytes.insert(bytes.end(), surface, surface + sizeof m.FrameSurface);
    return bytes;
}

uint32_t ResultWord(const Machine& m, uint32_t offset) { return PeekWord(m.PageTable, 0x03000000 + offset); }

TEST(TwoMachines, RunSideBySideAsTheyRunAlone) {
    const std::string cpuCartridge = KORU_CARTRIDGE_DIR "/arm_alu.gba";
    const std::string pictureCartridge = KORU_CARTRIDGE_DIR "/video_effects.gba";

    std::vector<uint8_t> alone[2];
    for (int i = 0; i < 2; ++i) {
        const std::unique_ptr<Machine> m = Started(i == 0 ? cpuCartridge : pictureCartridge);
        for (int frame = 0; frame < Frames; ++frame) ASSERT_EQ(RunFrame(*m), FrameEnd::Presented);
        alone[i] = StateOf(*m);
        EndGame(*m);
    }

    const std::unique_ptr<Machine> cpu = Started(cpuCartridge);
    const std::unique_ptr<Machine> picture = Started(pictureCartridge);
    for (int frame = 0; frame < Frames; ++frame) {
        ASSERT_EQ(RunFrame(*cpu), FrameEnd::Presented);
        ASSERT_EQ(RunFrame(*picture), FrameEnd::Presented);
    }
    EXPECT_EQ(ResultWord(*cpu, 0x00), 0x600DC0DEu) << "the CPU cartridge finished";
    EXPECT_EQ(ResultWord(*cpu, 0x0C), 0u) << "no check failed";
    EXPECT_EQ(ResultWord(*cpu, 0x08), ResultWord(*cpu, 0x18)) << "every check passed";
    EXPECT_TRUE(StateOf(*cpu) == alone[0]) << "the CPU cartridge's machine as after its solo run";
    EXPECT_TRUE(StateOf(*picture) == alone[1]) << "the picture cartridge's machine and picture as alone";

    // A stop asked of one machine ends its run and leaves the other going.
    cpu->StopRequested = true;
    EXPECT_EQ(RunFrame(*cpu), FrameEnd::Stopped);
    EXPECT_EQ(RunFrame(*picture), FrameEnd::Presented);
    EndGame(*cpu);
    EndGame(*picture);
}

}  // namespace
