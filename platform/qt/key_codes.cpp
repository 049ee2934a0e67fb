#include "platform/qt/key_codes.h"

#include <QKeyEvent>

namespace {


// PC virtual-key numbers for the keys the front-end knows; 0 for the rest.
uint32_t BareKeyCode(const QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return uint32_t(key);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return uint32_t(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + uint32_t(key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Print: return 0x2C;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 0xBD;
    default: return 0;
    }
}

}  // namespace

uint32_t KeyCodeOf(const QKeyEvent* event) {
    uint32_t code = BareKeyCode(event);
    // A digit typed with Shift arrives as its shifted sign ('!' for 1 on
    // many layouts): the key's own number is what counts.
    if (code == 0 && (event->modifiers() & Qt::ShiftModifier)) {
        static const char Shifted[] = ")!@#$%^&*(";
        for (int digit = 0; digit < 10; ++digit)
            if (event->key() == Shifted[digit]) code = uint32_t('0' + digit);
    }
    if (code == 0 || code == 0x10 || code == 0x12) return code;
    if (event->modifiers() & Qt::ShiftModifier) code |= ShiftHeld;
    if (event->modifiers() & Qt::AltModifier) code |= AltHeld;
    return code;
}
