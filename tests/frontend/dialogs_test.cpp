// The settings, about and game information dialogs: what their controls
// show, what confirming writes, and which keys close them.

#include "frontend/dialogs.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <array>
#include <cstring>

#include "frontend/frame_timer.h"
#include "frontend/input.h"
#include "frontend/main_window.h"
#include "frontend_test.h"
#include "game/game.h"

class DialogsTest : public QObject {
    Q_OBJECT

    ScratchDirectory scratch;

    static QString Label(QWidget* dialog, int id) { return FindControl<QLabel>(dialog, id)->text(); }
    static int Bar(QWidget* dialog, int id) { return FindControl<QScrollBar>(dialog, id)->value(); }
    static bool Box(QWidget* dialog, int id) { return FindControl<QCheckBox>(dialog, id)->isChecked(); }
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
        Settings = GameSettings{};
        BuildIniPath(scratch.Path("").toLocal8Bit().constData());
        std::strcpy(Settings.GameSection, "MYGAME");
        StopRequested = false;
    }

    void cleanup() { StartFrameTimer(0); }

    // Settings unlike the defaults, SoundBuffers beyond its bar.
    static void UnusualSettings() {
        Settings.UpdatePeriod = 3;
        Settings.TimerPeriod = 0;
        Settings.SoundVolume = 120;
        Settings.SoundBuffers = 40;
        Settings.AutoFire = 0x201;
        Settings.SaveCPU = 0;
        Settings.UseDrums = 1;
        Settings.SoundSwitch = 0x8005;
        std::strcpy(Settings.SoundLogFile, "tune.mid");
    }

    void TheControlsShowTheSettingsAndCancellingChangesNothing() {
        UnusualSettings();
        const GameSettings before = Settings;
        const int ended = RunSettings([](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), Q("设置 KORU"));
            QCOMPARE(Bar(dialog, 100), 3);
            QCOMPARE(Label(dialog, 110), Q("Update x 3 frames"));
            QCOMPARE(Label(dialog, 111), Q("Don't sync updates"));
            QCOMPARE(Label(dialog, 112), Q("Volume 120"));
            QCOMPARE(Bar(dialog, 103), 32);
            QCOMPARE(Label(dialog, 113), Q("Sound Buffers 32"));
            QCOMPARE(Bar(dialog, 104), 22050);
            QCOMPARE(Label(dialog, 114), Q("Sound Rate 22050Hz"));
            const std::pair<int, bool> boxes[] = {{120, true},  {121, false}, {122, true}, {123, false}, {127, true},
                                                  {124, false}, {119, true},  {134, true}, {135, false}, {136, true},
                                                  {137, false}, {125, true},  {126, false}};
            for (const auto& [id, checked] : boxes) QCOMPARE(Box(dialog, id), checked);
            QCOMPARE(FindControl<QLineEdit>(dialog, 140)->text(), Q("tune.mid"));
            Step(dialog, 100, QAbstractSlider::SliderSingleStepAdd);
            Click(dialog, 120);
            Click(dialog, 2);
        });
        QCOMPARE(ended, 2);
        // Escape and the close box cancel too.
        RunSettings([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        RunSettings([](QWidget* dialog) { dialog->close(); });
        QCOMPARE(Settings.UpdatePeriod, before.UpdatePeriod);
        QCOMPARE(Settings.AutoFire, before.AutoFire);
        QVERIFY(!QFile::exists(scratch.Path("KORU.ini")));
        QCOMPARE(SetActive(2), 1);
    }

    void OkWritesEachKeyToItsSection() {
        WriteText(scratch.Path("KORU.ini"), "[KORU]\nWidth=480\n");
        UnusualSettings();
        RunSettings([](QWidget* dialog) {
            Step(dialog, 101, QAbstractSlider::SliderSingleStepAdd);
            QCOMPARE(Label(dialog, 111), Q("Sync updates to 1Hz"));
            Click(dialog, 125);  // PCM at the bar's 22050 Hz instead of MIDI
            Click(dialog, 121);
            Click(dialog, 1);
        });
        QCOMPARE(ReadText(scratch.Path("KORU.ini")),
                 Q("[KORU]\nWidth=480\nSoundRate=22050\nSoundBuffers=32\nSoundVolume=120\nSaveCPU=0\nCheckCRC=1\n"
                   "UpdatePeriod=3\nTimerPeriod=1\nSoundLogFile=tune.mid\n\n"
                   "[MYGAME]\nSoundSwitch=32773\nAutoFire=515\nUseDrums=1\n"));
        QCOMPARE(Settings.SoundRate, 22050);
        QCOMPARE(Settings.TimerPeriod, 1);
        QVERIFY(FrameTimerRunning());
        QVERIFY(!StopRequested);
    }

    void ResetAndAChangedCrcCheckRestartTheGame() {
        RunSettings([](QWidget* dialog) { Click(dialog, 146); });
        QVERIFY(StopRequested);
        StopRequested = false;
        RunSettings([](QWidget* dialog) {
            Click(dialog, 127);
            Click(dialog, 1);
        });
        QVERIFY(StopRequested);
        QCOMPARE(Settings.CheckCRC, 0);
    }

    void NoSoundShowsAsMidiAndConfirmsAsMidi() {
        Settings.SoundRate = 0;
        RunSettings([](QWidget* dialog) {
            QVERIFY(Box(dialog, 125));
            QCOMPARE(Bar(dialog, 104), 22050);
            Click(dialog, 1);
        });
        QCOMPARE(Settings.SoundRate, 1);
        Settings.SoundRate = 30000;
        RunSettings([](QWidget* dialog) {
            QVERIFY(!Box(dialog, 125));
            QCOMPARE(Label(dialog, 114), Q("Sound Rate 30000Hz"));
            Click(dialog, 1);
        });
        QCOMPARE(Settings.SoundRate, 30000);
    }

    void BarsStopAtTheirEnds() {
        Settings.UpdatePeriod = 1;
        Settings.TimerPeriod = 60;
        RunSettings([](QWidget* dialog) {
            Step(dialog, 100, QAbstractSlider::SliderSingleStepSub);
            Step(dialog, 100, QAbstractSlider::SliderPageStepSub);
            QCOMPARE(Bar(dialog, 100), 1);
            QCOMPARE(Label(dialog, 110), Q("Update x 1 frames"));
            Step(dialog, 101, QAbstractSlider::SliderToMaximum);  // keeps its place
            QCOMPARE(Bar(dialog, 101), 60);
            QCOMPARE(Label(dialog, 111), Q("Sync updates to 60Hz"));
            FindControl<QScrollBar>(dialog, 101)->setSliderPosition(120);  // a drag to the end
            QCOMPARE(Label(dialog, 111), Q("Sync updates to 120Hz"));
            Click(dialog, 1);
        });
        // Accepted in the file, refused by the timer until the next start clamps it.
        QCOMPARE(Settings.TimerPeriod, 0);
        QVERIFY(!FrameTimerRunning());
        QVERIFY(ReadText(scratch.Path("KORU.ini")).contains("TimerPeriod=120\n"));
    }

    void TheAboutBoxSilencesWhileOpen() {
        SetActive(1);
        WhenDialogOpens([](QWidget* dialog) {
            QCOMPARE(SetActive(2), 0);
            QCOMPARE(Label(dialog, 181), Q("compiled on Aug 03 2001"));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QCOMPARE(RunDialog(AboutDialog, AboutDialogProc), 1);
        QCOMPARE(SetActive(2), 1);
    }

    void GameDescriptionsFollowTheHeader() {
        std::array<uint8_t, 512> header{};
        std::memcpy(&header[0xA0], "ABC\0\0\0\0\0\0\0\0\0AXVE5G", 18);
        header[0xB3] = 0x12;
        header[0xB4] = 0x34;
        header[0xBC] = 0x56;
        const GameDescription d = DescribeGame(header.data());
        // 0xE7 minus the header bytes 0x41+0x42+0x43+0x41+0x58+0x56+0x45+0x35+0x47+0x12+0x34+0x56.
        QCOMPARE(Q((d.TitleAndCode + "|" + d.Maker + "|" + d.Complement + "|" + d.Unit + d.Device + d.Version).c_str()),
                 Q("ABC (AXVE)|Majesco Sales (5G)|00h (computed as D5h)|12h34h56h"));
        header[0xB0] = header[0xB1] = '9';
        QCOMPARE(Q(DescribeGame(header.data()).Maker.c_str()), Q("Unknown (99)"));

        // Escape does not close the information dialog; its button does.
        RomImage = header.data();
        WhenDialogOpens([](QWidget* dialog) {
            QCOMPARE(FindControl<QGroupBox>(dialog, NameGroup)->title(), Q("ABC (AXVE)"));
            QTest::keyClick(dialog, Qt::Key_Escape);
            QTest::qWait(20);
            QVERIFY(dialog->isVisible());
            Click(dialog, 1);
        });
        QCOMPARE(RunDialog(GameInfoDialog, GameInfoDialogProc), 1);
        RomImage = nullptr;
    }
};

int RunDialogsTests(int argc, char** argv) {
    DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialogs_test.moc"
