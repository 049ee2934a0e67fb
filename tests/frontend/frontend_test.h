#pragma once
// Shared pieces of the desktop front-end's tests: each test class runs in a
// scratch working directory (KORU.ini lives in the working directory), and
// modal dialogs are answered from a timer inside their event loop.

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>

#include "frontend/config.h"
#include "frontend/main_window.h"
#include "game/settings.h"
#include "machine/machine.h"

// Each test class registers itself with its place in the run: a class may
// rely on what an earlier one left (the main window above all).
using TestRun = std::function<int(int argc, char** argv)>;
inline std::map<int, TestRun>& TestClasses() {
    static std::map<int, TestRun> classes;
    return classes;
}
template <typename Tests>
bool RegisterTests(int place) {
    TestClasses()[place] = [](int argc, char** argv) {
        Tests tests;
        return QTest::qExec(&tests, argc, argv);
    };
    return true;
}

// The cartridge the smoke test uses: title "SMOKE", a valid header, writes
// backup RAM and shows a still picture.
inline const char* SmokeCartridge = KORU_SMOKE_CARTRIDGE;

class ScratchDirectory {
public:
    ScratchDirectory() : previous_(QDir::currentPath()) {
        QDir::setCurrent(directory_.path());
        Settings() = GameSettings{};
        BuildIniPath(directory_.path().toLocal8Bit().constData());
    }
    ~ScratchDirectory() { QDir::setCurrent(previous_); }
    QString Path(const char* name) const { return directory_.filePath(name); }

private:
    QTemporaryDir directory_;
    QString previous_;
};

// The file's bytes as text; empty when it cannot be read.
QString ReadText(const QString& path);
inline QString Q(const char* text) { return QString::fromUtf8(text); }
void WriteText(const QString& path, const std::string& text);

// Runs check on the modal dialog as soon as it is on screen.
void WhenDialogOpens(std::function<void(QWidget* dialog)> check);

template <typename Control>
Control* FindControl(QWidget* dialog, int id) {
    return dialog->findChild<Control*>(QString("control%1").arg(id));
}

QMainWindow* MainWindowWidget();
