#include "platform/qt/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "platform/qt/artwork.h"
#include "platform/qt/key_codes.h"

namespace {

WindowCallbacks Callbacks;

// The client area: draws the picture source stretched over itself.
class PictureArea : public QWidget {
public:
    PictureArea() {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumSize(1, 1);
        setFocusPolicy(Qt::NoFocus);
    }

    QImage Source;
    QRect SourceRect;
    bool Presenting = false;

protected:
    void paintEvent(QPaintEvent*) override {
        // A repaint the window system asked for goes by the front-end first
        // (which may wait for the frame tick); a presented frame already did.
        if (!Presenting) Callbacks.Repainting();
        QPainter painter(this);
        if (Source.isNull())
            painter.fillRect(rect(), Qt::black);
        else
            painter.drawImage(rect(), Source, SourceRect);
    }

    void resizeEvent(QResizeEvent*) override { Callbacks.Resized(width(), height()); }
};

class MainWindow : public QMainWindow {
public:
    PictureArea* Picture = nullptr;
    int OpenMenus = 0;
    bool InMenuLoop = false;
    bool ReportedActive = false;
    bool ReportedMinimised = false;

protected:
    bool event(QEvent* event) override {
        const bool handled = QMainWindow::event(event);
        if (event->type() == QEvent::ActivationChange || event->type() == QEvent::WindowStateChange) {
            const bool active = isActiveWindow();
            const bool minimised = isMinimized();
            if (active != ReportedActive || minimised != ReportedMinimised) {
                ReportedActive = active;
                ReportedMinimised = minimised;
                Callbacks.ActivationChanged(active, minimised);
            }
        }
        return handled;
    }

    void keyPressEvent(QKeyEvent* event) override { ForwardKey(event, true); }
    void keyReleaseEvent(QKeyEvent* event) override { ForwardKey(event, false); }

    // Tab is a game key here, not a way to move the focus.
    bool focusNextPrevChild(bool) override { return false; }

    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        Callbacks.CloseRequested();
    }

private:
    void ForwardKey(QKeyEvent* event, bool down) {
        const uint32_t code = KeyCodeOf(event);
        if (code == 0) {
            event->ignore();
            return;
        }
        Callbacks.Key(code, down, event->isAutoRepeat());
    }
};

MainWindow* Window = nullptr;

void MenuOpened() {
    ++Window->OpenMenus;
    if (Window->InMenuLoop) return;
    Window->InMenuLoop = true;
    Callbacks.MenuLoop(true);
}

// Moving from one popup of the bar to the next closes one menu before the
// other opens; the menu loop ends only when none has opened again by the
// time the queued check runs.
void MenuClosed() {
    if (Window->OpenMenus > 0) --Window->OpenMenus;
    QTimer::singleShot(0, Window, [] {
        if (Window && Window->OpenMenus == 0 && Window->InMenuLoop) {
            Window->InMenuLoop = false;
            Callbacks.MenuLoop(false);
        }
    });
}

}  // namespace

bool OpenMainWindow(const char* title, std::span<const MenuPopup> menu, const WindowCallbacks& callbacks,
                    int outerWidth, int outerHeight) {
    if (Window || !qApp) return false;
    Callbacks = callbacks;
    Window = new MainWindow;
    Window->setWindowTitle(QString::fromUtf8(title));
    Window->setWindowIcon(QIcon(QPixmap::fromImage(DrawIcon())));
    Window->setFocusPolicy(Qt::StrongFocus);
    Window->Picture = new PictureArea;
    Window->setCentralWidget(Window->Picture);

    for (const MenuPopup& popup : menu) {
        QMenu* popupMenu = Window->menuBar()->addMenu(QString::fromUtf8(popup.Text));
        QObject::connect(popupMenu, &QMenu::aboutToShow, MenuOpened);
        QObject::connect(popupMenu, &QMenu::aboutToHide, MenuClosed);
        for (const MenuItem& item : popup.Items) {
            if (!item.Text) {
                popupMenu->addSeparator();
                continue;
            }
            QAction* action = popupMenu->addAction(QString::fromUtf8(item.Text));
            action->setData(item.Id);
            const uint32_t id = item.Id;
            QObject::connect(action, &QAction::triggered, [id] { Callbacks.Command(id); });
        }
    }

    Window->resize(outerWidth, outerHeight);
    Window->show();
    Window->activateWindow();
    Window->setFocus();
    return true;
}

bool MainWindowOpen() { return Window != nullptr; }

void CloseMainWindow() {
    if (!Window) return;
    Window->hide();
    // The window may be closing from inside one of its own event handlers.
    Window->deleteLater();
    Window = nullptr;
}

void SetPictureSource(const uint16_t* pixels, int width, int height, int lineBytes, int sourceX, int sourceY,
                      int sourceWidth, int sourceHeight) {
    if (!Window) return;
    Window->Picture->Source =
        QImage(reinterpret_cast<const uchar*>(pixels), width, height, lineBytes, QImage::Format_RGB555);
    Window->Picture->SourceRect = QRect(sourceX, sourceY, sourceWidth, sourceHeight);
}

void ShowPicture() {
    if (!Window || !Window->isVisible()) return;
    Window->Picture->Presenting = true;
    Window->Picture->repaint();
    Window->Picture->Presenting = false;
}

bool ResizeClientArea(int width, int height) {
    if (!Window) return false;
    // The main window's layout gives the menu bar this height at this width.
    const QMenuBar* menuBar = Window->menuBar();
    const int menuHeight = std::max(menuBar->heightForWidth(width), menuBar->minimumSize().height());
    Window->resize(width, height + menuHeight);
    return true;
}

void MoveMainWindow(int x, int y) {
    if (!Window) return;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->virtualGeometry();
        constexpr int Grip = 48;
        x = std::clamp(x, desktop.left() - Window->width() + Grip, std::max(desktop.left(), desktop.right() - Grip));
        y = std::clamp(y, desktop.top(), std::max(desktop.top(), desktop.bottom() - Grip));
    }
    Window->move(x, y);
}

bool GetMainWindowPosition(int& x, int& y) {
    if (!Window) return false;
    x = Window->pos().x();
    y = Window->pos().y();
    return true;
}

void GetClientAreaSize(int& width, int& height) {
    width = Window ? Window->Picture->width() : 0;
    height = Window ? Window->Picture->height() : 0;
}
