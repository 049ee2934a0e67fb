// The front-end tests run on Qt's offscreen platform, one test class after
// the other in the one application they share.

#include <QFile>
#include <cstdlib>
#include <memory>

#include "frontend/main_window.h"
#include "frontend_test.h"
#include "machine/machine.h"
#include "platform/qt/desktop.h"

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

void WriteText(const QString& path, const std::string& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(text.data(), qint64(text.size()));
}

void WhenDialogOpens(std::function<void(QWidget* dialog)> check) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, check] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        check(dialog);
    });
    poll->start(5);
}

QMainWindow* MainWindowWidget() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QMainWindow*>(widget); window && window->isVisible()) return window;
    return nullptr;
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The per-user folders of the run: nothing lands in the real home.
    QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit().constData(), 1);
    if (!OpenDesktop(argc, argv)) return 1;
    // The program's one machine, as RunProgram makes it.
    const std::unique_ptr<Machine> machine = CreateMachine();
    FrontEnd.Handheld = machine.get();
    EndProcess = [](int) {};  // a quit must not end the test run
    int failures = 0;
    for (const auto& [place, run] : TestClasses()) failures += run(argc, argv);
    return failures == 0 ? 0 : 1;
}
