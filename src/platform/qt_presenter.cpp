#include "platform/qt_presenter.h"

#include <QAbstractButton>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

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

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// Qt asks the window manager to activate a modal window as soon as it is mapped, as an application
// (source 1), with the time of the last X event Qt has handled. A window manager that prevents
// focus stealing (metacity, Mutter, KWin, xfwm4) refuses that when the user has pressed a key in
// another program since then, as happens when the program is busy for a moment as its alert
// appears: the alert stays without the keyboard and Return goes to the other program. So once the
// alert is mapped it asks again as a taskbar does (source 2), with the server's time of that
// moment, read from the notice of a change to a property of its own window. Without a window
// manager nobody reads the request, and Qt's own focus call does the work.
class ForegroundRequest final : public QAbstractNativeEventFilter {
  public:
    ForegroundRequest(xcb_connection_t* connection, xcb_window_t window)
        : connection_(connection),
          window_(window),
          stamp_(internAtom(connection, "_VANTOREL_TIME_STAMP")),
          activeWindow_(internAtom(connection, "_NET_ACTIVE_WINDOW")) {}

    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const int type = event->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY &&
            reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == window_) {
            xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, stamp_,
                                XCB_ATOM_INTEGER, 32, 0, nullptr);
            xcb_flush(connection_);
        }
        const auto* changed = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (type != XCB_PROPERTY_NOTIFY || changed->window != window_ || changed->atom != stamp_) {
            return false;
        }
        activate(changed->time);
        return true;
    }

  private:
    void activate(xcb_timestamp_t time) {
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window_), nullptr);
        if (tree == nullptr) {
            return;
        }
        xcb_client_message_event_t request{};
        request.response_type = XCB_CLIENT_MESSAGE;
        request.format = 32;
        request.window = window_;
        request.type = activeWindow_;
        request.data.data32[0] = 2;  // from a pager
        request.data.data32[1] = time;
        xcb_send_event(connection_, 0, tree->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&request));
        xcb_flush(connection_);
        std::free(tree);
    }

    xcb_connection_t* connection_;
    xcb_window_t window_;
    xcb_atom_t stamp_;
    xcb_atom_t activeWindow_;
};

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
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    std::optional<ForegroundRequest> foreground;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        foreground.emplace(x11->connection(), static_cast<xcb_window_t>(box.winId()));
        QCoreApplication::instance()->installNativeEventFilter(&*foreground);
    }
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
