#include "platform/qt/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QResizeEvent>
#include <QUrl>
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
#include <map>

#include "platform/qt/artwork.h"
#include "platform/qt/key_codes.h"

namespace {

WindowCallbacks Callbacks;
PictureScaling Scaling;
std::map<uint32_t, QAction*> Actions;

// The largest rectangle of the source's shape that fits (aspect kept), at a
// whole multiple of the source when asked and possible, centred.
QRect FitPicture(const QRect& area, const QSize& source) {
    if (!Scaling.KeepAspect || source.isEmpty()) return area;
    int width = area.width(), height = area.height();
    if (width * source.height() > height * source.width())
        width = height * source.width() / source.height();
    else
        height = width * source.height() / source.width();
    if (Scaling.WholeMultiples) {
        const int scale = std::min(area.width() / source.width(), area.height() / source.height());
        if (scale >= 1) {
            width = scale * source.width();
            height = scale * source.height();
        }
    }
    return QRect(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2, width, height);
}

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
        if (Source.isNull()) {
            painter.fillRect(rect(), Qt::black);
            return;
        }
        const QRect target = FitPicture(rect(), SourceRect.size());
        // The bars beside the picture; the picture covers the rest.
        const QRegion bars = QRegion(rect()).subtracted(target);
        for (const QRect& bar : bars) painter.fillRect(bar, Qt::black);
        painter.drawImage(target, Source, SourceRect);
    }

    void resizeEvent(QResizeEvent*) override { Callbacks.Resized(width(), height()); }
};

class MainWindow : public QMainWindow {
public:
    PictureArea* Picture = nullptr;
    QLabel* Status = nullptr;
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

    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile())
            event->acceptProposedAction();
    }

    void dropEvent(QDropEvent* event) override {
        const QList<QUrl> urls = event->mimeData()->urls();
        if (urls.isEmpty() || !urls.first().isLocalFile()) return;
        event->acceptProposedAction();
        const QByteArray path = urls.first().toLocalFile().toLocal8Bit();
        // Not from inside the drop: the game may open a dialog.
        QTimer::singleShot(0, this, [path] { Callbacks.FileDropped(path.constData()); });
    }

    // In fullscreen the menu bar is hidden; the right mouse button shows the
    // menu there.
    void contextMenuEvent(QContextMenuEvent* event) override {
        if (!isFullScreen()) return;
        QMenu menu;
        for (QAction* action : menuBar()->actions()) menu.addAction(action);
        menu.exec(event->globalPos());
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
        popupMenu->setToolTipsVisible(true);
        QObject::connect(popupMenu, &QMenu::aboutToShow, MenuOpened);
        QObject::connect(popupMenu, &QMenu::aboutToHide, MenuClosed);
        for (const MenuItem& item : popup.Items) {
            if (!item.Text) {
                popupMenu->addSeparator();
                continue;
            }
            QString text = QString::fromUtf8(item.Text);
            // After a tab the menu shows the key's text; Qt does not take
            // the key itself, so it still reaches the game's key handling.
            if (item.Key) text += '\t' + QString::fromUtf8(item.Key);
            QAction* action = popupMenu->addAction(text);
            action->setData(item.Id);
            action->setCheckable(item.Checkable);
            if (item.Hint) {
                action->setToolTip(QString::fromUtf8(item.Hint));
                action->setStatusTip(QString::fromUtf8(item.Hint));
            }
            Actions[item.Id] = action;
            const uint32_t id = item.Id;
            QObject::connect(action, &QAction::triggered, [id] { Callbacks.Command(id); });
        }
    }

    Window->Status = new QLabel;
    Window->Status->setContentsMargins(0, 0, 6, 0);
    Window->menuBar()->setCornerWidget(Window->Status, Qt::TopRightCorner);
    Window->setAcceptDrops(true);
    Window->setContextMenuPolicy(Qt::DefaultContextMenu);

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
    Actions.clear();
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
    if (Window->isFullScreen()) return true;
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
    Window->setGeometry(QRect(QPoint(x, y), Window->size()));
}

bool GetMainWindowPosition(int& x, int& y) {
    if (!Window) return false;
    x = Window->geometry().x();
    y = Window->geometry().y();
    return true;
}

void SetPictureScaling(PictureScaling scaling) {
    Scaling = scaling;
    if (Window) Window->Picture->update();
}

void PictureRectangle(int width, int height, int& x, int& y, int& pictureWidth, int& pictureHeight) {
    const QSize source = Window ? Window->Picture->SourceRect.size() : QSize(240, 160);
    const QRect target = FitPicture(QRect(0, 0, width, height), source);
    x = target.x();
    y = target.y();
    pictureWidth = target.width();
    pictureHeight = target.height();
}

void SetFullscreen(bool on) {
    if (!Window || on == Window->isFullScreen()) return;
    static QRect normal;
    Window->menuBar()->setVisible(!on);
    // Without a window manager nobody carries out the fullscreen state: the
    // window takes the screen (and its old place back) itself.
    if (on) {
        normal = Window->geometry();
        Window->showFullScreen();
        if (const QScreen* screen = Window->screen()) Window->setGeometry(screen->geometry());
    } else {
        Window->showNormal();
        if (normal.isValid()) Window->setGeometry(normal);
    }
    // Without a window manager nobody hands the keyboard back either.
    Window->activateWindow();
}

bool IsFullscreen() { return Window && Window->isFullScreen(); }

namespace {

QAction* ActionOf(uint32_t id) {
    const auto found = Actions.find(id);
    return found == Actions.end() ? nullptr : found->second;
}

}  // namespace

void SetMenuItemText(uint32_t id, const char* text) {
    QAction* action = ActionOf(id);
    if (!action) return;
    const QString old = action->text();
    const qsizetype tab = old.indexOf('\t');
    action->setText(QString::fromUtf8(text) + (tab >= 0 ? old.mid(tab) : QString()));
}

void SetMenuItemChecked(uint32_t id, bool checked) {
    if (QAction* action = ActionOf(id)) action->setChecked(checked);
}

void SetMenuItemEnabled(uint32_t id, bool enabled) {
    if (QAction* action = ActionOf(id)) action->setEnabled(enabled);
}

void SetMenuItemVisible(uint32_t id, bool visible) {
    if (QAction* action = ActionOf(id)) action->setVisible(visible);
}

void SetWindowTitleText(const char* title) {
    if (Window) Window->setWindowTitle(QString::fromUtf8(title));
}

void ShowStatusText(const char* text) {
    if (!Window) return;
    QMenuBar* bar = Window->menuBar();
    // What does not fit beside the menus loses its beginning (a long path
    // keeps its file name).
    int menusWidth = 0;
    for (QAction* action : bar->actions()) menusWidth = std::max(menusWidth, bar->actionGeometry(action).right());
    const int room = std::max(40, bar->width() - menusWidth - 16);
    QLabel* label = Window->Status;
    label->setText(label->fontMetrics().elidedText(QString::fromUtf8(text), Qt::ElideLeft, room));
    label->setMinimumWidth(label->sizeHint().width());
    // The bar places its corner widget when it is laid out again.
    QResizeEvent relayout(bar->size(), bar->size());
    QCoreApplication::sendEvent(bar, &relayout);
}

void GetClientAreaSize(int& width, int& height) {
    width = Window ? Window->Picture->width() : 0;
    height = Window ? Window->Picture->height() : 0;
}
