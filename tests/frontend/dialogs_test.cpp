// The settings and about dialogs: what their controls show, what confirming
// writes, and which keys close them. The game information dialog is seen
// over a running game in the main window test.

#include "frontend/dialogs.h"

#include <QAbstractButton>
#include <QScrollBar>
#include <QTest>
#include <cstring>

#include "frontend/frame_timer.h"
#include "frontend/input.h"
#include "frontend/main_window.h"
#include "frontend_test.h"
#include "game/game.h"

class DialogsTest : public QObject {
    Q_OBJECT

    ScratchDirectory scratch;

    static int Bar(QWidget* dialog, int id) { return FindControl<QScrollBar>(dialog, id)->value(); }
    static void Click(QWidget* dialog, int id) { FindControl<QAbstractButton>(dialog, id)->click(); }
    static void Step(QWidget* dialog, int id, QAbstractSlider::SliderAction action) {
        FindControl<QScrollBar>(dialog, id)->triggerAction(action);
    }

    // Opens the settings dialog, lets act look and click, and returns the
    // button that ended it.
    static int RunSettings(std::function<void(QWidget*)> act) {
        WhenDialogOpens(act);
        return RunDialog(SettingsDialog, SettingsDialogProc);
    }

private slots:
    void init() {
        QFile::remove(scratch.Path("KORU.ini"));
        Settings() = GameSettings{};
        BuildIniPath(scratch.Path("").toLocal8Bit().constData());
        std::strcpy(Settings().GameSection, "MYGAME");
        Handheld().StopRequested = false;
    }

    void cleanup() { StopFrameTimer(); }

    // Settings unlike the defaults, SoundBuffers beyond its bar.
    static void UnusualSettings() {
        Settings().UpdatePeriod = 3;
        Settings().TimerPeriod = 0;
        Settings().SoundVolume = 120;
        Settings().SoundBuffers = 40;
        Settings().AutoFire = 0x201;
        Settings().SaveCPU = 0;
        Settings().UseDrums = 1;
        Settings().SoundSwitch = 0x8005;
        std::strcpy(Settings().SoundLogFile, "tune.mid");
    }

    // What the controls show is read back by OK (OkWritesEachKeyToItsSection
    // writes every one of them); here a changed control is thrown away.
    void CancellingChangesNothing() {
        UnusualSettings();
        const GameSettings before = Settings();
        const int ended = RunSettings([](QWidget* dialog) {
            Step(dialog, 100, QAbstractSlider::SliderSingleStepAdd);
            Click(dialog, 120);
            Click(dialog, 2);
        });
        QCOMPARE(ended, 2);
        // Escape and the close box cancel too.
        RunSettings([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        RunSettings([](QWidget* dialog) { dialog->close(); });
        QCOMPARE(Settings().UpdatePeriod, before.UpdatePeriod);
        QCOMPARE(Settings().AutoFire, before.AutoFire);
        QVERIFY(!QFile::exists(scratch.Path("KORU.ini")));
        QCOMPARE(IsActive(), true);
    }

    void OkWritesEachKeyToItsSection() {
        WriteText(scratch.Path("KORU.ini"), "[KORU]\nWidth=480\n");
        UnusualSettings();
        RunSettings([](QWidget* dialog) {
            Step(dialog, 101, QAbstractSlider::SliderSingleStepAdd);
            Click(dialog, 125);  // PCM at the bar's 22050 Hz instead of MIDI
            Click(dialog, 121);
            Click(dialog, 1);
        });
        QCOMPARE(ReadText(scratch.Path("KORU.ini")),
                 Q("[KORU]\nWidth=480\nSoundRate=22050\nSoundBuffers=32\nSoundVolume=120\nSaveCPU=0\nCheckCRC=1\n"
                   "UpdatePeriod=3\nTimerPeriod=1\nSoundLogFile=tune.mid\n\n"
                   "[MYGAME]\nSoundSwitch=32773\nAutoFire=515\nUseDrums=1\n"));
        QCOMPARE(Settings().SoundRate, 22050);
        QCOMPARE(Settings().TimerPeriod, 1);
        QVERIFY(FrameTimerRunning());
        QVERIFY(!Handheld().StopRequested);
    }

    void ResetAndAChangedCrcCheckRestartTheGame() {
        FrontEnd.GameRunning = true;  // the restart then waits for the game's next frame
        RunSettings([](QWidget* dialog) { Click(dialog, ResetButton); });
        QVERIFY(Handheld().StopRequested);
        Handheld().StopRequested = false;
        RunSettings([](QWidget* dialog) {
            Click(dialog, CheckCrcBox);
            Click(dialog, OkButton);
        });
        QVERIFY(Handheld().StopRequested);
        QCOMPARE(Settings().CheckCRC, 0);
        FrontEnd.GameRunning = false;
        Handheld().StopRequested = false;
    }

};

[[maybe_unused]] const bool registered = RegisterTests<DialogsTest>(4);

#include "dialogs_test.moc"
