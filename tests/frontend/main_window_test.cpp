// The main window: its menu and what each command does, the window
// placement from KORU.ini, the picture and game runs.

#include "frontend/main_window.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <cstring>

#include "frontend/config.h"
#include "frontend/dialogs.h"
#include "frontend/frame_timer.h"
#include "frontend/input.h"
#include "frontend_test.h"
#include "game/game.h"
#include "machine/machine.h"
#include "platform/qt/window.h"

namespace {

// The answer the next file dialog gives: a name, or cancel.
const char* FileAnswer = nullptr;

bool AnswerFileDialog(char* path, std::size_t capacity, std::span<const FileFilter>, const FileQuestion&) {
    if (!FileAnswer || std::strlen(FileAnswer) >= capacity) return false;
    std::strcpy(path, FileAnswer);
    return true;
}

// The messages the player was shown.
QStringList Told;

int FramesRun = 0;
int StopAtFrame = 0;
void (*AtFrame5)() = nullptr;

uint32_t CountFrames(void* context) {
    if (++FramesRun == 5 && AtFrame5) AtFrame5();
    if (FramesRun >= StopAtFrame) Handheld().StopRequested = true;
    return PollInput(context);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    ScratchDirectory scratch;

    static void ClientAreaIs(int width, int height) {
        QTRY_COMPARE(Settings().ClientWidth, width);
        QTRY_COMPARE(Settings().ClientHeight, height);
        int actualWidth = 0, actualHeight = 0;
        GetClientAreaSize(actualWidth, actualHeight);
        QCOMPARE(actualWidth, width);
        QCOMPARE(actualHeight, height);
    }

private slots:
    void initTestCase() {
        if (!MainWindowOpen()) QVERIFY(CreateMainWindow());
        ChooseFile = AnswerFileDialog;
        ShowMessageBox = [](const char* text) { Told << QString::fromUtf8(text); };
        ShowNoteBox = ShowMessageBox;
        Handheld().Host.PollInput = CountFrames;
        Handheld().Host.PresentFrame = [](void*, const uint16_t*) { ShowPicture(); };
    }

    void init() {
        QFile::remove(scratch.Path("KORU.ini"));
        Handheld().StopRequested = false;
        FileAnswer = nullptr;
    }

    void SizeCommandsGiveExactClientAreasAndAreRemembered() {
        for (int scale = 4; scale >= 1; --scale) {
            HandleCommand(CommandSize1 + scale - 1);
            ClientAreaIs(scale * 240, scale * 160);
        }
        // Only the low 16 bits name the command; the menu's own action works too.
        HandleCommand(0x10000 | (CommandSize1 + 1));
        ClientAreaIs(480, 320);
        MainWindowWidget()->menuBar()->actions()[2]->menu()->actions()[2]->trigger();
        ClientAreaIs(720, 480);
        // Remember Size writes the size and the place to the global section.
        HandleCommand(CommandSize1 + 1);
        ClientAreaIs(480, 320);
        MoveWindowTo(30, 40);
        QTRY_COMPARE(MainWindowWidget()->geometry().topLeft(), QPoint(30, 40));
        HandleCommand(CommandRememberSize);
        QCOMPARE(ReadText(scratch.Path("KORU.ini")), Q("[KORU]\nWidth=480\nHeight=320\nX=30\nY=40\n"));
    }

    void WindowSettingsPlaceTheWindowAndNameTheCartridge() {
        WriteText(scratch.Path("KORU.ini"), "[KORU]\nWidth=300\nHeight=200\nX=100\nY=70\nCartridge=saved.gba\n");
        ReadWindowSettings("\"my game.gba\"");
        ClientAreaIs(300, 200);
        QTRY_COMPARE(MainWindowWidget()->geometry().topLeft(), QPoint(100, 70));
        // Paths are kept absolute, so that the next start finds them from
        // any folder.
        QCOMPARE(Q(Settings().Cartridge), scratch.Path("\"my game.gba\""));
        ReadWindowSettings("");
        QCOMPARE(Q(Settings().Cartridge), scratch.Path("saved.gba"));
        ReadWindowSettings(std::string(300, 'p').c_str());
        QCOMPARE(std::strlen(Settings().Cartridge), size_t(250));
        QFile::remove(scratch.Path("KORU.ini"));
        ReadWindowSettings(nullptr);
        QCOMPARE(Q(Settings().Cartridge), scratch.Path("CART.GBA"));
        ClientAreaIs(240, 160);
    }

    void OpenTakesTheChosenCartridgeAndStopsTheGame() {
        FrontEnd.GameRunning = true;  // the game then ends at its next frame
        std::strcpy(Settings().Cartridge, "old.gba");
        HandleCommand(CommandOpen);
        QVERIFY(!Handheld().StopRequested);
        QCOMPARE(Q(Settings().Cartridge), Q("old.gba"));
        FileAnswer = "new.gba";
        HandleCommand(CommandOpen);
        QVERIFY(Handheld().StopRequested);
        QCOMPARE(Q(Settings().Cartridge), scratch.Path("new.gba"));
        FrontEnd.GameRunning = false;
        Handheld().StopRequested = false;
        // Without a game the state commands only remember the name.
        FileAnswer = "slot.sta";
        HandleCommand(CommandLoadState);
        HandleCommand(CommandSaveState);
        QCOMPARE(Q(FrontEnd.StatePath), Q("slot.sta"));
        QVERIFY(!QFile::exists(scratch.Path("slot.sta")));
    }

    // Starts our smoke cartridge, which runs on the frame timer until frame
    // StopAtFrame asks for the stop. The next game then is one that cannot
    // start, and the file dialog is cancelled: the window stays without a
    // game. (Its battery file and the quit path are the smoke test's.)
    void StartSmokeGame(int stopAtFrame) {
        const QString cartridge = scratch.Path("smoke.gba");
        QFile::copy(SmokeCartridge, cartridge);
        FramesRun = 0;
        StopAtFrame = stopAtFrame;
        std::strcpy(Settings().Cartridge, scratch.Path("missing.gba").toLocal8Bit().constData());
        FileAnswer = nullptr;
        QVERIFY(BeginGame(cartridge.toLocal8Bit().constData()).Started());
        QVERIFY(FrontEnd.GameRunning);
    }

    // The frame timer runs the game from the event loop, paced, and the
    // information dialog describes it while frames stand still.
    void AGameRunsUntilItIsStopped() {
        MainWindowWidget()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainWindowWidget()));
        // The information dialog takes the activation, and the offscreen
        // platform gives it back to no window: do not pause for that.
        WriteText(scratch.Path("KORU.ini"), "[KORU]\nSaveCPU=0\n");
        AtFrame5 = [] {
            // A command from the event loop, between two frames.
            QTimer::singleShot(0, [] {
                WhenDialogOpens([](QWidget* dialog) {
                    QCOMPARE(FindControl<QGroupBox>(dialog, NameGroup)->title(), Q("SMOKE (KTST)"));
                    // No save-type marker and no clock in the smoke cartridge.
                    QCOMPARE(FindControl<QLabel>(dialog, SaveTypeField)->text(), Q("SRAM/FLASH 64 KB + EEPROM 512 B"));
                    QCOMPARE(FindControl<QLabel>(dialog, ClockField)->text(), Q("none"));
                    QTest::keyClick(dialog, Qt::Key_Escape);  // only the button closes it
                    const int frames = FramesRun;
                    QTest::qWait(100);
                    QVERIFY(dialog->isVisible());
                    QCOMPARE(FramesRun, frames);  // no frame while the dialog is open
                    FindControl<QAbstractButton>(dialog, OkButton)->click();
                });
                HandleCommand(CommandGameInfo);
            });
        };
        StartSmokeGame(30);
        QVERIFY(FrameTimerRunning());
        QCOMPARE(FramePeriodSeconds(), 1 / HandheldFrameRate);
        QTRY_VERIFY_WITH_TIMEOUT(!FrontEnd.GameRunning, 10000);
        AtFrame5 = nullptr;
        QCOMPARE(FramesRun, 30);

        // Without a game the information dialog does not open.
        HandleCommand(CommandGameInfo);
        QVERIFY(!BeginGame(scratch.Path("missing.gba").toLocal8Bit().constData()).Started());
        QVERIFY(!FrontEnd.GameRunning);
    }

    // Frames stand still while a menu is open, and with SaveCPU while the
    // window is in the background, muted and with no key held; without
    // SaveCPU the background plays on.
    void MenusAndTheBackgroundPauseTheFrames() {
        MainWindowWidget()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainWindowWidget()));
        WriteText(scratch.Path("KORU.ini"), "[KORU]\nSaveCPU=1\nTimerPeriod=0\n");
        StartSmokeGame(1000000);
        QTRY_VERIFY(FramesRun > 3);
        const auto standsStill = [] {
            QTest::qWait(30);
            const int frames = FramesRun;
            QTest::qWait(150);
            return FramesRun == frames;
        };
        QMenu* file = MainWindowWidget()->menuBar()->actions()[0]->menu();
        file->popup(MainWindowWidget()->mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(FrontEnd.MenuOpen);
        QVERIFY(EmulationPaused());
        QVERIFY2(standsStill(), "frames ran under an open menu");
        file->hide();
        QTRY_VERIFY(!FrontEnd.MenuOpen);

        HandleKey(' ', true);
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(Input.KeyboardState, uint16_t(0));  // keys held as it left are let go
        QVERIFY(!IsActive());  // and the sound muted
        QVERIFY2(standsStill(), "frames ran in the background with SaveCPU");
        Settings().SaveCPU = 0;
        QVERIFY2(!standsStill(), "without SaveCPU the background plays on");
        other.hide();
        MainWindowWidget()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainWindowWidget()));
        Handheld().StopRequested = true;
        QTRY_VERIFY(!FrontEnd.GameRunning);
        StopFrameTimer();
    }

    void cleanupTestCase() {
        Machine* handheld = FrontEnd.Handheld;
        FrontEnd = FrontEndState{};
        FrontEnd.Handheld = handheld;
    }
};

[[maybe_unused]] const bool registered = RegisterTests<MainWindowTest>(3);

#include "main_window_test.moc"
