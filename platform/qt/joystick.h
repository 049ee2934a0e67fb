#pragma once
// The first joystick, read by polling once per frame.

#include <cstdint>

// Axis positions as unsigned numbers within the joystick's range, and the
// buttons as a mask (bit 0 is button 1).
struct JoystickReading {
    uint32_t X = 0;
    uint32_t Y = 0;
    uint32_t Buttons = 0;
};

struct JoystickRange {
    uint32_t XMin = 0, XMax = 0;
    uint32_t YMin = 0, YMax = 0;
};

// How many joysticks are attached; opens the first one when there is one.
int CountJoysticks();

// The first joystick's axis ranges; false when none is open.
bool GetJoystickRange(JoystickRange& range);

// The first joystick's position now; false when it cannot be read.
bool ReadJoystick(JoystickReading& reading);

void CloseJoysticks();
