#include "platform/qt/joystick.h"

#include <SDL.h>

namespace {

SDL_Joystick* FirstJoystick = nullptr;

// SDL reports axes as signed 16-bit values; shifted up by half the range
// they become the unsigned positions the input code expects.
constexpr uint32_t AxisOffset = 32768;

}  // namespace

int CountJoysticks() {
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return 0;
    const int count = SDL_NumJoysticks();
    if (count <= 0) return 0;
    if (!FirstJoystick) FirstJoystick = SDL_JoystickOpen(0);
    return FirstJoystick ? count : 0;
}

bool GetJoystickRange(JoystickRange& range) {
    if (!FirstJoystick) return false;
    range = {0, 65535, 0, 65535};
    return true;
}

bool ReadJoystick(JoystickReading& reading) {
    if (!FirstJoystick) return false;
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(FirstJoystick)) return false;
    const int axes = SDL_JoystickNumAxes(FirstJoystick);
    reading.X = uint32_t(axes > 0 ? SDL_JoystickGetAxis(FirstJoystick, 0) + int(AxisOffset) : AxisOffset);
    reading.Y = uint32_t(axes > 1 ? SDL_JoystickGetAxis(FirstJoystick, 1) + int(AxisOffset) : AxisOffset);
    reading.Buttons = 0;
    const int buttons = SDL_JoystickNumButtons(FirstJoystick);
    for (int button = 0; button < buttons && button < 32; ++button)
        if (SDL_JoystickGetButton(FirstJoystick, button)) reading.Buttons |= 1u << button;
    return true;
}

void CloseJoysticks() {
    if (FirstJoystick) SDL_JoystickClose(FirstJoystick);
    FirstJoystick = nullptr;
}
