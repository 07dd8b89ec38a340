#include "app/tray.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPalette>

#include "app/elapsed_time.h"
#include "app/menu_entries.h"
#include "app/recording_flow.h"
#include "app/tray_menu.h"
#include "platform/file_browser.h"
#include "platform/preference_store.h"
#include "platform/presenter.h"
#include "prefs/preferences.h"

namespace vantorel {

Tray::Tray(RecordingFlow& flow, PreferenceStore& store, Presenter& presenter,
           FileBrowser& fileBrowser)
    : flow_(flow),
      store_(store),
      presenter_(presenter),
      fileBrowser_(fileBrowser),
      menu_(std::make_unique<TrayMenu>(flow.phase(), store)) {
    connect(&flow_, &RecordingFlow::phaseChanged, this, &Tray::phaseChanged);
    connect(&flow_, &RecordingFlow::elapsedChanged, this, &Tray::elapsedChanged);
    connect(menu_.get(), &TrayMenu::chosen, this, &Tray::perform);
    connect(menu_->menu(), &QMenu::aboutToShow, this, &Tray::refreshMenu);
    // The menu is complete before the item shows: a host may fetch it as soon as it appears.
    icon_.setContextMenu(menu_->menu());
    // A left click opens the same menu, as a panel item's menu does.
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    menu_->menu()->popup(icon_.geometry().isValid() ? icon_.geometry().bottomLeft()
                                                                    : QCursor::pos());
                }
            });
    // The ring takes the palette's text colour, so it is drawn again when the palette changes.
    qApp->installEventFilter(this);
    drawIcon();
    phaseChanged(flow.phase());
    icon_.show();
}

Tray::~Tray() {
    qApp->removeEventFilter(this);
    icon_.hide();
}

QMenu* Tray::menu() const {
    return menu_->menu();
}

bool Tray::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        drawIcon();
    }
    return QObject::eventFilter(watched, event);
}

void Tray::phaseChanged(Phase phase) {
    refreshMenu();
    switch (phase) {
        case Phase::recording:
            elapsedChanged(0);
            break;
        case Phase::stopping:
            setLook(TraySymbol::ring, tr("Saving\u2026"));
            break;
        case Phase::idle:
        case Phase::selecting:
        case Phase::countdown:
            setLook(TraySymbol::ring, QStringLiteral("Vantorel"));
            break;
    }
}

void Tray::elapsedChanged(qint64 seconds) {
    QString toolTip = tr("Recording") + ' ' + elapsedString(seconds);
    if (!flow_.showsStopButton()) {
        // The region left no room for the stop button anywhere outside it.
        toolTip += '\n' + tr("No Stop button: it would be in the video. Stop here or with "
                             "Super+Shift+R.");
    }
    setLook(TraySymbol::redDisc, toolTip);
}

void Tray::setLook(TraySymbol symbol, const QString& toolTip) {
    // A StatusNotifierItem host is sent the icon as pixmaps at every size each time it is set,
    // so the icon is set when the symbol changes, not on each tick of the elapsed time.
    if (symbol != symbol_) {
        symbol_ = symbol;
        drawIcon();
    }
    if (toolTip != icon_.toolTip()) {
        icon_.setToolTip(toolTip);
    }
}

void Tray::drawIcon() {
    icon_.setIcon(drawTraySymbol(symbol_, QApplication::palette().color(QPalette::WindowText)));
}

void Tray::refreshMenu() {
    menu_->refresh(flow_.phase(), store_);
}

void Tray::perform(const MenuEntry& entry) {
    switch (entry.command) {
        case MenuCommand::toggle:
            flow_.toggle();
            break;
        case MenuCommand::revealRecent:
            fileBrowser_.revealFile(entry.path);
            break;
        case MenuCommand::openFolder:
            openFolder();
            break;
        case MenuCommand::setFrameRate:
            store_.setInteger(Preferences::kFrameRate, entry.tag == 60 ? 60 : 30);
            break;
        case MenuCommand::setCountdown:
            store_.setInteger(Preferences::kCountdownSeconds, entry.tag != 0 ? 3 : 0);
            break;
        case MenuCommand::toggleCursor:
            store_.setBoolean(Preferences::kShowsCursor,
                              !store_.boolean(Preferences::kShowsCursor));
            break;
        case MenuCommand::toggleSound:
            store_.setBoolean(Preferences::kRecordSystemSound,
                              !store_.boolean(Preferences::kRecordSystemSound));
            break;
        case MenuCommand::chooseFolder:
            chooseFolder();
            break;
        case MenuCommand::quit:
            emit quitRequested();
            break;
        case MenuCommand::none:
            break;
    }
    // Qt flips a checkable item's mark itself; this puts it back to what was stored.
    refreshMenu();
}

void Tray::openFolder() {
    const QString folder = Preferences::saveFolder(store_);
    QDir().mkpath(folder);  // a failure shows in the file browser
    fileBrowser_.openFolder(folder);
}

void Tray::chooseFolder() {
    const QString current = Preferences::saveFolder(store_);
    const std::optional<QString> chosen = presenter_.chooseFolder(
        FolderChooserRequest{QFileInfo(current).absolutePath(), tr("Choose")});
    if (chosen) {
        store_.setString(Preferences::kSaveFolder, *chosen);
    }
}

}  // namespace vantorel
