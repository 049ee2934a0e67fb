#pragma once
// Qt's key events in the key numbering the front-end uses (window.h).

#include <cstdint>

class QKeyEvent;

// The PC virtual-key number of the event's key; 0 for keys the front-end
// does not know.
uint32_t KeyCodeOf(const QKeyEvent* event);
