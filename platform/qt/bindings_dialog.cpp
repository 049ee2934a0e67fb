#include "platform/qt/bindings_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/qt/gamepad.h"
#include "platform/qt/key_codes.h"

namespace {

constexpr int KeysColumn = 1;
constexpr int PadColumn = 2;

// The table takes a pressed key as the selected keyboard cell's new key,
// unless a cell is being edited as text.
class CaptureTable : public QTableWidget {
public:
    CaptureTable(int rows, const BindingNames& names) : QTableWidget(rows, 3), names_(names) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const std::string name = names_.KeyName(KeyCodeOf(event));
        if (state() == EditingState || currentColumn() != KeysColumn || name.empty() || event->isAutoRepeat()) {
            QTableWidget::keyPressEvent(event);
            return;
        }
        if (QTableWidgetItem* cell = currentItem()) cell->setText(QString::fromStdString(name));
    }
    // Tab is a key to bind, not a way to move on.
    bool focusNextPrevChild(bool) override { return false; }

private:
    const BindingNames& names_;
};

}  // namespace

bool RunBindingsDialog(std::vector<BindingRow>& rows, const BindingNames& names) {
    if (!qApp) return false;
    QWidget* owner = QApplication::activeWindow();
    QDialog dialog(owner);
    dialog.setObjectName("bindingsDialog");
    dialog.setWindowTitle(QString::fromUtf8("按键设置"));
    auto* table = new CaptureTable(int(rows.size()), names);
    table->setObjectName("bindingsTable");
    table->setHorizontalHeaderLabels({QString::fromUtf8("功能"), QString::fromUtf8("键盘"), QString::fromUtf8("手柄")});
    table->horizontalHeaderItem(KeysColumn)->setToolTip("Keyboard keys: select a cell and press a key, or type names");
    table->horizontalHeaderItem(PadColumn)->setToolTip("Gamepad buttons: select a cell and press a button");
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    auto fill = [&](bool defaults) {
        for (size_t i = 0; i < rows.size(); ++i) {
            auto* label = new QTableWidgetItem(QString::fromUtf8(rows[i].Label.c_str()));
            label->setFlags(Qt::ItemIsEnabled);
            table->setItem(int(i), 0, label);
            table->setItem(int(i), KeysColumn,
                           new QTableWidgetItem(QString::fromStdString(defaults ? rows[i].DefaultKeys : rows[i].Keys)));
            table->setItem(int(i), PadColumn,
                           new QTableWidgetItem(QString::fromStdString(defaults ? rows[i].DefaultPad : rows[i].Pad)));
        }
    };
    fill(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->hide();

    // A gamepad button pressed while a pad cell is selected names itself.
    QTimer padWatch;
    QObject::connect(&padWatch, &QTimer::timeout, [&] {
        const int32_t button = PressedGamepadButton();
        if (button < 0 || table->currentColumn() != PadColumn || !table->currentItem()) return;
        table->currentItem()->setText(QString::fromStdString(names.PadButtonName(button)));
    });
    padWatch.start(30);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole)->setObjectName("ok");
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    QPushButton* reset = buttons->addButton(QString::fromUtf8("默认"), QDialogButtonBox::ResetRole);
    reset->setToolTip("Every key and button back to the defaults");
    QPushButton* clear = buttons->addButton(QString::fromUtf8("清除"), QDialogButtonBox::ActionRole);
    clear->setToolTip("Empty the selected cell");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(reset, &QPushButton::clicked, [&] { fill(true); });
    QObject::connect(clear, &QPushButton::clicked, [&] {
        if (table->currentItem() && table->currentColumn() != 0) table->currentItem()->setText(QString());
    });
    // Enter and Space are keys to bind: no button takes them.
    for (QAbstractButton* button : buttons->buttons())
        if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog.resize(520, 560);
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    if (owner) owner->activateWindow();
    if (!confirmed) return false;
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].Keys = table->item(int(i), KeysColumn)->text().toStdString();
        rows[i].Pad = table->item(int(i), PadColumn)->text().toStdString();
    }
    return true;
}
