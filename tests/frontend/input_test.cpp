// Keyboard and joystick: keys shared by one button, the function keys,
// auto-repeat, modifiers and the gamepad. The activation that lets go of
// the keys, mutes and pauses is the main window test's.

#include "frontend/input.h"

#include <QKeyEvent>
#include <QTest>

#include "frontend/key_bindings.h"
#include "frontend/main_window.h"
#include "frontend/play_control.h"
#include "platform/qt/key_codes.h"
#include "frontend_test.h"
#include "video/render_line.h"

class InputTest : public QObject {
    Q_OBJECT

    ScratchDirectory scratch;

    static void SendKey(QWidget* window, Qt::Key key, bool down, bool repeat) {
        QKeyEvent event(down ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(window, &event);
    }

private slots:
    void initTestCase() {
        if (!MainWindowOpen()) QVERIFY(CreateMainWindow());
        QVERIFY(QTest::qWaitForWindowActive(MainWindowWidget()));
    }

    void init() {
        Input.KeyboardState = 0;
        Settings() = GameSettings{};
    }

    // The keyboard state is one bit per button, not a count of keys:
    // releasing either of two keys held for B releases B, and leaves A.
    void ReleasingOneOfTwoKeysForAButtonReleasesIt() {
        QCOMPARE(HandleKey(0x10, true), 0);  // Shift is nothing
        for (char key : {'Z', 'X', ' '}) HandleKey(uint8_t(key), true);
        QCOMPARE(Input.KeyboardState, uint16_t(0x003));
        HandleKey('X', false);
        QCOMPARE(Input.KeyboardState, uint16_t(0x001));
    }

    // Function keys act on their key-down only. Held keys repeat as more
    // key-downs, and the X server puts a key-up before each: neither
    // changes anything, so F3 toggles autofire once and a held Z stays held.
    void AutoRepeatIsIgnored() {
        QWidget* window = MainWindowWidget();
        SendKey(window, Qt::Key_F3, true, false);
        SendKey(window, Qt::Key_Z, true, false);
        for (int i = 0; i < 3; ++i) {
            SendKey(window, Qt::Key_F3, false, true);
            SendKey(window, Qt::Key_F3, true, true);
            SendKey(window, Qt::Key_Z, false, true);
            SendKey(window, Qt::Key_Z, true, true);
        }
        QCOMPARE(Settings().AutoFire, 0x001);
        QCOMPARE(Input.KeyboardState, uint16_t(0x002));
        SendKey(window, Qt::Key_F3, false, false);
        SendKey(window, Qt::Key_Z, false, false);
        QCOMPARE(Settings().AutoFire, 0x001);
        QCOMPARE(Input.KeyboardState, uint16_t(0));
    }

    // Shift held does not get in the way of play, Alt keys never reach the
    // keypad, the held fast-forward ends on the key-up whatever is held
    // then, and the gamepad's buttons map through the same bindings.
    void ModifiersAndTheGamepadFollowTheBindings() {
        CurrentBindings = DefaultBindings();
        QCOMPARE(HandleKey(' ' | ShiftHeld, true), 1);
        QCOMPARE(Input.KeyboardState, KeyA);
        HandleKey(' ', false);
        QCOMPARE(HandleKey('Z' | AltHeld, true), 0);
        QCOMPARE(Input.KeyboardState, uint16_t(0));
        QCOMPARE(FindKeyAction(0x78 | ShiftHeld, true), KeyAction::SaveSlot);
        QCOMPARE(FindKeyAction(0x78, true), KeyAction::LoadSlot);
        QCOMPARE(FindKeyAction('3' | AltHeld, true), KeyAction::Slot3);
        HandleKey(0x08, true);
        QVERIFY(IsFastForwarding());
        HandleKey(0x08 | ShiftHeld, false);
        QVERIFY(!IsFastForwarding());

        QCOMPARE(GamepadKeys(1u << 6 | 1u << 4 | 1u << 9 | 1u << 14), uint16_t(KeyStart | KeySelect | KeyL | KeyRight));
        Bindings remapped = DefaultBindings();
        QVERIFY(SetPadButtonsOf(remapped, KeyAction::ButtonStart, "x"));
        QVERIFY(!SetPadButtonsOf(remapped, KeyAction::ButtonStart, "nosuchbutton"));
        CurrentBindings = remapped;
        QCOMPARE(GamepadKeys(1u << 2), KeyStart);  // x no longer B
        QCOMPARE(GamepadKeys(1u << 6), uint16_t(0));
        CurrentBindings = DefaultBindings();
    }
};

[[maybe_unused]] const bool registered = RegisterTests<InputTest>(2);

#include "input_test.moc"
