// The scanline driver without the CPU: line 160 (the input poll, the keypad
// register and interrupt, the stop request, the sound tick, in that order)
// and frame skipping. The display interrupts' timing is checked by
// cartridges/system/*.c, the affine backgrounds' steps by the golden pictures.

#include "machine/scanline.h"

#include <gtest/gtest.h>

#include <vector>

#include "game/game.h"
#include "game/settings.h"
#include "machine/bus.h"
#include "machine/display_registers.h"
#include "machine/host.h"
#include "machine/interrupts.h"
#include "machine/io_registers.h"
#include "sound/sound_chip.h"
#include "tests/support/scanline_steps.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t IoBase = 0x04000000;
constexpr int SlicesPerFrame = 456;

// What the host saw during a test.
struct HostLog {
    int presents = 0;
    int ticks = 0;
    std::vector<uint32_t> pollLines;  // VCOUNT at each poll
    uint32_t keys = 0;                // reported as pressed
    bool stopAtPoll = false;
};
HostLog Log;

// A machine after reset with a recording host; the globals the driver reads
// are put back afterwards.
class Scanline : public testing::Test {
protected:
    void SetUp() override {
        savedHost = Host;
        savedSettings = Settings;
        Log = HostLog{};
        FrameSkipCount = 0;
        AutoFirePhase = 0;
        Host.PollInput = [] {
            Log.pollLines.push_back(CurrentLine());
            if (Log.stopAtPoll) StopRequested = true;
            return Log.keys;
        };
        Host.PresentFrame = [](const uint16_t*) { ++Log.presents; };
        Host.WaitFrameTick = [] { ++Log.ticks; };
    }
    void TearDown() override {
        Host = savedHost;
        Settings = savedSettings;
        StopRequested = false;
        FrameSkipCount = 0;
    }

    TestMachine machine;
    HostInterface savedHost;
    GameSettings savedSettings;
};

// KEYINPUT reads 0 for each pressed key, and 0 in the six bits above the
// keys whatever is reported. The keypad interrupt needs its enable and a
// selected key; any and all of the selected keys are the keypad cartridge's.
TEST_F(Scanline, KeypadRegisterAndInterrupt) {
    const struct {
        uint16_t keycnt;
        uint32_t pressed;
        uint16_t keyinput;
        bool requested;
    } cases[] = {
        {0x4003, 0x0009, 0x03F6, true},   // any of A and B; A and Start held
        {0x0003, 0x0003, 0x03FC, false},  // interrupt not enabled
        {0xC000, 0x0000, 0x03FF, false},  // all of no keys
        {0x0000, 0xFFFFF3FF, 0x0000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keycnt);
        BusWrite16(IoBase + Io::KEYCNT, c.keycnt);
        StoreIoHalf(Io::IF, 0);
        Log.keys = c.pressed;
        AdvanceTo(160, false);
        EXPECT_EQ(ReadIoHalf(Io::KEYINPUT), c.keyinput);
        EXPECT_EQ((ReadIoHalf(Io::IF) & IrqKeypad) != 0, c.requested);
    }
}

TEST_F(Scanline, AutofireReleasesKeysFourFramesInEight) {
    Settings.AutoFire = 0x001;
    Log.keys = 0x003;           // A and B held
    std::vector<int> released;  // KEYINPUT's A and B bits, frame by frame
    for (int frame = 0; frame < 9; ++frame) {
        AdvanceTo(160, false);
        released.push_back(ReadIoHalf(Io::KEYINPUT) & 3);
    }
    EXPECT_EQ(released, (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 0, 0})) << "A alone blinks";
}

// Line 160 begins with the input poll, then a stop request ends the run
// before the sound gets its frame tick (16 ms, seen in a running length).
TEST_F(Scanline, StopRequestEndsTheRunAfterThePollBeforeTheSoundTick) {
    SoundChip.Frequency[0] = 440;
    SoundChip.LengthTime[0] = 0;
    SoundChip.LengthLimit[0] = 1000;
    AdvanceTo(160, false);
    EXPECT_EQ(SoundChip.LengthTime[0], 16);

    Log.stopAtPoll = true;
    uint32_t result = 0;
    int slices = 0;
    while (result != StopRunLoop && slices < SlicesPerFrame) {
        result = EndSlice();
        ++slices;
    }
    EXPECT_EQ(result, StopRunLoop);
    EXPECT_EQ(slices, SlicesPerFrame);
    EXPECT_EQ(Log.pollLines, (std::vector<uint32_t>{160, 160}));
    EXPECT_EQ(SoundChip.LengthTime[0], 16);
}

TEST_F(Scanline, FrameSkipPresentsAndRendersOneFrameInN) {
    // With BG2PB = 1 the current X of BG2 counts the lines rendered since
    // the reference point was last latched at line 0 of a drawn frame.
    const struct {
        int32_t period;
        int presents;
        std::vector<int32_t> midFrameX;
    } cases[] = {
        {3, 2, {80, 160, 160, 80, 160, 160}}, {0, 6, {80, 80, 80, 80, 80, 80}},  // below 1 counts as 1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.period);
        Log = HostLog{};
        FrameSkipCount = 0;
        Settings.UpdatePeriod = c.period;
        BusWrite16(IoBase + Io::BG2PB, 0x0001);
        std::vector<int32_t> midFrameX;
        for (int frame = 0; frame < 6; ++frame) {
            AdvanceTo(80, false);
            midFrameX.push_back(AffineState[0].CurX);
            AdvanceTo(0, false);
        }
        EXPECT_EQ(Log.presents, c.presents);
        EXPECT_EQ(Log.ticks, c.presents) << "each presentation waits for the frame timer";
        EXPECT_EQ(midFrameX, c.midFrameX);
    }
}

}  // namespace
