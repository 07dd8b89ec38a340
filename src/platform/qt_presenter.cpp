#include "platform/qt_presenter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace vantorel {

namespace {

QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
        case AlertStyle::informational:
            return QMessageBox::Information;
        case AlertStyle::critical:
            return QMessageBox::Critical;
        case AlertStyle::warning:
            break;
    }
    return QMessageBox::Warning;
}

QPlainTextEdit* makeDetailsField(const AlertDetailsView& view, QWidget* parent) {
    auto* field = new QPlainTextEdit(parent);
    field->setObjectName("detailsField");
    field->setReadOnly(true);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    field->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(view.fontSize);
    field->setFont(font);
    field->setFixedSize(view.width, view.height);
    field->setPlainText(view.text);
    return field;
}

// QMessageBox has no accessory view; the field goes into its grid where the buttons were, and
// the buttons move one row down, so that they stay at the bottom.
void addAccessory(QMessageBox& box, QWidget* accessory) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* buttons = box.findChild<QDialogButtonBox*>();
    if (grid == nullptr) {
        return;
    }
    const int index = buttons != nullptr ? grid->indexOf(buttons) : -1;
    if (index < 0) {
        grid->addWidget(accessory, grid->rowCount(), 1, 1, grid->columnCount() - 1);
        return;
    }
    int row = 0;
    int column = 0;
    int rowSpan = 0;
    int columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(buttons);
    grid->addWidget(accessory, row, 1, 1, grid->columnCount() - 1);
    grid->addWidget(buttons, row + 1, column, rowSpan, columnSpan);
}

}  // namespace

int QtPresenter::runAlert(const AlertRequest& request) {
    QMessageBox box;
    box.setIcon(iconFor(request.style));
    box.setWindowTitle(request.title);
    box.setText(request.title);
    box.setInformativeText(request.message);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QList<QPushButton*> buttons;
    for (const QString& title : request.buttons) {
        // The button box sorts by role, and puts accept and reject buttons in the platform's
        // order (GNOME's the other way round). Action buttons are never reversed, so with one
        // role for all the buttons keep the caller's order everywhere.
        buttons.append(box.addButton(title, QMessageBox::ActionRole));
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(buttons.first());
    }
    // Escape and the window's close button both answer this one. Left to itself the box would
    // guess it from the buttons' roles, which say nothing about what the buttons mean.
    if (request.escapeButton >= 0 && request.escapeButton < buttons.size()) {
        box.setEscapeButton(buttons[request.escapeButton]);
    }
    if (request.details) {
        addAccessory(box, makeDetailsField(*request.details, &box));
    }
    // Qt asks the window manager to activate a modal window as it maps it (_NET_ACTIVE_WINDOW),
    // so the alert takes the keyboard although the program has no window of its own in front.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    return static_cast<int>(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
}

std::optional<QString> QtPresenter::chooseFolder(const FolderChooserRequest& request) {
    QFileDialog dialog(nullptr, QString(), request.startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setLabelText(QFileDialog::Accept, request.prompt);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

}  // namespace vantorel
