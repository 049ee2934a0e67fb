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
#include "tests/support/scanline_steps.h"
#include "tests/support/test_machine.h"

namespace {

constexpr uint32_t IoBase = 0x04000000;
constexpr int SlicesPerFrame = 456;

// What the host saw during a test.
struct HostLog {
    int polls = 0;
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
            ++Log.polls;
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

TEST_F(Scanline, EachLineIsADrawingSliceThenAHorizontalBlank) {
    EndSlice();
    EXPECT_EQ(CurrentLine(), 0u);
    EXPECT_TRUE(InHblank());
    EXPECT_EQ(machine.cpu.SliceLength, 272u);
    EndSlice();
    EXPECT_EQ(CurrentLine(), 1u);
    EXPECT_FALSE(InHblank());
    EXPECT_EQ(machine.cpu.SliceLength, 960u);
}

TEST_F(Scanline, FrameHas228LinesWithVerticalBlankFrom160) {
    std::vector<uint32_t> lines;
    int vblankSlices = 0;
    for (int slice = 0; slice < SlicesPerFrame; ++slice) {
        EndSlice();
        if (!InHblank()) lines.push_back(CurrentLine());
        const bool vblank = ReadIoHalf(Io::DISPSTAT) & StatusVblank;
        EXPECT_EQ(vblank, CurrentLine() >= 160) << "line " << CurrentLine();
        vblankSlices += vblank;
    }
    ASSERT_EQ(lines.size(), 228u);
    for (uint32_t i = 0; i < 227; ++i) EXPECT_EQ(lines[i], i + 1);
    EXPECT_EQ(lines[227], 0u) << "the frame wraps to line 0";
    EXPECT_EQ(vblankSlices, 68 * 2);
}

TEST_F(Scanline, HorizontalBlankInterruptEveryLine) {
    BusWrite16(IoBase + Io::DISPSTAT, 0x0010);
    int requests = 0;
    for (int slice = 0; slice < SlicesPerFrame; ++slice) {
        EndSlice();
        if (ReadIoHalf(Io::IF) & IrqHblank) {
            EXPECT_TRUE(InHblank());
            ++requests;
            StoreIoHalf(Io::IF, 0);
        }
    }
    EXPECT_EQ(requests, 228);
}

TEST_F(Scanline, VerticalBlankInterruptOncePerFrame) {
    BusWrite16(IoBase + Io::DISPSTAT, 0x0008);
    BusWrite16(IoBase + Io::IE, IrqVblank);
    BusWrite16(IoBase + Io::IME, 1);
    std::vector<uint32_t> requestLines;
    for (int slice = 0; slice < 2 * SlicesPerFrame; ++slice) {
        const uint32_t pending = EndSlice();
        EXPECT_EQ(machine.cpu.IrqPending, pending);
        if (pending) {
            EXPECT_EQ(pending, IrqVblank);
            requestLines.push_back(CurrentLine());
            StoreIoHalf(Io::IF, 0);
        }
    }
    EXPECT_EQ(requestLines, (std::vector<uint32_t>{160, 160}));
}

TEST_F(Scanline, LineMatchFlagAndInterrupt) {
    BusWrite16(IoBase + Io::DISPSTAT, 0x2020);  // match line 32, interrupt on
    std::vector<uint32_t> requestLines;
    for (int slice = 0; slice < 2 * SlicesPerFrame; ++slice) {
        EndSlice();
        const bool match = ReadIoHalf(Io::DISPSTAT) & StatusLineMatch;
        EXPECT_EQ(match, CurrentLine() == 32) << "line " << CurrentLine();
        if (ReadIoHalf(Io::IF) & IrqLineMatch) {
            requestLines.push_back(CurrentLine());
            EXPECT_FALSE(InHblank()) << "raised as the line starts";
            StoreIoHalf(Io::IF, 0);
        }
    }
    EXPECT_EQ(requestLines, (std::vector<uint32_t>{32, 32}));
}

TEST_F(Scanline, VerticalBlankPollsInputOncePerFrame) {
    for (int slice = 0; slice < 3 * SlicesPerFrame; ++slice) EndSlice();
    EXPECT_EQ(Log.polls, 3);
    EXPECT_EQ(Log.pollLines, (std::vector<uint32_t>{160, 160, 160}));
}

TEST_F(Scanline, KeypadRegisterReadsZeroForPressedKeys) {
    Log.keys = 0x0009;  // A and Start
    AdvanceTo(160, false);
    EXPECT_EQ(ReadIoHalf(Io::KEYINPUT), 0xFFF6);
    Log.keys = 0xFFFFF3FF;  // the six bits above the keys read 1 whatever is reported
    AdvanceTo(160, false);
    EXPECT_EQ(ReadIoHalf(Io::KEYINPUT), 0xFC00);
}

TEST_F(Scanline, AutofireReleasesKeysFourFramesInEight) {
    Settings.AutoFire = 0x001;
    Log.keys = 0x003;  // A and B held
    std::vector<int> aReleased, bReleased;
    for (int frame = 0; frame < 9; ++frame) {
        AdvanceTo(160, false);
        aReleased.push_back(ReadIoHalf(Io::KEYINPUT) & 1);
        bReleased.push_back((ReadIoHalf(Io::KEYINPUT) >> 1) & 1);
    }
    EXPECT_EQ(aReleased, (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(bReleased, (std::vector<int>(9, 0)));
}

TEST_F(Scanline, KeypadInterruptConditions) {
    struct Case {
        uint16_t keycnt;
        uint32_t pressed;
        bool requested;
    };
    const Case cases[] = {
        {0xC003, 0x003, true},   // all of A and B, both held
        {0xC003, 0x001, false},  // all of A and B, only A
        {0x4003, 0x001, true},   // any of A and B
        {0x4003, 0x00C, false},  // any of A and B, other keys
        {0x0003, 0x003, false},  // interrupt not enabled
        {0xC000, 0x000, false},  // no key selected
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.keycnt << " with " << c.pressed);
        BusWrite16(IoBase + Io::KEYCNT, c.keycnt);
        StoreIoHalf(Io::IF, 0);
        Log.keys = c.pressed;
        AdvanceTo(160, false);
        EXPECT_EQ((ReadIoHalf(Io::IF) & IrqKeypad) != 0, c.requested);
    }
}

TEST_F(Scanline, StopRequestEndsTheRunAtLine160) {
    Log.stopAtPoll = true;
    uint32_t result = 0;
    int slices = 0;
    while (result != StopRunLoop && slices < SlicesPerFrame) {
        result = EndSlice();
        ++slices;
    }
    EXPECT_EQ(result, StopRunLoop);
    EXPECT_EQ(CurrentLine(), 160u);
    EXPECT_EQ(Log.polls, 1);
    EXPECT_EQ(slices, 2 * 160);
}

TEST_F(Scanline, FrameSkipPresentsAndRendersOneFrameInN) {
    Settings.UpdatePeriod = 3;
    // With BG2PB = 1 the current X of BG2 counts the lines rendered since
    // the reference point was last latched at line 0 of a drawn frame.
    BusWrite16(IoBase + Io::BG2PB, 0x0001);
    std::vector<int32_t> midFrameX;
    for (int frame = 0; frame < 6; ++frame) {
        AdvanceTo(80, false);
        midFrameX.push_back(AffineState[0].CurX);
        AdvanceTo(0, false);
    }
    EXPECT_EQ(Log.presents, 2);
    EXPECT_EQ(Log.ticks, 2) << "each presentation waits for the frame timer";
    EXPECT_EQ(midFrameX, (std::vector<int32_t>{80, 160, 160, 80, 160, 160}));
}

TEST_F(Scanline, AffineBackgroundsStepEachRenderedLine) {
    Settings.UpdatePeriod = 1;
    BusWrite32(IoBase + Io::BG2X_L, 0x00000100);  // BG2X = 1.0
    BusWrite16(IoBase + Io::BG2PB, 0x0002);       // BG2PB
    BusWrite16(IoBase + Io::BG2PD, 0xFFFF);       // BG2PD = -1/256
    BusWrite16(IoBase + Io::BG3X_H, 0x0FFF);      // BG3X = -1.0 * 256
    BusWrite16(IoBase + Io::BG3PB, 0x0010);       // BG3PB
    AdvanceTo(9, true);                           // ten lines rendered
    EXPECT_EQ(AffineState[0].CurX, 0x100 + 20);
    EXPECT_EQ(AffineState[0].CurY, -10);
    EXPECT_EQ(AffineState[1].CurX, -65536 + 160);
    EXPECT_EQ(AffineState[0].RefX, 0x100) << "the reference stays where it was written";

    AdvanceTo(0, true);  // line 0 of the next frame restarts from the reference
    EXPECT_EQ(AffineState[0].CurX, 0x100 + 2);
    EXPECT_EQ(AffineState[0].CurY, -1);
}

}  // namespace
