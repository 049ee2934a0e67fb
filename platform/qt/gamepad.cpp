#include "platform/qt/gamepad.h"

#include <SDL.h>

#include <vector>

namespace {

std::vector<SDL_GameController*> Pads;
uint32_t LastHeld = 0;

// Pushed past half the stick's range counts as a direction.
constexpr int16_t StickThreshold = 16384;

void DropDetachedPads() {
    std::erase_if(Pads, [](SDL_GameController* pad) {
        if (SDL_GameControllerGetAttached(pad)) return false;
        SDL_GameControllerClose(pad);
        return true;
    });
}

void OpenNewPads() {
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index) {
        if (!SDL_IsGameController(index)) continue;
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        bool open = false;
        for (SDL_GameController* pad : Pads)
            open = open || SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id;
        if (open) continue;
        if (SDL_GameController* pad = SDL_GameControllerOpen(index)) Pads.push_back(pad);
    }
}

uint32_t HeldButtons() {
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER)) return 0;
    // Updating also finds the pads plugged in or pulled out since.
    SDL_GameControllerUpdate();
    DropDetachedPads();
    OpenNewPads();
    uint32_t held = 0;
    for (SDL_GameController* pad : Pads) {
        for (int button = 0; button < PadButtonCount; ++button)
            if (SDL_GameControllerGetButton(pad, SDL_GameControllerButton(button))) held |= 1u << button;
        const int16_t x = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
        const int16_t y = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
        if (x < -StickThreshold) held |= 1u << PadDpadLeft;
        if (x > StickThreshold) held |= 1u << PadDpadRight;
        if (y < -StickThreshold) held |= 1u << PadDpadUp;
        if (y > StickThreshold) held |= 1u << PadDpadDown;
    }
    return held;
}

}  // namespace

uint32_t ReadGamepads() {
    LastHeld = HeldButtons();
    return LastHeld;
}

int32_t PressedGamepadButton() {
    const uint32_t before = LastHeld;
    const uint32_t pressed = ReadGamepads() & ~before;
    for (int32_t button = 0; button < PadButtonCount; ++button)
        if (pressed & (1u << button)) return button;
    return -1;
}

void CloseGamepads() {
    for (SDL_GameController* pad : Pads) SDL_GameControllerClose(pad);
    Pads.clear();
    LastHeld = 0;
}
