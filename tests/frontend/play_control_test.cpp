// The player's controls on a running game: pause and fast-forward against
// the frame count, the picture's sizes in fullscreen and at whole
// multiples, a remapped key down to the keypad register, state slots,
// screenshots, a dropped cartridge, and a settings file that cannot be
// written.

#include "frontend/play_control.h"

#include <sys/resource.h>

#include <QDir>
#include <QDropEvent>
#include <QImage>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <csignal>
#include <cstring>

#include "frontend/config.h"
#include "frontend/frame_timer.h"
#include "frontend/ini_file.h"
#include "frontend/input.h"
#include "frontend/key_bindings.h"
#include "frontend_test.h"
#include "machine/machine.h"
#include "platform/qt/window.h"

namespace {

QStringList Told;
int Frames = 0;

uint32_t CountFrame(void* context) {
    ++Frames;
    return PollInput(context);
}

}  // namespace

class PlayControlTest : public QObject {
    Q_OBJECT

    ScratchDirectory scratch;

    void StartSmokeGame() {
        const QString cartridge = scratch.Path("smoke.gba");
        QFile::copy(SmokeCartridge, cartridge);
        WriteText(scratch.Path("KORU.ini"), "[KORU]\nSaveCPU=0\nSoundRate=0\n");
        QVERIFY(BeginGame(cartridge.toLocal8Bit().constData()).Started());
        std::strcpy(Settings().Cartridge, cartridge.toLocal8Bit().constData());
        QTRY_VERIFY(Frames > 3);
    }

    // Frames run in `ms` milliseconds of the event loop.
    static int FramesIn(int ms) {
        const int before = Frames;
        QTest::qWait(ms);
        return Frames - before;
    }

private slots:
    void initTestCase() {
        if (!MainWindowOpen()) QVERIFY(CreateMainWindow());
        Handheld().Host.PollInput = CountFrame;
        ShowMessageBox = [](const char* text) { Told << QString::fromUtf8(text); };
        ShowNoteBox = ShowMessageBox;
        Handheld().Host.ReportProblem = [](void*, const char* message) { ShowProblem(message); };
    }

    void init() {
        Told.clear();
        Play = PlayState{};
        CurrentBindings = DefaultBindings();
        StartSmokeGame();
    }

    void cleanup() {
        if (FrontEnd.GameRunning) EndCurrentGame();
        StopFrameTimer();
        SetFrameSpeed(1);
    }

    // Paused, the frame count stands still; fast-forward at four times
    // shortens the frame period to a quarter, and the pace comes back when
    // it ends.
    void PauseStopsTheFramesAndFastForwardShortensTheirPeriod() {
        TogglePause();
        QVERIFY(EmulationPaused());
        QTest::qWait(30);
        QCOMPARE(FramesIn(200), 0);
        TogglePause();
        QTRY_VERIFY(FramesIn(100) > 0);
        ToggleFastForward();
        QCOMPARE(FramePeriodSeconds(), 0.25 / HandheldFrameRate);
        ToggleFastForward();
        QCOMPARE(FramePeriodSeconds(), 1 / HandheldFrameRate);
    }

    // Whole multiples: the largest multiple of 240 x 160 that fits, centred.
    // Fullscreen hides the menu bar and the picture keeps its shape.
    void FullscreenAndWholeMultiplesKeepThePicturesShape() {
        int x = 0, y = 0, width = 0, height = 0;
        SetPictureScaling({true, true});
        PictureRectangle(1000, 700, x, y, width, height);
        QCOMPARE(QRect(x, y, width, height), QRect(20, 30, 960, 640));
        SetPictureScaling({false, false});

        HandleKey(0x0D | 0x20000, true);  // Alt+Return
        QTRY_VERIFY(IsFullscreen());
        QVERIFY(!MainWindowWidget()->menuBar()->isVisible());
        QVERIFY(!(Input.KeyboardState & KeyStart));
        HandleCommand(CommandFullscreen);
        QTRY_VERIFY(!IsFullscreen());
        QVERIFY(MainWindowWidget()->menuBar()->isVisible());
    }

    // A key bound to A in KORU.ini presses A in the keypad register the
    // game reads (0 = pressed); the key it replaced no longer does.
    void ARemappedKeyReachesTheKeypadRegister() {
        IniFile file;
        SetIniValue(file, GlobalSection, "KeyA", "V");
        ReadKeyBindings(file);
        auto keyInput = [] {
            const int frame = Frames;
            for (int wait = 0; wait < 500 && Frames <= frame + 1; ++wait) QTest::qWait(10);
            return Handheld().Io[0x130] | Handheld().Io[0x131] << 8;
        };
        HandleKey('V', true);
        QCOMPARE(keyInput() & 0x3FF, 0x3FE);
        HandleKey('V', false);
        HandleKey(' ', true);
        QCOMPARE(keyInput() & 0x3FF, 0x3FF);
        HandleKey(' ', false);
        QCOMPARE(KeysOf(CurrentBindings, KeyAction::ButtonA), std::string("V"));
    }

    // Two slotTexts keep two states; the menu shows when each was saved.
    void SlotsSaveAndLoadDistinctStates() {
        uint8_t& mark = Handheld().Ewram[0x100];
        TogglePause();
        mark = 1;
        SaveSlot(1);
        mark = 2;
        HandleKey('2' | 0x20000, true);  // Alt+2 chooses slot 2
        HandleKey(0x78 | 0x10000, true);  // Shift+F9 saves into it
        QCOMPARE(CurrentSlot(), 2);
        LoadSlot(1);
        QCOMPARE(mark, 1);
        HandleKey(0x78, true);  // F9 loads the chosen slot
        QCOMPARE(mark, 2);
        QVERIFY(QFile::exists(scratch.Path("smoke.1.sta")) && QFile::exists(scratch.Path("smoke.2.sta")));
        RefreshMenuStates();
        QMenu* game = MainWindowWidget()->menuBar()->actions()[1]->menu();
        const QString date = QDate::currentDate().toString("yyyy-MM-dd");
        QStringList slotTexts;
        for (QAction* action : game->actions())
            if (action->text().startsWith(Q("槽 "))) slotTexts << action->text();
        QCOMPARE(slotTexts.size(), 9);
        QVERIFY2(slotTexts[0].contains(date) && slotTexts[1].contains(date) && slotTexts[2].contains(Q("(空)")),
                 qPrintable(slotTexts.join(", ")));
        TogglePause();
    }

    // The screenshot lands beside the cartridge, named after it. Its pixels
    // come from the writer the headless runner's --screenshot uses, which
    // the golden pictures check.
    void TheScreenshotLandsBesideTheCartridge() {
        TogglePause();
        TakeScreenshot();
        const QStringList shots = QDir(scratch.Path("")).entryList({"smoke-*.png"});
        QCOMPARE(shots.size(), 1);
        QCOMPARE(QImage(scratch.Path(shots[0].toLocal8Bit().constData())).size(), QSize(240, 160));
        QFile::remove(scratch.Path(shots[0].toLocal8Bit().constData()));
        TogglePause();
    }

    // A cartridge dropped on the window starts; a file that cannot start is
    // said in a message box.
    void ADroppedCartridgeStarts() {
        EndCurrentGame();
        const QString other = scratch.Path("dropped.gba");
        QFile::copy(SmokeCartridge, other);
        auto drop = [](const QString& path) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QWidget* target = MainWindowWidget()->centralWidget();
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &event);
        };
        drop(other);
        QTRY_VERIFY2(FrontEnd.GameRunning, qPrintable(Told.join(", ")));
        QCOMPARE(Q(Settings().Cartridge), other);
        QCOMPARE(Play.Recent[0], other.toStdString());
        drop(scratch.Path("empty.gba"));
        QTRY_VERIFY(!Told.isEmpty());
        QVERIFY2(Told[0].contains(Q("cannot start")), qPrintable(Told[0]));
    }

    // A KORU.ini that cannot be written (here past a file size limit)
    // stays as it was, and the player is told.
    void AFailedSettingsWriteKeepsTheFileAndSaysSo() {
        const QByteArray old = ReadText(scratch.Path("KORU.ini")).toUtf8();
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit tiny{16, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &tiny);
        SetFastForwardSpeed(2);
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(ReadText(scratch.Path("KORU.ini")).toUtf8(), old);
        QCOMPARE(Told.size(), 1);
        QVERIFY2(Told[0].contains(Q("cannot write")), qPrintable(Told[0]));
    }
};

[[maybe_unused]] const bool registered = RegisterTests<PlayControlTest>(5);

#include "play_control_test.moc"
