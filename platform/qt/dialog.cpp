#include "platform/qt/dialog.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <map>

#include "platform/qt/artwork.h"

namespace {

// The dialogs' font is 12 pixels high with characters 6 pixels wide on
// average, so one dialog unit is 1.5 pixels either way.
constexpr int FontPixels = 12;
constexpr int BaseUnitX = 6;
constexpr int BaseUnitY = 12;
int PixelsX(int units) { return units * BaseUnitX / 4; }
int PixelsY(int units) { return units * BaseUnitY / 8; }

class TemplateDialog;

}  // namespace

struct Dialog {
    TemplateDialog* Widget = nullptr;
    DialogProcedure Procedure = nullptr;
    std::map<int32_t, QWidget*> Controls;
    int32_t DefaultId = 1;
    bool Ended = false;
    int Result = 0;
};

namespace {

class TemplateDialog : public QDialog {
public:
    TemplateDialog(Dialog* owner, QWidget* parent) : QDialog(parent), Owner(owner) {}

    Dialog* Owner;

    void Send(DialogEvent event, int32_t id, ScrollCode code = ScrollCode::LineLeft, int position = 0) {
        if (!Owner->Ended) Owner->Procedure(Owner, event, id, code, position);
    }

protected:
    // Enter presses the focused push button or else the default one; Escape
    // sends command 2 whether or not the dialog has such a button. What the
    // procedure does with them is its own business.
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Escape: Send(DialogEvent::Command, 2); return;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            int32_t id = Owner->DefaultId;
            for (const auto& [controlId, control] : Owner->Controls)
                if (control == focusWidget() && qobject_cast<QPushButton*>(control)) id = controlId;
            Send(DialogEvent::Command, id);
            return;
        }
        default: event->ignore();
        }
    }

    void closeEvent(QCloseEvent* event) override {
        if (Owner->Ended) {
            event->accept();
            return;
        }
        event->ignore();
        Send(DialogEvent::Close, 0);
    }

    // Only EndDialog closes the dialog.
    void reject() override {
        if (Owner->Ended) QDialog::reject();
    }
};

ScrollCode ScrollCodeOf(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return ScrollCode::LineLeft;
    case QAbstractSlider::SliderSingleStepAdd: return ScrollCode::LineRight;
    case QAbstractSlider::SliderPageStepSub: return ScrollCode::PageLeft;
    case QAbstractSlider::SliderPageStepAdd: return ScrollCode::PageRight;
    case QAbstractSlider::SliderToMinimum: return ScrollCode::Leftmost;
    case QAbstractSlider::SliderToMaximum: return ScrollCode::Rightmost;
    default: return ScrollCode::ThumbTrack;
    }
}

QWidget* MakeControl(Dialog* dialog, const DialogControl& control) {
    QWidget* parent = dialog->Widget;
    const QString text = QString::fromUtf8(control.Text ? control.Text : "");
    const int32_t id = control.Id;
    QWidget* widget = nullptr;
    switch (control.Kind) {
    case ControlKind::Bitmap: {
        auto* label = new QLabel(parent);
        label->setPixmap(QPixmap::fromImage(DrawLogo()));
        label->move(PixelsX(control.X), PixelsY(control.Y));
        label->adjustSize();
        return label;
    }
    case ControlKind::GroupBox: widget = new QGroupBox(text, parent); break;
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(text, parent);
        QObject::connect(box, &QCheckBox::clicked, [dialog, id] { dialog->Widget->Send(DialogEvent::Command, id); });
        widget = box;
        break;
    }
    case ControlKind::Edit: widget = new QLineEdit(text, parent); break;
    case ControlKind::HScrollBar: {
        auto* bar = new QScrollBar(Qt::Horizontal, parent);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        QObject::connect(bar, &QAbstractSlider::actionTriggered, [dialog, id, bar](int action) {
            dialog->Widget->Send(DialogEvent::HScroll, id, ScrollCodeOf(action), bar->sliderPosition());
        });
        QObject::connect(bar, &QAbstractSlider::sliderReleased, [dialog, id, bar] {
            dialog->Widget->Send(DialogEvent::HScroll, id, ScrollCode::ThumbPosition, bar->sliderPosition());
        });
        widget = bar;
        break;
    }
    case ControlKind::Label:
    case ControlKind::RightLabel:
    case ControlKind::CentredLabel:
    case ControlKind::SunkenLabel: {
        auto* label = new QLabel(text, parent);
        label->setTextFormat(Qt::PlainText);
        if (control.Kind == ControlKind::Label) {
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
        } else if (control.Kind == ControlKind::RightLabel) {
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        } else {
            label->setAlignment(Qt::AlignCenter);
        }
        if (control.Kind == ControlKind::SunkenLabel) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        widget = label;
        break;
    }
    case ControlKind::EtchedFrame: {
        auto* frame = new QFrame(parent);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        widget = frame;
        break;
    }
    case ControlKind::DefaultButton:
    case ControlKind::Button: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        if (control.Kind == ControlKind::DefaultButton) {
            button->setDefault(true);
            dialog->DefaultId = id;
        }
        QObject::connect(button, &QPushButton::clicked,
                         [dialog, id] { dialog->Widget->Send(DialogEvent::Command, id); });
        widget = button;
        break;
    }
    }
    widget->setGeometry(PixelsX(control.X), PixelsY(control.Y), PixelsX(control.Width), PixelsY(control.Height));
    return widget;
}

QWidget* OwnerWindow() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(widget) && widget->isVisible()) return widget;
    return nullptr;
}

template <typename Widget>
Widget* Find(Dialog* dialog, int32_t id) {
    const auto found = dialog->Controls.find(id);
    return found == dialog->Controls.end() ? nullptr : qobject_cast<Widget*>(found->second);
}

}  // namespace

namespace {

void ShowBox(QMessageBox::Icon icon, const char* title, const char* text) {
    if (!qApp) return;
    QWidget* owner = OwnerWindow();
    QMessageBox box(icon, QString::fromUtf8(title), QString::fromUtf8(text), QMessageBox::Ok, owner);
    box.exec();
    // Without a window manager nobody hands the focus back to the owner.
    if (owner) owner->activateWindow();
}

}  // namespace

void ShowWarningBox(const char* title, const char* text) { ShowBox(QMessageBox::Warning, title, text); }

void ShowInformationBox(const char* title, const char* text) { ShowBox(QMessageBox::Information, title, text); }

int RunDialog(const DialogTemplate& layout, DialogProcedure procedure) {
    if (!qApp || !procedure) return -1;
    Dialog dialog;
    dialog.Procedure = procedure;
    QWidget* owner = OwnerWindow();
    TemplateDialog widget(&dialog, owner);
    dialog.Widget = &widget;
    widget.setObjectName("dialog");
    widget.setWindowTitle(QString::fromUtf8(layout.Caption));
    QFont font;
    font.setFamilies({"SimSun", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Noto Sans CJK SC"});
    font.setPixelSize(FontPixels);
    widget.setFont(font);
    widget.setFixedSize(PixelsX(layout.Width), PixelsY(layout.Height));

    std::vector<QWidget*> frames;
    for (const DialogControl& control : layout.Controls) {
        QWidget* made = MakeControl(&dialog, control);
        made->setObjectName(QString("control%1").arg(control.Id));
        if (control.Id >= 0) dialog.Controls[control.Id] = made;
        if (control.Kind == ControlKind::GroupBox || control.Kind == ControlKind::EtchedFrame) frames.push_back(made);
    }
    // Frames sit behind the controls they surround.
    for (QWidget* frame : frames) frame->lower();

    QPoint origin(PixelsX(layout.X), PixelsY(layout.Y));
    if (auto* mainWindow = qobject_cast<QMainWindow*>(owner); mainWindow && mainWindow->centralWidget())
        origin = mainWindow->centralWidget()->mapToGlobal(origin);
    else if (owner)
        origin = owner->mapToGlobal(origin);
    widget.move(origin);

    procedure(&dialog, DialogEvent::Open, 0, ScrollCode::LineLeft, 0);
    if (dialog.Ended) return dialog.Result;
    widget.exec();
    // Without a window manager nobody hands the focus back to the owner.
    if (owner) owner->activateWindow();
    return dialog.Result;
}

void EndDialog(Dialog* dialog, int result) {
    if (dialog->Ended) return;
    dialog->Ended = true;
    dialog->Result = result;
    dialog->Widget->done(result);
}

void SetControlText(Dialog* dialog, int32_t id, const char* text) {
    const QString value = QString::fromUtf8(text);
    const auto found = dialog->Controls.find(id);
    if (found == dialog->Controls.end()) return;
    QWidget* control = found->second;
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(value);
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(value);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(value);
}

std::string GetControlText(Dialog* dialog, int32_t id) {
    const auto found = dialog->Controls.find(id);
    if (found == dialog->Controls.end()) return {};
    QWidget* control = found->second;
    QString value;
    if (auto* label = qobject_cast<QLabel*>(control))
        value = label->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        value = edit->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        value = button->text();
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        value = group->title();
    return value.toStdString();
}

bool IsChecked(Dialog* dialog, int32_t id) {
    const QCheckBox* box = Find<QCheckBox>(dialog, id);
    return box && box->isChecked();
}

void SetChecked(Dialog* dialog, int32_t id, bool checked) {
    if (QCheckBox* box = Find<QCheckBox>(dialog, id)) box->setChecked(checked);
}

void SetScrollRange(Dialog* dialog, int32_t id, int minimum, int maximum) {
    if (QScrollBar* bar = Find<QScrollBar>(dialog, id)) bar->setRange(minimum, maximum);
}

void GetScrollRange(Dialog* dialog, int32_t id, int& minimum, int& maximum) {
    const QScrollBar* bar = Find<QScrollBar>(dialog, id);
    minimum = bar ? bar->minimum() : 0;
    maximum = bar ? bar->maximum() : 0;
}

void SetScrollPosition(Dialog* dialog, int32_t id, int position) {
    if (QScrollBar* bar = Find<QScrollBar>(dialog, id)) {
        bar->setValue(position);
        bar->setSliderPosition(bar->value());
    }
}

int GetScrollPosition(Dialog* dialog, int32_t id) {
    const QScrollBar* bar = Find<QScrollBar>(dialog, id);
    return bar ? bar->value() : 0;
}

void FocusControl(Dialog* dialog, int32_t id) {
    const auto found = dialog->Controls.find(id);
    if (found != dialog->Controls.end()) found->second->setFocus();
}
