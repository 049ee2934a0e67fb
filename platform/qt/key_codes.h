#pragma once
// Qt's key events in the key numbering the front-end uses (window.h), with
// the Shift and Alt keys held beside the key as flags above the key code.
// Ctrl is no flag: it is a key of the handheld's (B) by itself.

#include <cstdint>

class QKeyEvent;

inline constexpr uint32_t ShiftHeld = 0x10000;
inline constexpr uint32_t AltHeld = 0x20000;
inline constexpr uint32_t KeyCodeMask = 0xFFFF;

// The PC virtual-key number of the event's key, with ShiftHeld and AltHeld
// added; 0 for keys the front-end does not know.
uint32_t KeyCodeOf(const QKeyEvent* event);
